#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <optional>

namespace orvel
{

/** The largest XML document the plug-in agrees to read: settings files, the news
    cache and the news answer are a few hundred bytes each, so anything near this
    size is not ours. Refusing it up front keeps a stray multi-gigabyte file from
    being pulled into memory on the host's main thread.
*/
constexpr size_t maxUntrustedXmlBytes = 256 * 1024;

/** The limit for a host state blob and for clipboard text. What this plug-in writes
    is about 540 bytes, so this leaves room for anything it will write, and a larger
    blob is refused like one that does not parse. The bound matters: JUCE's XML
    parser takes time quadratic in the length of some crafted texts (a 4 MB state of
    entity references holds the host's main thread for seconds), and the host's
    stream is not read beyond it.
*/
constexpr size_t maxHostStateBytes = 256 * 1024;

/** Deepest element nesting accepted. Our documents are one or two levels deep;
    juce::XmlDocument parses child elements recursively, so a file of a few
    kilobytes of "<a><a><a>..." would otherwise overflow the stack, and a
    background thread's stack first.
*/
constexpr int maxUntrustedXmlDepth = 16;

/** True when the bytes are UTF-8 as RFC 3629 defines it: no overlong forms, no
    surrogates, nothing above U+10FFFF.

    juce::CharPointer_UTF8::isValidString is not enough: it accepts overlong forms
    such as C0 AC, which juce::String stores as they are but counts as one byte when
    it sizes a copy, so the next copy writes past its buffer.
*/
bool isStrictUtf8 (const void* data, size_t numBytes) noexcept;

/** Turns raw bytes from a file or the network into text.

    Accepts UTF-8 (with or without byte-order mark) and UTF-16 with a byte-order
    mark and properly paired surrogates. Returns nothing for data that is larger
    than maxBytes, contains a NUL character or is not strictly valid (isStrictUtf8):
    such data is binary garbage, and a juce::String made from it can overrun its
    own buffers.
*/
std::optional<juce::String> decodeUntrustedText (const void* data, size_t numBytes,
                                                 size_t maxBytes = maxUntrustedXmlBytes);

/** Parses text that did not come from this program's own memory.

    Returns null unless the text is a well-formed XML document that is safe to give
    to juce::XmlDocument: no DTD (JUCE expands DTD entities recursively, so a
    "billion laughs" or self-referencing entity would exhaust memory or the stack),
    no nesting deeper than maxUntrustedXmlDepth, no processing instruction but a
    leading declaration (JUCE's parser loops for ever on one inside an element that
    is followed by text), no '&' but well-formed references to the five predefined
    entities or to existing characters (JUCE's reader can step past the end of the
    text on a broken one), and nothing but white space after the last '>' (JUCE
    quietly returns a half-read element for a document that was cut off inside a
    start tag). The checks are deliberately coarse and err towards refusing odd
    documents, never towards parsing them.
*/
std::unique_ptr<juce::XmlElement> parseUntrustedXml (const juce::String& text);

/** Reads and parses a file with the limits above; null for a missing, unreadable,
    oversized, binary or malformed file and for anything but a regular file (see
    readRegularFile in FileAccess.h). Never resolves external references, so a
    document cannot make the parser read other files.
*/
std::unique_ptr<juce::XmlElement> readUntrustedXmlFile (const juce::File& file,
                                                        size_t maxBytes = maxUntrustedXmlBytes);

/** The leading integer of a text as JUCE's getIntValue() reads it (leading white
    space, an optional minus, then digits; no digits give 0), but saturating at the
    int range: JUCE's own parse wraps around, and negating the wrapped minimum is
    undefined behaviour that a crafted file could trigger.
*/
int parseSaturatingInt (const juce::String& text) noexcept;

} // namespace orvel
