#include "JsonWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace wrendlehost
{

namespace
{
    /** Length of the valid UTF-8 sequence starting at text[i], or 0. */
    size_t utf8SequenceLength (const std::string& text, size_t i)
    {
        const auto lead = static_cast<unsigned char> (text[i]);
        size_t length = 0;
        uint32_t minimum = 0;

        if (lead < 0x80)                     return 1;
        if (lead >= 0xc2 && lead <= 0xdf)    { length = 2; minimum = 0x80; }
        else if (lead >= 0xe0 && lead <= 0xef) { length = 3; minimum = 0x800; }
        else if (lead >= 0xf0 && lead <= 0xf4) { length = 4; minimum = 0x10000; }
        else                                 return 0;

        if (i + length > text.size())
            return 0;

        uint32_t codePoint = lead & (0xff >> (length + 1));

        for (size_t k = 1; k < length; ++k)
        {
            const auto next = static_cast<unsigned char> (text[i + k]);

            if ((next & 0xc0) != 0x80)
                return 0;

            codePoint = (codePoint << 6) | (next & 0x3f);
        }

        if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return 0;

        return length;
    }
} // namespace

std::string JsonWriter::quote (const std::string& text)
{
    std::string result = "\"";

    for (size_t i = 0; i < text.size();)
    {
        const auto c = static_cast<unsigned char> (text[i]);
        const auto length = utf8SequenceLength (text, i);

        if (length == 0)
        {
            result += "\xef\xbf\xbd";
            ++i;
            continue;
        }

        if (length > 1)
        {
            result.append (text, i, length);
            i += length;
            continue;
        }

        switch (c)
        {
            case '"':  result += "\\\""; break;
            case '\\': result += "\\\\"; break;
            case '\n': result += "\\n"; break;
            case '\r': result += "\\r"; break;
            case '\t': result += "\\t"; break;
            case '\b': result += "\\b"; break;
            case '\f': result += "\\f"; break;
            default:
                if (c < 0x20)
                {
                    char escaped[8];
                    std::snprintf (escaped, sizeof (escaped), "\\u%04x", c);
                    result += escaped;
                }
                else
                {
                    result += static_cast<char> (c);
                }
        }

        ++i;
    }

    return result + "\"";
}

std::string JsonWriter::number (double value)
{
    if (! std::isfinite (value))
        return "null";

    char text[40];

    for (int precision = 1; precision <= 17; ++precision)
    {
        std::snprintf (text, sizeof (text), "%.*g", precision, value);

        if (std::strtod (text, nullptr) == value)
            break;
    }

    return text;
}

void JsonWriter::newLine()
{
    out += '\n';
    out.append (hasItems.size() * 2, ' ');
}

void JsonWriter::beginValue()
{
    if (hasItems.empty())
        return;

    if (hasItems.back())
        out += ',';

    hasItems.back() = true;
    newLine();
}

void JsonWriter::writeKey (const std::string& key)
{
    beginValue();
    out += quote (key);
    out += ": ";
}

void JsonWriter::beginObject()
{
    beginValue();
    out += '{';
    hasItems.push_back (false);
}

void JsonWriter::beginObject (const std::string& key)
{
    writeKey (key);
    out += '{';
    hasItems.push_back (false);
}

void JsonWriter::endObject()
{
    const bool hadItems = hasItems.back();
    hasItems.pop_back();

    if (hadItems)
        newLine();

    out += '}';
}

void JsonWriter::beginArray()
{
    beginValue();
    out += '[';
    hasItems.push_back (false);
}

void JsonWriter::beginArray (const std::string& key)
{
    writeKey (key);
    out += '[';
    hasItems.push_back (false);
}

void JsonWriter::endArray()
{
    const bool hadItems = hasItems.back();
    hasItems.pop_back();

    if (hadItems)
        newLine();

    out += ']';
}

void JsonWriter::add (const std::string& key, const std::string& value)
{
    writeKey (key);
    out += quote (value);
}

void JsonWriter::add (const std::string& key, const char* value)
{
    if (value == nullptr)
        addNull (key);
    else
        add (key, std::string (value));
}

void JsonWriter::add (const std::string& key, double value)
{
    writeKey (key);
    out += number (value);
}

void JsonWriter::add (const std::string& key, int64_t value)
{
    writeKey (key);
    out += std::to_string (value);
}

void JsonWriter::add (const std::string& key, bool value)
{
    writeKey (key);
    out += value ? "true" : "false";
}

void JsonWriter::addNull (const std::string& key)
{
    writeKey (key);
    out += "null";
}

void JsonWriter::add (const std::string& value)
{
    beginValue();
    out += quote (value);
}

void JsonWriter::add (double value)
{
    beginValue();
    out += number (value);
}

std::string JsonWriter::toString() const
{
    return hasItems.empty() ? out + "\n" : out;
}

} // namespace wrendlehost
