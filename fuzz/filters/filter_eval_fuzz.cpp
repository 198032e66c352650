// The engine's filter evaluator against arbitrary buffers and rows. The first byte picks what the
// rest is: a raw buffer (which must never crash the decoder or the evaluator) or a filter text (a
// buffer the builder accepts must decode, since the two sides share one format). The next eight
// bytes give the row's field values.
#include "base/Exception.h"
#include "data/ExprParser.h"
#include "engine/FilterEvaluator.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ws::engine;

constexpr std::size_t kRowBytes = 8;

const std::vector<FieldDesc>& Fields() {
    static const std::vector<FieldDesc> fields = [] {
        const std::pair<const char*, FieldType> list[] = {
            {"Name", FieldType::ZString},  {"Small", FieldType::Int16},      {"Count", FieldType::Int32},
            {"IsActive", FieldType::Bool}, {"DateOffSet", FieldType::Float}, {"Day", FieldType::Date},
            {"Notes", FieldType::Blob},    {"Invoiced", FieldType::Bool},
        };
        std::vector<FieldDesc> f;
        for (const auto& [name, type] : list) {
            FieldDesc d;
            d.number = static_cast<std::uint16_t>(f.size() + 1);
            d.name = name;
            d.type = type;
            d.size = type == FieldType::ZString ? 20 : 0;
            f.push_back(d);
        }
        return f;
    }();
    return fields;
}

const ws::TExprFields& ViewFields() {
    static const ws::TExprFields fields = [] {
        const ws::TFieldType types[] = {ws::ftString, ws::ftSmallint, ws::ftInteger, ws::ftBoolean,
                                        ws::ftFloat,  ws::ftDate,     ws::ftMemo,    ws::ftBoolean};
        ws::TExprFields f;
        for (const FieldDesc& d : Fields())
            f.Fields.push_back({d.name, types[d.number - 1], d.number, d.size, true});
        return f;
    }();
    return fields;
}

// One byte per field: a quarter of the values are blank.
Value FieldValue(std::uint16_t fieldNo, std::uint8_t b) {
    if (b % 4 == 0)
        return {};
    const int n = static_cast<int>(b) - 128;
    switch (Fields()[fieldNo - 1].type) {
    case FieldType::ZString:
    case FieldType::Blob:
        return std::string(b % 7, static_cast<char>('A' + b % 26));
    case FieldType::Bool:
        return (b & 8) != 0;
    case FieldType::Float:
        return n / 4.0;
    case FieldType::Date:
        return DayNumber{739000 + n};
    default:
        return std::int32_t{n};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 + kRowBytes)
        return 0;
    const bool isText = (data[0] & 1) != 0;
    const std::uint8_t* row = data + 1;
    const std::vector<std::uint8_t> input(data + 1 + kRowBytes, data + size);
    std::vector<std::uint8_t> buffer;
    if (!isText) {
        buffer = input;
    } else {
        try {
            const std::string text(input.begin(), input.end());
            buffer = ws::TExprParser::Build(ViewFields(), text, {(data[0] & 2) != 0, (data[0] & 4) != 0});
        } catch (const ws::Exception&) {
            return 0;
        }
    }
    std::unique_ptr<FilterEvaluator::Program> program;
    const EngineStatus status = FilterEvaluator::Decode(buffer, Fields(), program);
    if (isText && status != esOk)
        std::abort();
    if (!program)
        return 0;
    const auto read = [row](std::uint16_t fieldNo, Value& value) {
        if (fieldNo == 0 || fieldNo > kRowBytes)
            std::abort();
        value = FieldValue(fieldNo, row[fieldNo - 1]);
        return esOk;
    };
    (void)program->Test(read);
    (void)program->PushDown();
    return 0;
}
