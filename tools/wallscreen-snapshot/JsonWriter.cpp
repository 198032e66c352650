#include "JsonWriter.h"

#include "base/Exception.h"

#include <cstdio>

namespace ws::tools {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past the last code point.
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

void AppendEscape(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    out += buffer;
}

} // namespace

std::string JsonWriter::Quote(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    AppendEscape(out, c);
                else
                    out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        if (const std::size_t length = Utf8Length(text, i)) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        AppendEscape(out, c); // a stray byte: its Latin-1 character
        ++i;
    }
    return out + "\"";
}

void JsonWriter::NewLine() {
    m_Out += '\n';
    m_Out.append(m_Levels.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (m_AfterKey) {
        m_AfterKey = false;
        return;
    }
    if (m_Levels.empty()) {
        if (!m_Out.empty())
            throw EInvalidOperation("A JSON document holds one value");
        return;
    }
    Level& level = m_Levels.back();
    if (level.object)
        throw EInvalidOperation("A value inside a JSON object needs a key");
    if (level.count++ > 0)
        m_Out += ',';
    NewLine();
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    if (m_Levels.empty() || !m_Levels.back().object || m_AfterKey)
        throw EInvalidOperation("A JSON key belongs inside an object, before its value");
    Level& level = m_Levels.back();
    if (level.count++ > 0)
        m_Out += ',';
    NewLine();
    m_Out += Quote(name) + ": ";
    m_AfterKey = true;
    return *this;
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    m_Out += bracket;
    m_Levels.push_back(Level{bracket == '{', 0});
}

void JsonWriter::Close(char bracket) {
    const bool object = bracket == '}';
    if (m_Levels.empty() || m_Levels.back().object != object || m_AfterKey)
        throw EInvalidOperation("Unbalanced JSON document");
    const bool empty = m_Levels.back().count == 0;
    m_Levels.pop_back();
    if (!empty)
        NewLine();
    m_Out += bracket;
}

JsonWriter& JsonWriter::BeginObject() {
    Open('{');
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    Close('}');
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Open('[');
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    BeforeValue();
    m_Out += Quote(text);
    return *this;
}

JsonWriter& JsonWriter::Int(std::int64_t value) {
    BeforeValue();
    m_Out += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_Out += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    m_Out += "null";
    return *this;
}

std::string JsonWriter::Text() const {
    return m_Levels.empty() && !m_Out.empty() ? m_Out + "\n" : m_Out;
}

} // namespace ws::tools
