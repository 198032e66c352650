#include "engine/RecordCodec.h"

#include "base/Strings.h"
#include "base/Utf8.h"

#include <cassert>
#include <limits>

namespace ws::engine::codec {

namespace {

template <typename T>
std::uint8_t Clamp(std::int64_t value, T& out) {
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
        out = value < 0 ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
        return TableSchema::FieldClipped;
    }
    out = static_cast<T>(value);
    return TableSchema::FieldValue;
}

} // namespace

std::string TextAt(const FieldDesc& field, const std::uint8_t* p) {
    const auto* text = reinterpret_cast<const char*>(p);
    return std::string(text, strnlen(text, field.length));
}

void ClearField(const FieldDesc& field, std::uint8_t* record) {
    std::memset(record + field.offset, 0, 1u + field.length);
}

void PutText(const FieldDesc& field, const std::string& text, std::uint8_t* record) {
    assert(field.type == FieldType::ZString);
    std::uint8_t* flag = record + field.offset;
    ClearField(field, record);
    // At most the field's size in characters, cut at a character boundary; the rest of the value
    // area stays zero.
    const std::size_t length = Utf8PrefixBytes(std::string_view(text.c_str()), field.size);
    assert(length < field.length);
    std::memcpy(flag + 1, text.data(), length);
    *flag = length == text.size() ? TableSchema::FieldValue : TableSchema::FieldClipped;
}

void PutInteger(const FieldDesc& field, std::int64_t value, std::uint8_t* record) {
    std::uint8_t* flag = record + field.offset;
    ClearField(field, record);
    switch (field.type) {
    case FieldType::Date:
    case FieldType::Int32: {
        std::int32_t v = 0;
        *flag = Clamp(value, v);
        Store(flag + 1, v);
        break;
    }
    case FieldType::Int16: {
        std::int16_t v = 0;
        *flag = Clamp(value, v);
        Store(flag + 1, v);
        break;
    }
    case FieldType::Bool:
        Store<std::int16_t>(flag + 1, value != 0 ? 1 : 0);
        *flag = TableSchema::FieldValue;
        break;
    default:
        assert(false && "not an integer field");
        break;
    }
}

void PutReal(const FieldDesc& field, double value, std::uint8_t* record) {
    assert(field.type == FieldType::Float);
    std::uint8_t* flag = record + field.offset;
    ClearField(field, record);
    Store(flag + 1, value);
    *flag = TableSchema::FieldValue;
}

void PutMemoPresence(const FieldDesc& field, bool present, std::uint8_t* record) {
    assert(field.type == FieldType::Blob);
    ClearField(field, record);
    record[field.offset] = present ? TableSchema::FieldValue : TableSchema::FieldBlank;
}

SqlValue SqlOf(const FieldDesc& field, const std::uint8_t* record) {
    if (record[field.offset] == TableSchema::FieldBlank)
        return std::monostate{};
    const std::uint8_t* p = record + field.offset + 1;
    switch (field.type) {
    case FieldType::ZString:
        return TextAt(field, p);
    case FieldType::Date:
    case FieldType::Int32:
        return static_cast<std::int64_t>(Load<std::int32_t>(p));
    case FieldType::Int16:
        return static_cast<std::int64_t>(Load<std::int16_t>(p));
    case FieldType::Bool:
        return static_cast<std::int64_t>(Load<std::int16_t>(p) != 0 ? 1 : 0);
    case FieldType::Float:
        return Load<double>(p);
    default:
        return std::monostate{};
    }
}

Value ValueOf(const FieldDesc& field, const std::uint8_t* record) {
    // The stored value, in the type a caller sees for the field.
    SqlValue stored = SqlOf(field, record);
    if (const auto* number = std::get_if<std::int64_t>(&stored)) {
        const auto word = static_cast<std::int32_t>(*number);
        switch (field.type) {
        case FieldType::Date:
            return DayNumber{word};
        case FieldType::Bool:
            return word != 0;
        default:
            return word;
        }
    }
    if (auto* text = std::get_if<std::string>(&stored))
        return std::move(*text);
    if (const auto* real = std::get_if<double>(&stored))
        return *real;
    return std::monostate{};
}

void EncodeKey(const TableSchema& schema, const IndexDesc& index, const std::vector<SqlValue>& key,
               std::uint8_t* out) {
    for (std::size_t i = 0; i < index.fields.size() && i < key.size(); ++i) {
        const FieldDesc* described = schema.Field(index.fields[i]);
        assert(described && "an index field the schema does not have");
        const FieldDesc& field = *described;
        const SqlValue& value = key[i];
        const bool blank = std::holds_alternative<std::monostate>(value);
        out[0] = blank ? TableSchema::FieldBlank : TableSchema::FieldValue;
        const auto number = [&value] {
            return std::holds_alternative<std::int64_t>(value) ? std::get<std::int64_t>(value)
                   : std::holds_alternative<double>(value)
                       ? static_cast<std::int64_t>(std::get<double>(value))
                       : 0;
        };
        if (blank) {
            // nothing to write
        } else if (field.type == FieldType::ZString) {
            if (const auto* text = std::get_if<std::string>(&value))
                std::memcpy(out + 1, text->data(), Utf8PrefixBytes(text->c_str(), field.size));
        } else if (field.type == FieldType::Float) {
            const double d = std::holds_alternative<double>(value) ? std::get<double>(value)
                                                                   : static_cast<double>(number());
            Store(out + 1, d);
        } else if (field.length == 4) {
            Store(out + 1, static_cast<std::int32_t>(number()));
        } else if (field.length == 2) {
            Store(out + 1, static_cast<std::int16_t>(number()));
        }
        out += 1 + field.length;
    }
}

std::vector<SqlValue> DecodeKey(const TableSchema& schema, const IndexDesc& index, const std::uint8_t* in) {
    std::vector<SqlValue> key;
    for (std::uint16_t number : index.fields) {
        const FieldDesc* described = schema.Field(number);
        assert(described && "an index field the schema does not have");
        const FieldDesc& field = *described;
        const auto* text = reinterpret_cast<const char*>(in + 1);
        if (in[0] == TableSchema::FieldBlank)
            key.emplace_back(std::monostate{});
        else if (field.type == FieldType::ZString)
            key.emplace_back(std::string(text, strnlen(text, field.length)));
        else if (field.type == FieldType::Float)
            key.emplace_back(Load<double>(in + 1));
        else if (field.length == 4)
            key.emplace_back(static_cast<std::int64_t>(Load<std::int32_t>(in + 1)));
        else
            key.emplace_back(static_cast<std::int64_t>(Load<std::int16_t>(in + 1)));
        in += 1 + field.length;
    }
    return key;
}

int CompareSql(const SqlValue& a, const SqlValue& b, bool noCase) {
    const auto rank = [](const SqlValue& v) { return v.index() == 0 ? 0 : v.index() == 3 ? 2 : 1; };
    if (rank(a) != rank(b))
        return rank(a) < rank(b) ? -1 : 1;
    if (rank(a) == 0)
        return 0;
    if (rank(a) == 2) {
        const auto& x = std::get<std::string>(a);
        const auto& y = std::get<std::string>(b);
        const int c = noCase ? CompareText(x, y) : x.compare(y);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    const auto num = [](const SqlValue& v) {
        return v.index() == 1 ? static_cast<double>(std::get<std::int64_t>(v)) : std::get<double>(v);
    };
    if (a.index() == 1 && b.index() == 1) {
        const auto x = std::get<std::int64_t>(a);
        const auto y = std::get<std::int64_t>(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return num(a) < num(b) ? -1 : num(a) > num(b) ? 1 : 0;
}

int CompareKeys(const std::vector<SqlValue>& a, const std::vector<SqlValue>& b, bool noCase) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (int c = CompareSql(a[i], b[i], noCase))
            return c;
    }
    return 0;
}

} // namespace ws::engine::codec
