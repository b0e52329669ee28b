#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wrendlehost
{

/** A small streaming JSON writer with two-space indentation.

    Callers open objects and arrays, add members (key + value) inside objects and
    plain values inside arrays, and close what they opened. Strings are escaped
    for JSON (control characters as \\u00XX); bytes that are not valid UTF-8 are
    replaced by U+FFFD so the result always parses. Non-finite numbers are
    written as null, since JSON has no representation for them.
*/
class JsonWriter
{
public:
    void beginObject();
    void beginObject (const std::string& key);
    void endObject();
    void beginArray();
    void beginArray (const std::string& key);
    void endArray();

    void add (const std::string& key, const std::string& value);
    void add (const std::string& key, const char* value);
    void add (const std::string& key, double value);
    void add (const std::string& key, int64_t value);
    void add (const std::string& key, uint32_t value) { add (key, static_cast<int64_t> (value)); }
    void add (const std::string& key, bool value);
    void addNull (const std::string& key);

    void add (const std::string& value);
    void add (double value);

    /** The text written so far, followed by a newline when complete. */
    std::string toString() const;

    static std::string quote (const std::string& text);

    /** The shortest decimal form that reads back as the same double. */
    static std::string number (double value);

private:
    void beginValue();
    void writeKey (const std::string& key);
    void newLine();

    std::string out;
    std::vector<bool> hasItems; ///< one entry per open object/array
};

} // namespace wrendlehost
