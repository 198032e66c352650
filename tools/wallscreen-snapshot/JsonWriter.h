#pragma once

// A small JSON writer: objects, arrays, strings, numbers, Booleans and null, two-space indented.
// Strings are escaped completely; bytes that are not valid UTF-8 are written as the Latin-1
// characters they stand for, so the output is always valid JSON whatever a text holds.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ws::tools {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // Names the next value inside an object.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view text);
    JsonWriter& Int(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // The document so far, ending in a line break once complete.
    std::string Text() const;

    static std::string Quote(std::string_view text);

private:
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);
    void NewLine();

    std::string m_Out;
    struct Level {
        bool object = false;
        int count = 0;
    };
    std::vector<Level> m_Levels;
    bool m_AfterKey = false;
};

} // namespace ws::tools
