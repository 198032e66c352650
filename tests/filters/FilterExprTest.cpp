// The expression buffers the builder writes: the three board filters byte for byte, compare nodes,
// lists, every constant encoding and the lookup filter of Locate.
#include "FilterTestSupport.h"
#include "base/Convert.h"
#include "base/DateTime.h"
#include "base/Exception.h"
#include "base/Locale.h"
#include "data/DBError.h"

#include <cstring>
#include <gtest/gtest.h>

namespace ws::test {
namespace {

// Little-endian bytes written the way the expected buffers are spelled out below.
class Bytes {
public:
    Bytes& W(std::uint16_t v) { return Put(&v, 2); }
    Bytes& L(std::uint32_t v) { return Put(&v, 4); }
    Bytes& D(double v) { return Put(&v, 8); }
    Bytes& S(const std::string& s) { return Put(s.c_str(), s.size() + 1); }
    Bytes& Header(std::uint16_t total, std::uint16_t literals) {
        return W(2).W(total).W(0xFFFF).W(10).W(literals);
    }
    Bytes& Binary(std::uint32_t op, std::uint16_t l, std::uint16_t r) { return L(2).L(op).W(l).W(r); }
    Bytes& Field(std::uint16_t no, std::uint16_t lit) { return L(4).L(13).W(no).W(lit); }
    Bytes& Const(std::uint16_t type, std::uint16_t size, std::uint16_t lit) {
        return L(5).L(14).W(type).W(size).W(lit);
    }
    const std::vector<std::uint8_t>& Get() const { return m_Bytes; }

private:
    Bytes& Put(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        m_Bytes.insert(m_Bytes.end(), b, b + n);
        return *this;
    }
    std::vector<std::uint8_t> m_Bytes;
};

constexpr std::uint32_t kEQ = 3, kNE = 4, kGT = 5, kNOT = 9, kAND = 10;

TEST(BoardFilterBuffers, EngineFieldNumbersOfOrderHead) {
    const SchemaTable& t = OrderHeadTable();
    EXPECT_EQ(t.FieldNo("DateOffSet"), 10);
    EXPECT_EQ(t.FieldNo("Invoiced"), 44);
    EXPECT_EQ(t.FieldNo("IsJewish"), 122);
    EXPECT_EQ(t.FieldNo("IsInterment"), 123);
    EXPECT_EQ(t.FieldNo("IsActive"), 124);
}

TEST(BoardFilterBuffers, ActiveJewishJobs) {
    Bytes expected;
    expected.Header(120, 98)
        .Binary(kAND, 12, 50)
        .Binary(kEQ, 24, 36)
        .Field(124, 0)
        .Const(4, 2, 9)
        .Binary(kEQ, 62, 74)
        .Field(122, 11)
        .Const(4, 2, 20)
        .S("IsActive")
        .W(1)
        .S("isJewish")
        .W(1);
    EXPECT_EQ(Build(OrderHeadFields(), "(IsActive=True) AND (isJewish=True)"), expected.Get());
}

TEST(BoardFilterBuffers, SpecialDateJobs) {
    Bytes expected;
    expected.Header(128, 98)
        .Binary(kAND, 12, 50)
        .Binary(kEQ, 24, 36)
        .Field(10, 0)
        .Const(7, 8, 11)
        .Binary(kEQ, 62, 74)
        .Field(124, 19)
        .Const(4, 2, 28)
        .S("DateOffSet")
        .D(3.0)
        .S("IsActive")
        .W(1);
    EXPECT_EQ(Build(OrderHeadFields(), "(DateOffSet=3) AND (IsActive=True)"), expected.Get());
}

TEST(BoardFilterBuffers, IntermentJobsNotInvoiced) {
    Bytes expected;
    expected.Header(194, 158)
        .Binary(kAND, 12, 110)
        .Binary(kAND, 24, 62)
        .Binary(kEQ, 36, 48)
        .Field(124, 0)
        .Const(4, 2, 9)
        .L(1)
        .L(kNOT)
        .W(72)
        .Binary(kNE, 84, 96)
        .Field(44, 11)
        .Const(4, 2, 20)
        .Binary(kEQ, 122, 134)
        .Field(123, 22)
        .Const(4, 2, 34)
        .S("IsActive")
        .W(1)
        .S("Invoiced")
        .W(0)
        .S("IsInterment")
        .W(1);
    EXPECT_EQ(Build(OrderHeadFields(), "(IsActive=True) AND NOT(Invoiced) AND (IsInterment=True)"),
              expected.Get());
}

TEST(BooleanFieldRule, BareBooleanFieldMeansNotFalse) {
    Bytes expected;
    expected.Header(59, 48).Binary(kNE, 12, 24).Field(44, 0).Const(4, 2, 9).S("Invoiced").W(0);
    EXPECT_EQ(Build(OrderHeadFields(), "Invoiced"), expected.Get());
    // Under a comparison or IN the field is a plain operand.
    BufferView in(Build(TypedFields(), "Flag IN (True)"));
    EXPECT_EQ(in.Class(0), 2u);
    EXPECT_EQ(in.Class(in.Operand(0, 0)), 4u);
}

TEST(Comparisons, ConstantOnTheLeftIsExchangedAndMirrored) {
    const TExprFields fields = OrderHeadFields();
    EXPECT_EQ(Build(fields, "3=DateOffSet"), Build(fields, "DateOffSet = 3"));
    EXPECT_EQ(Build(fields, "3<DateOffSet"), Build(fields, "DateOffSet > 3"));
    EXPECT_EQ(Build(fields, "3>=DateOffSet"), Build(fields, "DateOffSet <= 3"));
    BufferView view(Build(fields, "3<DateOffSet"));
    EXPECT_EQ(view.Op(0), kGT);
}

TEST(Comparisons, NullBecomesBlankTests) {
    BufferView isBlank(Build(TypedFields(), "Name = NULL"));
    EXPECT_EQ(isBlank.Class(0), 1u);
    EXPECT_EQ(isBlank.Op(0), 1u);
    EXPECT_EQ(isBlank.Class(isBlank.Operand(0, 0)), 4u);
    EXPECT_EQ(Build(TypedFields(), "NULL = Name"), isBlank.Bytes());
    BufferView notBlank(Build(TypedFields(), "Name <> NULL"));
    EXPECT_EQ(notBlank.Op(0), 2u);
    EXPECT_EQ(Build(TypedFields(), "Name IS NULL"), isBlank.Bytes());
    EXPECT_EQ(Build(TypedFields(), "Name is  not   null"), notBlank.Bytes());
}

struct CompareNode {
    std::uint32_t nodeClass;
    std::uint16_t caseInsensitive;
    std::uint16_t partial;
    std::string text;
};

CompareNode ReadCompare(const std::vector<std::uint8_t>& bytes) {
    BufferView v(bytes);
    if (v.Class(0) != 3)
        return {v.Class(0), 0, 0, v.Text(v.Operand(v.Operand(0, 1), 2))};
    return {3, v.Operand(0, 0), v.Operand(0, 1), v.Text(v.Operand(v.Operand(0, 3), 2))};
}

TEST(TextComparisons, TrailingStarIsAPrefixMatchUnlessSwitchedOff) {
    const TExprFields fields = TypedFields();
    CompareNode prefix = ReadCompare(Build(fields, "Name='Sm*'"));
    EXPECT_EQ(prefix.nodeClass, 3u);
    EXPECT_EQ(prefix.caseInsensitive, 0);
    EXPECT_EQ(prefix.partial, 2);
    EXPECT_EQ(prefix.text, "Sm");

    CompareNode literal = ReadCompare(Build(fields, "Name='Sm*'", {false, true}));
    EXPECT_EQ(literal.nodeClass, 2u);
    EXPECT_EQ(literal.text, "Sm*");

    CompareNode star = ReadCompare(Build(fields, "Name='*'"));
    EXPECT_EQ(star.nodeClass, 2u);
    EXPECT_EQ(star.text, "*");

    CompareNode empty = ReadCompare(Build(fields, "Name=''", {true, false}));
    EXPECT_EQ(empty.nodeClass, 2u);

    // Only =, <> and LIKE compare prefixes; > keeps the star as text.
    BufferView greater(Build(fields, "Name > 'Sm*'"));
    EXPECT_EQ(greater.Class(0), 2u);
    EXPECT_EQ(greater.Text(greater.Operand(greater.Operand(0, 1), 2)), "Sm*");
}

TEST(TextComparisons, CaseInsensitiveOptionMakesCompareNodes) {
    const TExprFields fields = TypedFields();
    CompareNode ci = ReadCompare(Build(fields, "Name <> 'smith'", {true, false}));
    EXPECT_EQ(ci.nodeClass, 3u);
    EXPECT_EQ(ci.caseInsensitive, 1);
    EXPECT_EQ(ci.partial, 0);
    EXPECT_EQ(ci.text, "smith");
    BufferView like(Build(fields, "Name LIKE 'sm%*'", {true, false}));
    EXPECT_EQ(like.Class(0), 3u);
    EXPECT_EQ(like.Op(0), 30u);
    EXPECT_EQ(like.Operand(0, 1), 3);
    // The compare node's constant is sized for the text it now holds.
    EXPECT_EQ(like.Operand(like.Operand(0, 3), 1), 4);
}

TEST(Lists, ElementNodesFollowTheEntriesTheyReferTo) {
    BufferView v(Build(TypedFields(), "Count IN (1, 2, 3)"));
    EXPECT_EQ(v.Op(0), 31u);
    EXPECT_EQ(v.Operand(0, 0), 12);
    const std::uint16_t first = v.Operand(0, 1);
    EXPECT_EQ(first, 24);
    EXPECT_EQ(v.Class(first), 11u);
    EXPECT_EQ(v.Operand(first, 0), 36); // the first entry comes after its element node
    const std::uint16_t second = v.Operand(first, 1);
    EXPECT_EQ(second, 64); // second entry at 50, then its element node
    EXPECT_EQ(v.Operand(second, 0), 50);
    const std::uint16_t third = v.Operand(second, 1);
    EXPECT_EQ(third, 90);
    EXPECT_EQ(v.Operand(third, 0), 76);
    EXPECT_EQ(v.Operand(third, 1), 0);
    EXPECT_EQ(v.NodeArea(), 102u);
    EXPECT_EQ(v.Literal<std::int32_t>(v.Operand(76, 2)), 3);
}

// The constant node under the root's right operand: engine type code, size and value bytes.
struct Encoded {
    std::uint16_t type;
    std::uint16_t size;
    std::vector<std::uint8_t> value;
};

Encoded RightConstant(const std::string& text) {
    BufferView v(Build(TypedFields(), text));
    const std::uint16_t c = v.Operand(0, 1);
    const std::uint16_t size = v.Operand(c, 1);
    const auto* at = v.Bytes().data() + v.HeaderWord(4) + v.Operand(c, 2);
    return {v.Operand(c, 0), size, std::vector<std::uint8_t>(at, at + size)};
}

template <class T>
std::vector<std::uint8_t> ValueBytes(T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

TEST(Constants, EncodedByTheFieldTheyAreComparedWith) {
    TScopedFormatSettings british(DefaultFormatSettings());
    const std::int32_t christmas = DateToDayNumber(EncodeDate(2026, 12, 25));
    const struct {
        const char* text;
        std::uint16_t type;
        std::vector<std::uint8_t> value;
    } cases[] = {
        {"Small = -5", 5, ValueBytes<std::int16_t>(-5)},
        {"Unsigned = 65535", 12, ValueBytes<std::uint16_t>(65535)},
        {"Id = 70000", 6, ValueBytes<std::int32_t>(70000)},
        {"Money = 2.5", 7, ValueBytes(2.5)},
        {"Day = '25/12/2026'", 2, ValueBytes(christmas)},
        {"Clock = '10:30:05'", 10, ValueBytes<std::int32_t>(37'805'000)},
        {"Stamp > '25/12/2026 10:30'", 11, ValueBytes(christmas * 86'400'000.0 + 37'800'000.0)},
        {"Flag = 'false'", 4, ValueBytes<std::uint16_t>(0)},
        {"Name = True", 1, {'1', 0}},
    };
    for (const auto& c : cases) {
        const Encoded e = RightConstant(c.text);
        EXPECT_EQ(e.type, c.type) << c.text;
        EXPECT_EQ(e.size, c.value.size()) << c.text;
        EXPECT_EQ(e.value, c.value) << c.text;
    }
}

TEST(Constants, LongTextIsCutTo255Characters) {
    const std::string longText(300, 'x');
    BufferView v(Build(TypedFields(), "Name = '" + longText + "'"));
    const std::uint16_t c = v.Operand(0, 1);
    EXPECT_EQ(v.Operand(c, 1), 256);
    EXPECT_EQ(v.Text(v.Operand(c, 2)), std::string(255, 'x'));

    // Characters, not bytes: 300 euro signs (3 bytes each) keep 255 whole ones.
    std::string euros;
    for (int i = 0; i < 300; ++i)
        euros += "\u20AC";
    BufferView e(Build(TypedFields(), "Name = '" + euros + "'"));
    const std::uint16_t ec = e.Operand(0, 1);
    EXPECT_EQ(e.Operand(ec, 1), 3 * 255 + 1);
    EXPECT_EQ(e.Text(e.Operand(ec, 2)), euros.substr(0, 3 * 255));
    // A prefix compares the bytes of the whole characters it has.
    CompareNode prefix = ReadCompare(Build(TypedFields(), "Name = '" + euros.substr(0, 3 * 200) + "*'"));
    EXPECT_EQ(prefix.text, euros.substr(0, 3 * 200));
    EXPECT_EQ(prefix.partial, 3 * 200);
}

TEST(Constants, OutOfRangeAndUnsupportedTypesAreRefused) {
    const TExprFields fields = TypedFields();
    const auto message = [&](const std::string& text) {
        try {
            Build(fields, text);
        } catch (const Exception& e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message("Small = 32768"), "EDatabaseError: Constant out of range");
    EXPECT_EQ(message("Small = -32769"), "EDatabaseError: Constant out of range");
    EXPECT_EQ(message("Unsigned = -1"), "EDatabaseError: Constant out of range");
    EXPECT_EQ(message("Small = -32768"), "accepted");
    EXPECT_EQ(message("Big = 1"), "EDatabaseError: Constant is not correct type LargeInt");
    EXPECT_EQ(message("Dec = 1"), "EDatabaseError: Constant is not correct type BCD");
    EXPECT_EQ(message("Amount = 'abc'"), "EConvertError: 'abc' is not a valid floating point value");
    EXPECT_EQ(message("Count = 2.5"), "EConvertError: '2.5' is not a valid integer value");
    EXPECT_EQ(message("Day = 'soon'"), "EConvertError: 'soon' is not a valid date");
    EXPECT_EQ(message("Flag = 'perhaps'"), "EConvertError: 'perhaps' is not a valid boolean value");
}

TEST(Constants, DecimalCommaLocale) {
    TFormatSettings settings = DefaultFormatSettings();
    settings.DecimalSeparator = ',';
    TScopedFormatSettings comma(settings);
    BufferView v(Build(TypedFields(), "Amount = 2,5"));
    EXPECT_EQ(v.Literal<double>(v.Operand(v.Operand(0, 1), 2)), 2.5);
    // "1, 2" is two numbers: the trailing comma before a space is given back.
    BufferView list(Build(TypedFields(), "Amount IN (1, 2,5)"));
    const std::uint16_t second = list.Operand(list.Operand(0, 1), 1);
    EXPECT_EQ(list.Literal<double>(list.Operand(list.Operand(second, 0), 2)), 2.5);
}

TEST(Limits, BufferThatWouldOverflowItsOffsetsIsRefused) {
    std::string text = "Name IN (";
    for (int i = 0; i < 300; ++i)
        text += (i ? ", '" : "'") + std::string(250, 'a' + i % 26) + "'";
    text += ")";
    try {
        Build(TypedFields(), text);
        FAIL() << "accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Filter expression is too complex");
    }
}

TEST(LookupFilter, EqualNodesJoinedFromTheLeft) {
    const TExprFields fields = TypedFields();
    const std::vector<const TExprField*> keys = {fields.Find("name"), fields.Find("count"),
                                                 fields.Find("flag")};
    BufferView v(TFilterExpr::BuildLookup(fields, keys, {"Sm*", "7", "True"}, false, false));
    EXPECT_EQ(v.Op(0), kAND);
    const std::uint16_t inner = v.Operand(0, 0);
    EXPECT_EQ(v.Op(inner), kAND);
    const std::uint16_t name = v.Operand(inner, 0);
    EXPECT_EQ(v.Class(name), 2u); // the star is taken literally
    EXPECT_EQ(v.Text(v.Operand(v.Operand(name, 0), 1)), "Name");
    EXPECT_EQ(v.Text(v.Operand(v.Operand(name, 1), 2)), "Sm*");
    const std::uint16_t count = v.Operand(inner, 1);
    EXPECT_EQ(v.Literal<std::int32_t>(v.Operand(v.Operand(count, 1), 2)), 7);
    const std::uint16_t flag = v.Operand(0, 1);
    EXPECT_EQ(v.Op(flag), kEQ);
    EXPECT_EQ(v.LiteralWord(v.Operand(v.Operand(flag, 1), 2)), 1);
}

TEST(LookupFilter, PartialKeyAndCaseOptions) {
    const TExprFields fields = TypedFields();
    const std::vector<const TExprField*> keys = {fields.Find("Name")};
    CompareNode partial = ReadCompare(TFilterExpr::BuildLookup(fields, keys, {"Sm*"}, false, true));
    EXPECT_EQ(partial.nodeClass, 3u);
    EXPECT_EQ(partial.partial, 3);
    EXPECT_EQ(partial.text, "Sm*");
    CompareNode ci = ReadCompare(TFilterExpr::BuildLookup(fields, keys, {"smith"}, true, false));
    EXPECT_EQ(ci.caseInsensitive, 1);
    EXPECT_EQ(ci.partial, 0);
    EXPECT_THROW(TFilterExpr::BuildLookup(fields, keys, {"a", "b"}, false, false), EDatabaseError);
}

} // namespace
} // namespace ws::test
