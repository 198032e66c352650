#pragma once

#include "data/ExprParser.h"
#include "data/FilterExpr.h"
#include "jobs/JobSchema.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ws::test {

// The fields of OrderHead.DB as a view over it declares them, plus the calculated Memorial.
inline TExprFields OrderHeadFields(const std::string& viewName = "JobsTable") {
    TExprFields fields;
    fields.ViewName = viewName;
    const SchemaTable& table = OrderHeadTable();
    int number = 0;
    for (const SchemaField& f : table.fields)
        fields.Fields.push_back({std::string(f.name), f.type, ++number, f.size, true});
    fields.Fields.push_back({"Memorial", ftString, -1, 80, false});
    return fields;
}

// A few fields of every kind the builder encodes, numbered from 1.
inline TExprFields TypedFields() {
    TExprFields fields;
    fields.ViewName = "Typed";
    const std::vector<std::pair<const char*, TFieldType>> list = {
        {"Name", ftString},  {"Small", ftSmallint}, {"Count", ftInteger},  {"Unsigned", ftWord},
        {"Flag", ftBoolean}, {"Amount", ftFloat},   {"Money", ftCurrency}, {"Day", ftDate},
        {"Clock", ftTime},   {"Stamp", ftDateTime}, {"Notes", ftMemo},     {"Raw", ftBytes},
        {"Big", ftLargeint}, {"Dec", ftBCD},        {"Id", ftAutoInc},     {"True", ftBoolean},
    };
    int number = 0;
    for (const auto& [name, type] : list)
        fields.Fields.push_back({name, type, ++number, type == ftString ? 20 : 0, true});
    return fields;
}

inline std::vector<std::uint8_t> Build(const TExprFields& fields, const std::string& text,
                                       TFilterExprOptions options = {}) {
    return TExprParser::Build(fields, text, options);
}

// Reads a built buffer back: header words, nodes by offset in the node area, literals.
class BufferView {
public:
    explicit BufferView(std::vector<std::uint8_t> bytes) : m_Bytes(std::move(bytes)) {}

    std::uint16_t HeaderWord(int i) const { return Word(2 * static_cast<std::size_t>(i)); }
    std::size_t NodeArea() const { return HeaderWord(4) - HeaderWord(3); }
    std::uint32_t Class(std::size_t node) const { return Long(HeaderWord(3) + node); }
    std::uint32_t Op(std::size_t node) const { return Long(HeaderWord(3) + node + 4); }
    std::uint16_t Operand(std::size_t node, int i) const {
        return Word(HeaderWord(3) + node + 8 + 2 * static_cast<std::size_t>(i));
    }
    std::string Text(std::size_t literal) const {
        return reinterpret_cast<const char*>(m_Bytes.data() + HeaderWord(4) + literal);
    }
    std::uint16_t LiteralWord(std::size_t literal) const { return Word(HeaderWord(4) + literal); }
    template <class T>
    T Literal(std::size_t literal) const {
        T value;
        std::memcpy(&value, m_Bytes.data() + HeaderWord(4) + literal, sizeof(T));
        return value;
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_Bytes; }

private:
    std::uint16_t Word(std::size_t at) const {
        std::uint16_t v;
        std::memcpy(&v, m_Bytes.data() + at, 2);
        return v;
    }
    std::uint32_t Long(std::size_t at) const {
        std::uint32_t v;
        std::memcpy(&v, m_Bytes.data() + at, 4);
        return v;
    }
    std::vector<std::uint8_t> m_Bytes;
};

} // namespace ws::test
