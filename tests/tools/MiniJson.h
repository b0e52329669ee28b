#pragma once

/** A minimal JSON reader for checking the host's --json output in tests.
    Strict enough to reject malformed text (trailing commas, bare words,
    unterminated strings, trailing garbage), which is the point: the output must
    parse with any conforming reader.
*/

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace minijson
{

struct Value
{
    enum class Type
    {
        null,
        boolean,
        number,
        string,
        array,
        object
    };

    Type type = Type::null;
    bool boolean = false;
    double number = 0.0;
    std::string string;
    std::vector<Value> array;
    std::map<std::string, Value> object;

    bool has (const std::string& key) const { return type == Type::object && object.count (key) != 0; }

    const Value& operator[] (const std::string& key) const
    {
        if (type != Type::object)
            throw std::runtime_error ("not an object (looking for '" + key + "')");

        const auto found = object.find (key);

        if (found == object.end())
            throw std::runtime_error ("no member '" + key + "'");

        return found->second;
    }

    const Value& operator[] (size_t index) const
    {
        if (type != Type::array || index >= array.size())
            throw std::runtime_error ("no array element " + std::to_string (index));

        return array[index];
    }

    bool isNull() const { return type == Type::null; }
};

class Parser
{
public:
    explicit Parser (const std::string& textToParse) : text (textToParse) {}

    Value parseDocument()
    {
        auto value = parseValue();
        skipSpace();

        if (position != text.size())
            fail ("trailing characters");

        return value;
    }

private:
    [[noreturn]] void fail (const std::string& what) const
    {
        throw std::runtime_error ("JSON error at " + std::to_string (position) + ": " + what);
    }

    void skipSpace()
    {
        while (position < text.size() && (text[position] == ' ' || text[position] == '\n' || text[position] == '\r' || text[position] == '\t'))
            ++position;
    }

    bool consume (const char* word)
    {
        const std::string w (word);

        if (text.compare (position, w.size(), w) != 0)
            return false;

        position += w.size();
        return true;
    }

    Value parseValue()
    {
        skipSpace();

        if (position >= text.size())
            fail ("unexpected end");

        Value value;
        const char c = text[position];

        if (c == '{')
        {
            value.type = Value::Type::object;
            ++position;
            skipSpace();

            if (position < text.size() && text[position] == '}')
            {
                ++position;
                return value;
            }

            for (;;)
            {
                skipSpace();
                auto key = parseString();
                skipSpace();

                if (position >= text.size() || text[position] != ':')
                    fail ("expected ':'");

                ++position;
                value.object[key] = parseValue();
                skipSpace();

                if (position < text.size() && text[position] == ',')
                {
                    ++position;
                    continue;
                }

                if (position < text.size() && text[position] == '}')
                {
                    ++position;
                    return value;
                }

                fail ("expected ',' or '}'");
            }
        }

        if (c == '[')
        {
            value.type = Value::Type::array;
            ++position;
            skipSpace();

            if (position < text.size() && text[position] == ']')
            {
                ++position;
                return value;
            }

            for (;;)
            {
                value.array.push_back (parseValue());
                skipSpace();

                if (position < text.size() && text[position] == ',')
                {
                    ++position;
                    continue;
                }

                if (position < text.size() && text[position] == ']')
                {
                    ++position;
                    return value;
                }

                fail ("expected ',' or ']'");
            }
        }

        if (c == '"')
        {
            value.type = Value::Type::string;
            value.string = parseString();
            return value;
        }

        if (consume ("true"))
        {
            value.type = Value::Type::boolean;
            value.boolean = true;
            return value;
        }

        if (consume ("false"))
        {
            value.type = Value::Type::boolean;
            return value;
        }

        if (consume ("null"))
            return value;

        return parseNumber();
    }

    Value parseNumber()
    {
        const auto start = position;

        if (position < text.size() && text[position] == '-')
            ++position;

        while (position < text.size() && std::string ("0123456789.eE+-").find (text[position]) != std::string::npos)
            ++position;

        const auto token = text.substr (start, position - start);
        char* end = nullptr;
        const double number = std::strtod (token.c_str(), &end);

        if (token.empty() || end != token.c_str() + token.size() || ! std::isfinite (number))
            fail ("bad number '" + token + "'");

        Value value;
        value.type = Value::Type::number;
        value.number = number;
        return value;
    }

    static void appendUtf8 (std::string& out, unsigned codePoint)
    {
        if (codePoint < 0x80)
        {
            out += static_cast<char> (codePoint);
        }
        else if (codePoint < 0x800)
        {
            out += static_cast<char> (0xc0 | (codePoint >> 6));
            out += static_cast<char> (0x80 | (codePoint & 0x3f));
        }
        else
        {
            out += static_cast<char> (0xe0 | (codePoint >> 12));
            out += static_cast<char> (0x80 | ((codePoint >> 6) & 0x3f));
            out += static_cast<char> (0x80 | (codePoint & 0x3f));
        }
    }

    std::string parseString()
    {
        if (position >= text.size() || text[position] != '"')
            fail ("expected a string");

        ++position;
        std::string out;

        while (position < text.size())
        {
            const char c = text[position++];

            if (c == '"')
                return out;

            if (static_cast<unsigned char> (c) < 0x20)
                fail ("control character in string");

            if (c != '\\')
            {
                out += c;
                continue;
            }

            if (position >= text.size())
                break;

            const char escaped = text[position++];

            switch (escaped)
            {
                case '"':  out += '"'; break;
                case '\\': out += '\\'; break;
                case '/':  out += '/'; break;
                case 'b':  out += '\b'; break;
                case 'f':  out += '\f'; break;
                case 'n':  out += '\n'; break;
                case 'r':  out += '\r'; break;
                case 't':  out += '\t'; break;
                case 'u':
                {
                    if (position + 4 > text.size())
                        fail ("short \\u escape");

                    appendUtf8 (out, static_cast<unsigned> (std::stoul (text.substr (position, 4), nullptr, 16)));
                    position += 4;
                    break;
                }
                default:
                    fail ("bad escape");
            }
        }

        fail ("unterminated string");
    }

    const std::string& text;
    size_t position = 0;
};

inline Value parse (const std::string& text)
{
    return Parser (text).parseDocument();
}

} // namespace minijson
