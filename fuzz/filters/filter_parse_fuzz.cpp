// Filter texts against a view's fields. The first byte picks the options and the extended syntax;
// the rest is the text. A text either fails with one of our exceptions or gives a buffer whose
// header describes it exactly.
#include "base/Exception.h"
#include "data/ExprParser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

const ws::TExprFields& Fields() {
    static const ws::TExprFields fields = [] {
        ws::TExprFields f;
        f.ViewName = "JobsTable";
        const std::pair<const char*, ws::TFieldType> list[] = {
            {"Name", ws::ftString},    {"Small", ws::ftSmallint},   {"Count", ws::ftInteger},
            {"Unsigned", ws::ftWord},  {"IsActive", ws::ftBoolean}, {"DateOffSet", ws::ftFloat},
            {"Money", ws::ftCurrency}, {"Day", ws::ftDate},         {"Clock", ws::ftTime},
            {"Stamp", ws::ftDateTime}, {"Notes", ws::ftMemo},       {"Raw", ws::ftBytes},
            {"Big", ws::ftLargeint},   {"True", ws::ftBoolean},     {"Id", ws::ftAutoInc},
        };
        int number = 0;
        for (const auto& [name, type] : list)
            f.Fields.push_back({name, type, ++number, 20, true});
        f.Fields.push_back({"Memorial", ws::ftString, -1, 80, false});
        return f;
    }();
    return fields;
}

std::uint16_t Word(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        ws::TFilterExpr filter(Fields(), {(mode & 1) != 0, (mode & 2) != 0});
        ws::TExprParser parser(filter, text, (mode & 4) != 0);
        const std::vector<std::uint8_t> buffer = parser.FilterData();
        const bool consistent = buffer.size() >= 10 && Word(buffer, 0) == 2 &&
                                Word(buffer, 2) == buffer.size() && Word(buffer, 6) == 10 &&
                                Word(buffer, 8) > 10 && Word(buffer, 8) <= buffer.size();
        if (!consistent)
            std::abort();
    } catch (const ws::Exception&) {
    }
    return 0;
}
