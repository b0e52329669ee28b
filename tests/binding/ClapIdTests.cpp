#include "binding/ClapIds.h"

#include <gtest/gtest.h>

using clapbinding::parameterIdFromIdentifier;

TEST (ClapIds, AreThe31HashOfTheIdentifiersCodePoints)
{
    EXPECT_EQ (parameterIdFromIdentifier (""), 0u);
    EXPECT_EQ (parameterIdFromIdentifier ("A"), 65u);
    EXPECT_EQ (parameterIdFromIdentifier ("AB"), 65u * 31u + 66u);

    // "é" is two bytes in UTF-8 (0xC3 0xA9) but one code point, U+00E9.
    EXPECT_EQ (parameterIdFromIdentifier ("\xC3\xA9"), 0xE9u);
    EXPECT_EQ (parameterIdFromIdentifier ("A\xC3\xA9"), 65u * 31u + 0xE9u);
    // A code point beyond the BMP: U+1F600 in four bytes.
    EXPECT_EQ (parameterIdFromIdentifier ("\xF0\x9F\x98\x80"), 0x1F600u);
}

TEST (ClapIds, WrapAroundIn32Bits)
{
    // Long identifiers overflow; the result is the wrapped value read as unsigned.
    uint32_t expected = 0;
    for (char c : std::string ("EnvelopeReleaseEnvelopeRelease"))
        expected = expected * 31u + (uint32_t) c;
    EXPECT_EQ (parameterIdFromIdentifier ("EnvelopeReleaseEnvelopeRelease"), expected);
    EXPECT_EQ (
        parameterIdFromIdentifier ("FoldAmount"), (uint32_t) 0x0 + []
                                                      {
        int32_t h = 0;
        for (char c : std::string ("FoldAmount"))
            h = (int32_t) ((uint32_t) h * 31u + (uint32_t) c);
        return (uint32_t) h; }());
}
