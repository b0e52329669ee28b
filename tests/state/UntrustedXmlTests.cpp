#include "state/UntrustedXml.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace
{

/** The bytes of a string literal, embedded NULs included, without the terminator. */
template <size_t size>
juce::MemoryBlock bytes (const char (&literal)[size])
{
    return juce::MemoryBlock (literal, size - 1);
}

template <size_t size>
std::optional<juce::String> decode (const char (&literal)[size])
{
    return orvel::decodeUntrustedText (literal, size - 1);
}

juce::String nested (int depth)
{
    return juce::String::repeatedString ("<a>", depth) + juce::String::repeatedString ("</a>", depth);
}

TEST (UntrustedXml, DocumentsJucesParserMishandlesAreRefusedBeforeItSeesThem)
{
    struct Case
    {
        const char* name;
        juce::String text;
        bool accepted;
    };

    const Case cases[] = {
        { "plain element", "<x a=\"1\"/>", true },
        { "declaration and comment", "<?xml version=\"1.0\"?><!-- note --><x/>", true },
        { "markup inside a quoted value", "<x a=\"<b><c><d>\" b='>'/>", true },
        { "DOCTYPE", "<!DOCTYPE x [<!ENTITY e \"1\">]><x a=\"&e;\"/>", false },
        { "lower-case doctype", "<!doctype x><x/>", false },
        { "ENTITY without DOCTYPE", "<!ENTITY e \"1\"><x/>", false },
        { "nesting at the limit", nested (orvel::maxUntrustedXmlDepth), true },
        { "one level deeper", nested (orvel::maxUntrustedXmlDepth + 1), false },
        { "self-closing children do not add depth", "<a>" + juce::String::repeatedString ("<b/>", 100) + "</a>", true },
        { "processing instruction before text in an element", "<a><?x?>b</a>", false },
        { "processing instruction after the declaration", "<?xml version=\"1.0\"?><?pi?><x/>", false },
        { "unterminated declaration", "<?xml version=\"1.0\" <x/>", false },
        { "predefined entities and character references", "<x a=\"&amp;&LT;&quot;&#65;&#x1F600;&#x10FFFF;\"/>", true },
        { "hex reference ending the text", "<x a=\"1\">&#x", false },
        { "reference without digits", "<x a=\"&#x;\"/>", false },
        { "reference beyond U+10FFFF", "<x a=\"&#x110000;\"/>", false },
        { "reference to a surrogate", "<x a=\"&#55296;\"/>", false },
        { "reference to NUL", "<x a=\"&#0;\"/>", false },
        { "too many digits", "<x a=\"&#x0000041;\"/>", false },
        { "unknown entity", "<x a=\"&nbsp;\"/>", false },
        { "bare ampersand", "<x a=\"R&B\"/>", false },
        { "cut off between attributes", "<x a=\"1\" b=\"2\" ", false },
        { "cut off after the tag name", "<?xml version=\"1.0\"?> <x", false },
        { "trailing white space", "<x a=\"1\"/>\r\n \t", true },
        { "trailing comment", "<x/><!-- end -->", true },
        { "text after the root", "<x/>junk", false },
        { "not XML", "WindowSize=1.5", false },
        { "empty", "", false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EXPECT_EQ (orvel::parseUntrustedXml (c.text) != nullptr, c.accepted);
    }
}

TEST (UntrustedXml, BytesAreDecodedOnlyWhenTheyAreTextWithinTheSizeLimit)
{
    const juce::String text ("<x/>");

    struct Case
    {
        const char* name;
        juce::MemoryBlock bytes;
        size_t maxBytes;
        bool decoded;
    };

    const Case cases[] = {
        { "plain UTF-8", bytes ("<x/>"), 4, true },
        { "UTF-8 with byte-order mark", bytes ("\xef\xbb\xbf<x/>"), 7, true },
        { "UTF-16 little-endian", bytes ("\xff\xfe<\0x\0/\0>\0"), 100, true },
        { "UTF-16 big-endian", bytes ("\xfe\xff\0<\0x\0/\0>"), 100, true },
        { "one byte over the limit", bytes ("<x/>"), 3, false },
        { "NUL byte", bytes ("<x/>\0<y/>"), 100, false },
        { "broken sequence", bytes ("<x a=\"\xc3\x28\"/>"), 100, false },
        // Forms juce::CharPointer_UTF8::isValidString lets through, but juce::String
        // cannot copy safely:
        { "overlong two-byte form", bytes ("<x a=\"\xc0\xac\"/>"), 100, false },
        { "overlong three-byte form", bytes ("<x a=\"\xe0\x80\xbc\"/>"), 100, false },
        { "surrogate", bytes ("<x a=\"\xed\xa0\x80\"/>"), 100, false },
        { "beyond U+10FFFF", bytes ("<x a=\"\xf4\x90\x80\x80\"/>"), 100, false },
        { "five-byte form", bytes ("<x a=\"\xf8\x88\x80\x80\x80\"/>"), 100, false },
        { "UTF-16 lone surrogate", bytes ("\xff\xfe<\0\x00\xd8x\0>\0"), 100, false },
        { "UTF-16 odd length", bytes ("\xff\xfe<\0x\0/\0>\0!"), 100, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto decoded = orvel::decodeUntrustedText (c.bytes.getData(), c.bytes.getSize(), c.maxBytes);
        ASSERT_EQ (decoded.has_value(), c.decoded);

        if (c.decoded)
        {
            EXPECT_EQ (*decoded, text);
        }
    }

    // The four-byte form of a character outside the BMP, and its UTF-16 pair.
    const auto clef = juce::String::fromUTF8 ("<x a=\"\xf0\x9d\x84\x9e\"/>");
    EXPECT_EQ (decode ("<x a=\"\xf0\x9d\x84\x9e\"/>"), clef);
    EXPECT_EQ (decode ("\xff\xfe<\0x\0 \0a\0=\0\"\0\x34\xd8\x1e\xdd\"\0/\0>\0"), clef);
}

TEST (UntrustedXml, TextThatJuceCannotCopySafelyIsNotParsedEvenWhenItIsAlreadyAString)
{
    // As the clipboard hands it over: a juce::String holding an overlong form.
    static constexpr char raw[] = "<x a=\"\xc0\xac\"/>";
    const auto text = juce::String (juce::CharPointer_UTF8 (raw), juce::CharPointer_UTF8 (raw + sizeof (raw) - 1));
    EXPECT_EQ (orvel::parseUntrustedXml (text), nullptr);
}

TEST (UntrustedXml, LeadingIntegersSaturateInsteadOfWrappingAround)
{
    constexpr auto maxInt = std::numeric_limits<int>::max();
    constexpr auto minInt = std::numeric_limits<int>::min();

    struct Case
    {
        const char* text;
        int expected;
    };

    const Case cases[] = {
        { "42", 42 },
        { "  7", 7 },
        { "-12", -12 },
        { "12abc", 12 },
        { "abc", 0 },
        { "", 0 },
        { "+5", 0 },
        { "2147483647", maxInt },
        { "2147483648", maxInt },
        { "-2147483648", minInt },
        { "-99999999999999999999", minInt },
        { "99999999999999999999", maxInt },
    };

    for (const auto& c : cases)
        EXPECT_EQ (orvel::parseSaturatingInt (c.text), c.expected) << '"' << c.text << '"';
}

} // namespace
