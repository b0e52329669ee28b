#include "state/UntrustedXml.h"

#include "state/FileAccess.h"

#include <cstring>
#include <limits>
#include <vector>

namespace orvel
{

namespace
{
    bool startsWithUtf16ByteOrderMark (const juce::uint8* bytes, size_t numBytes) noexcept
    {
        return numBytes >= 2
               && (juce::CharPointer_UTF16::isByteOrderMarkBigEndian (bytes)
                   || juce::CharPointer_UTF16::isByteOrderMarkLittleEndian (bytes));
    }

    /** Coarse nesting scan over UTF-8 text. Every markup character is ASCII, so it
        never occurs inside a multi-byte sequence. Comments and CDATA are not
        skipped: markup-like text inside them is counted, which can only make the
        scan refuse a document, never accept a deeper one.
    */
    bool nestingStaysWithin (const char* text, int maxDepth) noexcept
    {
        int depth = 0;

        for (auto* p = text; *p != 0; ++p)
        {
            if (*p != '<')
                continue;

            const auto next = p[1];

            if (next == '/')
            {
                depth = juce::jmax (0, depth - 1);
                continue;
            }

            if (next == '?' || next == '!' || next == 0)
                continue;

            if (++depth > maxDepth)
                return false;

            // Find the end of this start tag; '>' may legally appear inside quoted attribute values.
            char quote = 0;
            auto* q = p + 1;

            for (; *q != 0; ++q)
            {
                if (quote != 0)
                {
                    if (*q == quote)
                        quote = 0;
                }
                else if (*q == '"' || *q == '\'')
                {
                    quote = *q;
                }
                else if (*q == '>')
                {
                    break;
                }
            }

            if (*q == 0)
                return true; // unterminated tag: the parser will reject it

            if (q[-1] == '/')
                --depth;

            p = q;
        }

        return true;
    }

    bool startsWithIgnoringCase (const char* text, const char* prefix) noexcept
    {
        for (; *prefix != 0; ++text, ++prefix)
            if (juce::CharacterFunctions::toLowerCase ((juce::juce_wchar) (unsigned char) *text) != (juce::juce_wchar) *prefix)
                return false;

        return true;
    }

    /** Every '&' must start one of the five predefined entities or a numeric reference
        to a character that exists. JUCE's entity reader steps past the end of the text
        on "&#x" at its very end (a read beyond the buffer), accepts eight hex digits
        (characters far beyond U+10FFFF) and lets "&#0;" cut the text short. Our
        writer produces nothing else, so anything else refuses the document (even
        inside a comment, which the scan does not tell apart).
    */
    bool referencesAreWellFormed (const char* text) noexcept
    {
        for (auto* p = std::strchr (text, '&'); p != nullptr; p = std::strchr (p, '&'))
        {
            ++p;

            if (*p != '#')
            {
                auto known = false;

                for (const auto* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
                    known = known || startsWithIgnoringCase (p, name);

                if (! known)
                    return false;

                continue;
            }

            ++p;
            const auto hex = *p == 'x' || *p == 'X';

            if (hex)
                ++p;

            juce::uint32 value = 0;
            int numDigits = 0;

            for (;; ++p)
            {
                const auto digit = hex ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) (unsigned char) *p)
                                       : (*p >= '0' && *p <= '9' ? *p - '0' : -1);

                if (digit < 0)
                    break;

                if (++numDigits > (hex ? 6 : 7))
                    return false;

                value = value * (hex ? 16u : 10u) + (juce::uint32) digit;
            }

            if (numDigits == 0 || *p != ';' || value == 0 || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
                return false;
        }

        return true;
    }

    /** JUCE's parser never returns from a processing instruction inside an element
        when text follows it ("<a><?x?>b</a>" spins for ever, allocating as it goes).
        Our documents carry none but the declaration at the start, so any other "<?"
        (even inside a comment or a value, which the scan does not tell apart) refuses
        the document.
    */
    bool hasProcessingInstructionAfterTheDeclaration (const juce::String& text)
    {
        auto rest = text.trimStart();

        if (rest.startsWith ("<?"))
        {
            const auto end = rest.indexOf ("?>");

            if (end < 0)
                return true;

            rest = rest.substring (end + 2);
        }

        return rest.contains ("<?");
    }
} // namespace

bool isStrictUtf8 (const void* data, size_t numBytes) noexcept
{
    const auto* bytes = static_cast<const juce::uint8*> (data);

    for (size_t i = 0; i < numBytes;)
    {
        const auto lead = bytes[i];

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        // RFC 3629: no overlong forms (C0, C1, E0 80..9F, F0 80..8F), no surrogates
        // (ED A0..BF), nothing above U+10FFFF (F4 90.., F5..FF), no stray continuation bytes.
        size_t length = 0;
        juce::uint8 secondMin = 0x80, secondMax = 0xbf;

        if (lead >= 0xc2 && lead <= 0xdf)
            length = 2;
        else if (lead == 0xe0)
        {
            length = 3;
            secondMin = 0xa0;
        }
        else if (lead == 0xed)
        {
            length = 3;
            secondMax = 0x9f;
        }
        else if (lead >= 0xe1 && lead <= 0xef)
            length = 3;
        else if (lead == 0xf0)
        {
            length = 4;
            secondMin = 0x90;
        }
        else if (lead >= 0xf1 && lead <= 0xf3)
            length = 4;
        else if (lead == 0xf4)
        {
            length = 4;
            secondMax = 0x8f;
        }
        else
            return false;

        if (numBytes - i < length || bytes[i + 1] < secondMin || bytes[i + 1] > secondMax)
            return false;

        for (size_t k = 2; k < length; ++k)
            if ((bytes[i + k] & 0xc0) != 0x80)
                return false;

        i += length;
    }

    return true;
}

namespace
{
    /** UTF-16 after a byte-order mark, with surrogates paired up. juce::String's own
        conversion writes every 16-bit unit as a character of its own, so a lone or
        reversed surrogate would end up as text that is not valid UTF-8. */
    std::optional<juce::String> decodeUtf16 (const juce::uint8* bytes, size_t numBytes)
    {
        if (numBytes % 2 != 0)
            return std::nullopt;

        const auto bigEndian = juce::CharPointer_UTF16::isByteOrderMarkBigEndian (bytes);
        const auto unitAt = [bytes, bigEndian] (size_t offset)
        {
            return bigEndian ? (juce::uint32) ((bytes[offset] << 8) | bytes[offset + 1])
                             : (juce::uint32) ((bytes[offset + 1] << 8) | bytes[offset]);
        };

        std::vector<juce::juce_wchar> characters;
        characters.reserve (numBytes / 2);

        for (size_t offset = 2; offset < numBytes; offset += 2)
        {
            auto unit = unitAt (offset);

            if (unit == 0 || (unit >= 0xdc00 && unit <= 0xdfff))
                return std::nullopt;

            if (unit >= 0xd800 && unit <= 0xdbff)
            {
                offset += 2;

                if (offset >= numBytes)
                    return std::nullopt;

                const auto low = unitAt (offset);

                if (low < 0xdc00 || low > 0xdfff)
                    return std::nullopt;

                unit = 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00);
            }

            characters.push_back ((juce::juce_wchar) unit);
        }

        characters.push_back (0);
        return juce::String (juce::CharPointer_UTF32 (characters.data()));
    }
} // namespace

std::optional<juce::String> decodeUntrustedText (const void* data, size_t numBytes, size_t maxBytes)
{
    // juce::String and the parser count in int.
    if (numBytes > maxBytes || numBytes > (size_t) std::numeric_limits<int>::max())
        return std::nullopt;

    if (numBytes == 0 || data == nullptr)
        return juce::String();

    const auto* bytes = static_cast<const juce::uint8*> (data);

    if (startsWithUtf16ByteOrderMark (bytes, numBytes))
        return decodeUtf16 (bytes, numBytes);

    if (std::memchr (bytes, 0, numBytes) != nullptr)
        return std::nullopt;

    auto* chars = static_cast<const char*> (data);

    if (numBytes >= 3 && juce::CharPointer_UTF8::isByteOrderMark (chars))
    {
        chars += 3;
        numBytes -= 3;
    }

    // Not juce::CharPointer_UTF8::isValidString: it lets overlong forms through, and
    // juce::String keeps those bytes as they are while sizing its later copies by the
    // re-encoded length, which overruns the copy.
    if (! isStrictUtf8 (chars, numBytes))
        return std::nullopt;

    return juce::String::fromUTF8 (chars, (int) numBytes);
}

std::unique_ptr<juce::XmlElement> parseUntrustedXml (const juce::String& text)
{
    if (text.isEmpty())
        return nullptr;

    // Text that did not come through decodeUntrustedText (the clipboard) may hold byte
    // sequences that make juce::String's own copies overrun, so nothing may copy it
    // before this check. The length is taken with strlen: getNumBytesAsUTF8() counts
    // the re-encoded length, not the bytes held.
    const auto* raw = text.toRawUTF8();

    if (! isStrictUtf8 (raw, std::strlen (raw)))
        return nullptr;

    if (text.containsIgnoreCase ("<!DOCTYPE") || text.containsIgnoreCase ("<!ENTITY"))
        return nullptr;

    if (hasProcessingInstructionAfterTheDeclaration (text) || ! referencesAreWellFormed (raw))
        return nullptr;

    // A well-formed document ends with the '>' of its root element (or of a comment
    // or processing instruction after it). JUCE's parser returns the element read so
    // far when the text ends inside a start tag, without reporting an error, so a
    // document cut off between two attributes would otherwise load half its values.
    if (! text.trimEnd().endsWithChar ('>'))
        return nullptr;

    if (! nestingStaysWithin (text.toRawUTF8(), maxUntrustedXmlDepth))
        return nullptr;

    // Built from text, the document has no input source, so it cannot pull in other files.
    juce::XmlDocument document (text);
    return document.getDocumentElement();
}

std::unique_ptr<juce::XmlElement> readUntrustedXmlFile (const juce::File& file, size_t maxBytes)
{
    const auto read = readRegularFile (file, maxBytes);

    if (! read.isRead())
        return nullptr;

    if (auto text = decodeUntrustedText (read.bytes.getData(), read.bytes.getSize(), maxBytes))
        return parseUntrustedXml (*text);

    return nullptr;
}

int parseSaturatingInt (const juce::String& text) noexcept
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    const auto negative = *p == '-';

    if (negative)
        ++p;

    constexpr auto limit = (juce::int64) std::numeric_limits<int>::max() + 1;
    juce::int64 magnitude = 0;

    for (auto c = *p; c >= '0' && c <= '9'; c = *++p)
        magnitude = juce::jmin (limit, magnitude * 10 + (juce::int64) (c - '0'));

    return (int) (negative ? -magnitude : juce::jmin (magnitude, limit - 1));
}

} // namespace orvel
