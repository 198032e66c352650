// The engine's side of filters: buffers from the builder tested against rows, the rule for blank
// fields, and damaged buffers refused before anything is evaluated.
#include "engine/FilterEvaluator.h"

#include "FilterTestSupport.h"
#include "base/Convert.h"
#include "base/DateTime.h"
#include "engine/Errors.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>

namespace ws::test {
namespace {

using engine::DayNumber;
using engine::FieldDesc;
using engine::FieldSubtype;
using engine::FieldType;
using engine::FilterEvaluator;
using engine::Value;

enum : std::uint16_t { fName = 1, fSmall, fCount, fFlag, fAmount, fDay, fNotes, fInvoiced };

std::vector<FieldDesc> EngineFields() {
    const auto field = [](std::uint16_t no, const char* name, FieldType type,
                          FieldSubtype sub = FieldSubtype::None) {
        FieldDesc f;
        f.number = no;
        f.name = name;
        f.type = type;
        f.subtype = sub;
        f.size = type == FieldType::ZString ? 20 : 0;
        f.length = type == FieldType::Int16 ? 2 : 0;
        return f;
    };
    return {field(fName, "Name", FieldType::ZString),
            field(fSmall, "Small", FieldType::Int16),
            field(fCount, "Count", FieldType::Int32),
            field(fFlag, "Flag", FieldType::Bool),
            field(fAmount, "Amount", FieldType::Float),
            field(fDay, "Day", FieldType::Date),
            field(fNotes, "Notes", FieldType::Blob, FieldSubtype::Memo),
            field(fInvoiced, "Invoiced", FieldType::Bool)};
}

using Row = std::map<std::uint16_t, Value>;

class FilterEvaluatorTest : public ::testing::Test {
protected:
    FilterEvaluatorTest() : m_Fields(EngineFields()), m_ExprFields(TExprFields::FromEngine(m_Fields)) {}

    std::unique_ptr<FilterEvaluator::Program> Decode(const std::vector<std::uint8_t>& buffer,
                                                     engine::EngineStatus expected = engine::esOk) {
        std::unique_ptr<FilterEvaluator::Program> program;
        EXPECT_EQ(FilterEvaluator::Decode(buffer, m_Fields, program), expected);
        EXPECT_EQ(program != nullptr, expected == engine::esOk);
        return program;
    }

    bool Passes(const std::string& text, const Row& row, TFilterExprOptions options = {}) {
        auto program = Decode(Build(m_ExprFields, text, options));
        if (!program)
            return false;
        return program->Test([&row](std::uint16_t no, Value& value) {
            const auto it = row.find(no);
            value = it == row.end() ? Value{} : it->second;
            return engine::esOk;
        });
    }

    std::vector<FieldDesc> m_Fields;
    TExprFields m_ExprFields;
};

TEST_F(FilterEvaluatorTest, NumbersDatesAndBooleansCompare) {
    const Row row = {{fSmall, std::int32_t{-3}},
                     {fCount, std::int32_t{7}},
                     {fAmount, 2.5},
                     {fDay, DayNumber{739000}},
                     {fFlag, true}};
    EXPECT_TRUE(Passes("Count = 7", row));
    EXPECT_FALSE(Passes("Count <> 7", row));
    EXPECT_TRUE(Passes("Count > 6 AND Count < 8 AND Count >= 7 AND Count <= 7", row));
    EXPECT_FALSE(Passes("Count > 7 OR Count < 7", row));
    EXPECT_TRUE(Passes("Small < 0", row));
    EXPECT_TRUE(Passes("Amount = 2.5 AND Amount > 2", row));
    EXPECT_TRUE(Passes("Flag AND Flag = True AND NOT (Flag = False)", row));
    EXPECT_TRUE(Passes("Day = '" + DateToStr(DayNumberToDate(739000)) + "'", row));
    EXPECT_TRUE(Passes("Day > '" + DateToStr(DayNumberToDate(738999)) + "'", row));
    EXPECT_TRUE(Passes("3 < Count", row));
}

TEST_F(FilterEvaluatorTest, TextComparesExactlyUnlessAsked) {
    const Row row = {{fName, std::string("Smith")}};
    EXPECT_TRUE(Passes("Name = 'Smith'", row));
    EXPECT_FALSE(Passes("Name = 'smith'", row));
    EXPECT_TRUE(Passes("Name = 'smith'", row, {true, false}));
    EXPECT_FALSE(Passes("Name <> 'SMITH'", row, {true, false}));
    EXPECT_TRUE(Passes("Name > 'Jones' AND Name < 'Taylor'", row));
    // Prefix matches over the partial length.
    EXPECT_TRUE(Passes("Name = 'Sm*'", row));
    EXPECT_FALSE(Passes("Name = 'Sm*'", row, {false, true}));
    EXPECT_TRUE(Passes("Name = 'sm*'", row, {true, false}));
    EXPECT_FALSE(Passes("Name <> 'Sm*'", row));
    EXPECT_FALSE(Passes("Name = 'Smithson*'", row));
    EXPECT_TRUE(Passes("Name = 'S*'", {{fName, std::string("S")}}));
    EXPECT_TRUE(Passes("Name = '*'", {{fName, std::string("*")}}));
}

TEST_F(FilterEvaluatorTest, LikeWildcards) {
    const Row row = {{fName, std::string("Smith & Sons")}, {fNotes, std::string("granite headstone")}};
    EXPECT_TRUE(Passes("Name LIKE 'Smith%'", row));
    EXPECT_TRUE(Passes("Name LIKE '%& S_ns'", row));
    EXPECT_FALSE(Passes("Name LIKE 'smith%'", row));
    EXPECT_TRUE(Passes("Name LIKE 'smith%'", row, {true, false}));
    EXPECT_FALSE(Passes("Name LIKE 'Smith'", row));
    EXPECT_TRUE(Passes("Notes LIKE '%stone'", row));
    EXPECT_TRUE(Passes("Name LIKE '%%%'", {{fName, std::string("")}}));
}

TEST_F(FilterEvaluatorTest, InLists) {
    EXPECT_TRUE(Passes("Count IN (1, 7, 9)", {{fCount, std::int32_t{7}}}));
    EXPECT_FALSE(Passes("Count IN (1, 9)", {{fCount, std::int32_t{7}}}));
    EXPECT_TRUE(Passes("Name IN ('a', 'Smith')", {{fName, std::string("Smith")}}));
    EXPECT_FALSE(Passes("Name IN ('smith')", {{fName, std::string("Smith")}}));
    EXPECT_FALSE(Passes("Count IN (0)", {}));
}

TEST_F(FilterEvaluatorTest, BlankFieldsFailEveryComparison) {
    const Row blank = {};
    for (const char* text :
         {"Count = 0", "Count <> 0", "Count > 0", "Count < 0", "Count >= 0", "Count <= 0", "Name = ''",
          "Name <> 'x'", "Name LIKE '%'", "Name = 'a*'", "Flag", "Flag = False"})
        EXPECT_FALSE(Passes(text, blank)) << text;
    EXPECT_TRUE(Passes("Count IS NULL AND Name = NULL AND Notes IS NULL", blank));
    EXPECT_FALSE(Passes("Count IS NOT NULL", blank));
    EXPECT_TRUE(Passes("Count IS NOT NULL", {{fCount, std::int32_t{0}}}));
    // A job whose invoiced flag was never set counts as not invoiced.
    EXPECT_TRUE(Passes("NOT(Invoiced)", blank));
    EXPECT_FALSE(Passes("NOT(Invoiced)", {{fInvoiced, true}}));
    EXPECT_TRUE(Passes("NOT(Invoiced)", {{fInvoiced, false}}));
}

TEST_F(FilterEvaluatorTest, LongestChainTheBuilderAcceptsDecodes) {
    std::string chain = "Count = 0";
    for (int i = 1; i < 199; ++i)
        chain += " OR Count = " + std::to_string(i);
    EXPECT_TRUE(Passes(chain, {{fCount, std::int32_t{198}}}));
    EXPECT_FALSE(Passes(chain, {{fCount, std::int32_t{199}}}));
}

TEST_F(FilterEvaluatorTest, UnreadableFieldCountsAsBlank) {
    auto program = Decode(Build(m_ExprFields, "Count = 1 OR Count <> 1"));
    EXPECT_FALSE(program->Test([](std::uint16_t, Value&) { return engine::esInvalidField; }));
}

TEST_F(FilterEvaluatorTest, PushDownOnlyForBooleanAndFloatConditions) {
    auto board = Decode(Build(m_ExprFields, "(Flag=True) AND NOT(Invoiced) AND (Amount=3)"));
    const auto sql = board->PushDown();
    ASSERT_TRUE(sql.has_value());
    EXPECT_NE(sql->sql.find("CAST(\"Flag\" AS INTEGER) <> 0"), std::string::npos);
    EXPECT_NE(sql->sql.find("NOT"), std::string::npos);
    ASSERT_EQ(sql->params.size(), 1u);
    EXPECT_EQ(std::get<double>(sql->params[0]), 3.0);
    EXPECT_TRUE(Decode(Build(m_ExprFields, "Count IS NULL OR Amount > 1"))->PushDown().has_value());
    // Texts are cut and compared by the engine's own rules; integers may be clipped on reading.
    EXPECT_FALSE(Decode(Build(m_ExprFields, "Flag AND Name = 'x'"))->PushDown().has_value());
    EXPECT_FALSE(Decode(Build(m_ExprFields, "Count = 1"))->PushDown().has_value());
    EXPECT_FALSE(Decode(Build(m_ExprFields, "Notes IS NULL"))->PushDown().has_value());
}

// ---- damaged buffers ----------------------------------------------------------------------------

class DamagedBufferTest : public FilterEvaluatorTest {
protected:
    std::vector<std::uint8_t> Good() {
        return Build(m_ExprFields, "(Flag=True) AND (Name='Sm*' OR Count IN (1, 2))");
    }

    static void SetWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
        std::memcpy(&b[at], &v, 2);
    }
    static void SetLong(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
        std::memcpy(&b[at], &v, 4);
    }
    void Refused(const std::vector<std::uint8_t>& buffer, const char* why) {
        SCOPED_TRACE(why);
        Decode(buffer, engine::esInvalidFilter);
        const auto entries = engine::Errors::Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.front().code, engine::esInvalidFilter);
    }
};

TEST_F(DamagedBufferTest, EveryTruncationIsRefused) {
    const std::vector<std::uint8_t> good = Good();
    Decode(good);
    for (std::size_t n = 0; n < good.size(); ++n)
        Refused(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)),
                "truncated");
}

TEST_F(DamagedBufferTest, HeaderThatDoesNotFit) {
    auto b = Good();
    SetWord(b, 0, 3);
    Refused(b, "version");
    b = Good();
    SetWord(b, 6, 4);
    Refused(b, "node area inside the header");
    b = Good();
    SetWord(b, 8, 9);
    Refused(b, "literal area before the node area");
    b = Good();
    SetWord(b, 8, static_cast<std::uint16_t>(b.size() + 1));
    Refused(b, "literal area past the end");
    b = Good();
    SetWord(b, 2, 9);
    Refused(b, "size below the header");
}

TEST_F(DamagedBufferTest, NodesThatDoNotDecode) {
    const std::size_t nodes = 10;
    auto b = Good();
    SetLong(b, nodes, 7);
    Refused(b, "unknown node class");
    b = Good();
    SetLong(b, nodes + 4, 12);
    Refused(b, "unknown operator");
    b = Good();
    SetWord(b, nodes + 8, 0);
    Refused(b, "the root is its own child");
    b = Good();
    SetWord(b, nodes + 10, 0xFFF0);
    Refused(b, "child outside the node area");
    // The first EQ's field node: field number 99 does not exist.
    b = Good();
    BufferView v(b);
    const std::uint16_t field = v.Operand(v.Operand(0, 0), 0);
    SetWord(b, nodes + field + 8, 99);
    Refused(b, "unknown field");
    b = Good();
    SetWord(b, nodes + field + 10, 0xFFF0);
    Refused(b, "field name outside the literals");
    // Its constant: a boolean of the wrong size, and a constant past the literal area.
    const std::uint16_t constant = v.Operand(v.Operand(0, 0), 1);
    b = Good();
    SetWord(b, nodes + constant + 10, 4);
    Refused(b, "constant of the wrong size");
    b = Good();
    SetWord(b, nodes + constant + 12, 0xFFF0);
    Refused(b, "constant outside the literals");
    b = Good();
    SetWord(b, nodes + constant + 8, 9);
    Refused(b, "constant type without a decoding");
}

TEST_F(DamagedBufferTest, NodesThatDoNotFitTogether) {
    // A field compared with a constant of another kind.
    auto b = Build(m_ExprFields, "Count = 1");
    BufferView v(b);
    std::memcpy(&b[10 + v.Operand(0, 1) + 8], "\x01\x00", 2);
    Refused(b, "number compared with text");
    // NOT over a number.
    b = Build(m_ExprFields, "NOT (Count = 1)");
    BufferView n(b);
    SetWord(b, 10 + 8, n.Operand(n.Operand(0, 0), 0));
    Refused(b, "NOT of a field that is not boolean");
    // A text constant without its zero byte.
    b = Build(m_ExprFields, "Name = 'abc'");
    BufferView t(b);
    b[b.size() - 1] = 'x';
    Refused(b, "text without its end");
    (void)t;
    // A function call.
    TFilterExpr call(m_ExprFields, {});
    TExprParser parser(call, "Upper(Name) = 'X'", true);
    Refused(parser.FilterData(), "function");
}

TEST_F(DamagedBufferTest, ListsThatLoopAreBounded) {
    auto b = Build(m_ExprFields, "Count IN (1, 2)");
    BufferView v(b);
    const std::uint16_t second = v.Operand(v.Operand(0, 1), 1);
    SetWord(b, 10 + second + 10, v.Operand(0, 1)); // the last element points back to the first
    Refused(b, "looping list");
    b = Build(m_ExprFields, "Count IN (1, 2)");
    SetWord(b, 10 + 10, 0);
    Refused(b, "IN without a list");
}

} // namespace
} // namespace ws::test
