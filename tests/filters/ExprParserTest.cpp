// The filter language as a view accepts it: scanning, precedence, typing, and every message.
#include "FilterTestSupport.h"
#include "base/Exception.h"
#include "data/DBError.h"

#include <gtest/gtest.h>

namespace ws::test {
namespace {

constexpr std::uint32_t kEQ = 3, kNOT = 9, kAND = 10, kOR = 11;

// The message a text fails with against the fields, or "accepted".
std::string Outcome(const std::string& text, const TExprFields& fields = TypedFields()) {
    try {
        Build(fields, text);
        return "accepted";
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
}

// The text of the constant under the root's right operand.
std::string RightText(const std::string& filter) {
    BufferView v(Build(TypedFields(), filter));
    return v.Text(v.Operand(v.Operand(0, 1), 2));
}

TEST(Scanning, KeywordsWordsAndFieldNamesIgnoreCase) {
    const TExprFields fields = OrderHeadFields();
    BufferView lower(Build(fields, "isactive=TRUE"));
    BufferView mixed(Build(fields, "IsActive=True"));
    EXPECT_EQ(lower.Operand(lower.Operand(0, 0), 0), 124);
    // The literal keeps the name as written; everything else is the same.
    EXPECT_EQ(lower.Text(0), "isactive");
    EXPECT_EQ(lower.Bytes().size(), mixed.Bytes().size());
    EXPECT_EQ(Build(fields, "(IsActive=True) and not (Invoiced)"),
              Build(fields, "(IsActive=True) AND NOT(Invoiced)"));
}

TEST(Scanning, BracketedNameIsAlwaysAField) {
    BufferView field(Build(TypedFields(), "[True]=1"));
    EXPECT_EQ(field.Operand(field.Operand(0, 0), 0), 16);
    BufferView constant(Build(TypedFields(), "Flag=True"));
    EXPECT_EQ(constant.Operand(constant.Operand(0, 0), 0), 5);
    EXPECT_EQ(constant.LiteralWord(constant.Operand(constant.Operand(0, 1), 2)), 1);
    EXPECT_EQ(Outcome("[Count IN (1)"), "Unterminated field name");
}

TEST(Scanning, QuotesInsideTextLiterals) {
    EXPECT_EQ(RightText("Name='O''Brien'"), "O'Brien");
    // A lone quote followed by a plain word belongs to the text.
    EXPECT_EQ(RightText("Name='O'Brien'"), "O'Brien");
    // ... but a keyword after it shows that it closed the literal.
    BufferView both(Build(TypedFields(), "(Name='a') or (Name='b')"));
    EXPECT_EQ(both.Op(0), kOR);
    BufferView grouped(Build(TypedFields(), "Name='a' AND Name='it''s'"));
    EXPECT_EQ(grouped.Text(grouped.Operand(grouped.Operand(grouped.Operand(0, 1), 1), 2)), "it's");
    EXPECT_EQ(Outcome("Name='abc"), "Unterminated string constant");
    EXPECT_EQ(Outcome(std::string("Name='a\0b'", 11)), "Unterminated string constant");
}

TEST(Scanning, CommentsAndStrayCharacters) {
    EXPECT_EQ(Outcome("/* active only */ Flag"), "accepted");
    EXPECT_EQ(Outcome("/* a * b */ Flag"), "Invalid filter expression character: ' '");
    EXPECT_EQ(Outcome("Name = 'a' ;"), "Invalid filter expression character: ';'");
    EXPECT_EQ(Outcome("Count = #3"), "Invalid filter expression character: '#'");
    EXPECT_EQ(Outcome("\t Flag \r\n"), "accepted");
}

TEST(Scanning, IsMustBeFollowedByNullOrNotNull) {
    EXPECT_EQ(Outcome("Name IS EMPTY"), "Invalid use of keyword");
    EXPECT_EQ(Outcome("Name IS NOT EMPTY"), "Invalid use of keyword");
    EXPECT_EQ(Outcome("Name is Null"), "accepted");
}

TEST(Scanning, MinusAfterAnOperandIsSubtraction) {
    EXPECT_EQ(Outcome("Count=-1"), "accepted");
    EXPECT_EQ(Outcome("Count -1 = 2"), "Arithmetic in filter expressions not supported");
    EXPECT_EQ(Outcome("DateOffSet+1=4", OrderHeadFields()), "Arithmetic in filter expressions not supported");
    EXPECT_EQ(Outcome("Amount * 2 = 4"), "Arithmetic in filter expressions not supported");
    EXPECT_EQ(Outcome("Amount / 2 = 4"), "Arithmetic in filter expressions not supported");
}

TEST(Grammar, PrecedenceAndAssociation) {
    // NOT binds tighter than AND and looser than a comparison.
    BufferView notEq(Build(TypedFields(), "NOT Count = 1"));
    EXPECT_EQ(notEq.Op(0), kNOT);
    EXPECT_EQ(notEq.Op(notEq.Operand(0, 0)), kEQ);
    BufferView mixed(Build(TypedFields(), "Flag OR Count = 1 AND Amount = 2"));
    EXPECT_EQ(mixed.Op(0), kOR);
    EXPECT_EQ(mixed.Op(mixed.Operand(0, 1)), kAND);
    // A second NOT is a field name.
    EXPECT_EQ(Outcome("NOT NOT Flag"), "Typed: Field 'NOT' not found");
}

TEST(Grammar, ParenthesesAndTermination) {
    const TExprFields fields = OrderHeadFields();
    EXPECT_EQ(Outcome("(IsActive=True", fields), "')' expected but nothing found");
    EXPECT_EQ(Outcome("(IsActive=True Flag", fields), "')' expected but 'Flag' found");
    EXPECT_EQ(Outcome("IsActive=True)", fields), "Filter expression incorrectly terminated");
    EXPECT_EQ(Outcome("Flag AND"), "Expression expected but nothing found");
    EXPECT_EQ(Outcome("= 3"), "Expression expected but '=' found");
    EXPECT_EQ(Outcome(""), "Expression expected but nothing found");
}

TEST(Grammar, InLists) {
    EXPECT_EQ(Outcome("Count IN 1"), "'(' expected but '1' found");
    EXPECT_EQ(Outcome("Count IN ()"), "IN predicate list may not be empty");
    EXPECT_EQ(Outcome("Count IN (1 2)"), "')' or ',' expected but '2' found");
    EXPECT_EQ(Outcome("Count IN (1, 2"), "')' expected but nothing found");
    EXPECT_EQ(Outcome("Name IN ('a', 'b') AND Count IN (3)"), "accepted");
}

TEST(Typing, FieldsMustExistAndBeStored) {
    const TExprFields fields = OrderHeadFields();
    EXPECT_EQ(Outcome("Nowhere = 1", fields), "JobsTable: Field 'Nowhere' not found");
    EXPECT_EQ(Outcome("Memorial = 'x'", fields), "Field 'Memorial' cannot be used in a filter expression");
    TExprFields unnamed = fields;
    unnamed.ViewName.clear();
    EXPECT_EQ(Outcome("Nowhere = 1", unnamed), "Field 'Nowhere' not found");
}

TEST(Typing, WholeExpressionMustBeACondition) {
    const TExprFields fields = OrderHeadFields();
    EXPECT_EQ(Outcome("DateOffSet", fields), "Incorrectly formed filter expression");
    EXPECT_EQ(Outcome("Invoiced", fields), "accepted");
    EXPECT_EQ(Outcome("'text'"), "Incorrectly formed filter expression");
    EXPECT_EQ(Outcome("True"), "Incorrectly formed filter expression");
    // AND, OR and NOT combine conditions only.
    EXPECT_EQ(Outcome("DateOffSet AND IsActive", fields), "Incorrectly formed filter expression");
    EXPECT_EQ(Outcome("NOT Amount"), "Incorrectly formed filter expression");
}

TEST(Typing, BlobsAndBytesOnlyTestForAValue) {
    EXPECT_EQ(Outcome("Notes IS NULL"), "accepted");
    EXPECT_EQ(Outcome("Raw IS NOT NULL"), "accepted");
    EXPECT_EQ(Outcome("Notes LIKE '%stone%'"), "accepted");
    EXPECT_EQ(Outcome("Notes = 'x'"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Raw LIKE 'x'"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Name LIKE Notes"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Count IN (Notes)"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Notes"), "Type mismatch in expression");
    // The memo's LIKE constant is text.
    BufferView like(Build(TypedFields(), "Notes LIKE 'a'"));
    EXPECT_EQ(like.Operand(like.Operand(0, 1), 0), 1);
}

TEST(Typing, OperandsOfDifferentKindsDoNotCompare) {
    EXPECT_EQ(Outcome("Name > Count"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Day = Amount"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("1 = 'one'"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Count LIKE 5"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Count IN (1, Name)"), "Type mismatch in expression");
    EXPECT_EQ(Outcome("Flag = Count AND Small < Amount AND Name <> Name"), "accepted");
}

TEST(Limits, NestingDeeperThanTheEngineWalksIsRefused) {
    std::string chain = "Flag";
    for (int i = 0; i < 150; ++i)
        chain += " AND Count = " + std::to_string(i);
    EXPECT_EQ(Outcome(chain), "accepted");
    for (int i = 0; i < 60; ++i)
        chain += " OR Flag";
    EXPECT_EQ(Outcome(chain), "Filter expression is too complex");
    EXPECT_EQ(Outcome(std::string(5000, '(') + "Flag" + std::string(5000, ')')),
              "Filter expression is too complex");
    std::string lists = "Count";
    for (int i = 0; i < 5000; ++i)
        lists += " IN (Count";
    EXPECT_EQ(Outcome(lists), "Filter expression is too complex");
}

TEST(Typing, NullOnlyWithEqualAndNotEqual) {
    EXPECT_EQ(Outcome("Name LIKE NULL"), "NULL only allowed with '=' and '<>'");
    EXPECT_EQ(Outcome("Count > NULL"), "NULL only allowed with '=' and '<>'");
    EXPECT_EQ(Outcome("Count IN (1, NULL)"), "NULL only allowed with '=' and '<>'");
}

TEST(ExtendedSyntax, ArithmeticAndFunctionsWhenSwitchedOn) {
    const TExprFields fields = TypedFields();
    TFilterExpr sum(fields, {});
    TExprParser parser(sum, "Amount + 1 > 2", true);
    BufferView v(parser.FilterData());
    EXPECT_EQ(v.Op(0), 5u);
    EXPECT_EQ(v.Op(v.Operand(0, 0)), 16u);

    TFilterExpr call(fields, {});
    TExprParser withFunction(call, "Upper(Name) = 'X'", true);
    BufferView f(withFunction.FilterData());
    const std::uint16_t function = f.Operand(0, 0);
    EXPECT_EQ(f.Class(function), 10u);
    EXPECT_EQ(f.Text(f.Operand(function, 0)), "Upper");
    EXPECT_EQ(f.Class(f.Operand(function, 1)), 11u);
}

} // namespace
} // namespace ws::test
