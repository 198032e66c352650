// Column strings and control-type strings: how tokens are read and how a line is written back.

#include "grid/ColumnStrings.h"

#include "base/Exception.h"
#include "grid/GridErrors.h"
#include "grid/wsDBGridOptions.h"

#include <gtest/gtest.h>
#include <string>

namespace ws::test {
namespace {

TEST(ColumnStrings, TokensBeyondTheLastAreEmptyAndTheLastRunsToTheEnd) {
    const std::string line = "Name\t26\tName\tF";
    EXPECT_EQ(LineToken(line, 1), "Name");
    EXPECT_EQ(LineToken(line, 4), "F");
    EXPECT_EQ(LineToken(line, 5), "");
    EXPECT_EQ(LineToken(line, 0), "");
    EXPECT_EQ(LineToken("a;b;c;d", 2, ';'), "b");
    EXPECT_EQ(LineTokenCount(line), 4);
    EXPECT_EQ(LineTokenCount(""), 1);
}

TEST(ColumnStrings, WriteBackKeepsFourTokensAndAtMostAGroupName) {
    // Two tokens: an empty title and the flag "F" appear.
    EXPECT_EQ(RebuildColumnLine("Name\t26", 23), "Name\t23\t\tF");
    // An empty flag is written as "F" too; "T" stays.
    EXPECT_EQ(RebuildColumnLine("Name\t26\tTitle\t", 9), "Name\t9\tTitle\tF");
    EXPECT_EQ(RebuildColumnLine("Name\t26\tTitle\tT", 9), "Name\t9\tTitle\tT");
    // A fifth token survives; a sixth is dropped.
    EXPECT_EQ(RebuildColumnLine("Name\t26\tTitle\tF\tGroup", 5), "Name\t5\tTitle\tF\tGroup");
    EXPECT_EQ(RebuildColumnLine("Name\t26\tTitle\tF\tGroup\tExtra", 5), "Name\t5\tTitle\tF\tGroup");
    // An empty fifth token is not written.
    EXPECT_EQ(RebuildColumnLine("Name\t26\tTitle\tF\t", 5), "Name\t5\tTitle\tF");
}

TEST(ColumnStrings, AWidthTokenMustExistAndBeAnInteger) {
    EXPECT_EQ(ColumnLineWidth("Name\t26\tName\tF"), 26);
    try {
        ColumnLineWidth("Name");
        ADD_FAILURE() << "no error for a line without a width";
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    try {
        ColumnLineWidth("Name\twide\tName");
        ADD_FAILURE() << "no error for a width that is not a number";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'wide' is not a valid integer value");
    }
}

TEST(ColumnStrings, ControlKindsAndTheirParameters) {
    EXPECT_TRUE(IsCustomControlKind("CustomEdit"));
    EXPECT_TRUE(IsCustomControlKind("customedit"));
    EXPECT_TRUE(IsCustomControlKind("RICHEDIT"));
    EXPECT_FALSE(IsCustomControlKind("CheckBox"));
    EXPECT_FALSE(IsCustomControlKind(""));
    EXPECT_EQ(ControlTypeParams("Invoiced;CustomEdit;wsCheckBox2;F"), "wsCheckBox2;F");
    EXPECT_EQ(ControlTypeParams("Invoiced;CustomEdit"), "");
    const std::string longLine = "F;CustomEdit;" + std::string(300, 'x');
    EXPECT_EQ(ControlTypeParams(longLine).size(), 255u);
}

TEST(GridOptions, StoredSetsKeepTheirBitPositions) {
    ASSERT_EQ(DBGridOptionIdents().size(), 30u);
    EXPECT_EQ(TwsDBGridOptions{TwsDBGridOption::dgEditing}.Bits(), 1u);
    EXPECT_EQ(TwsDBGridOptions{TwsDBGridOption::dgWordWrap}.Bits(), 1u << 12);
    EXPECT_EQ(TwsDBGridOptions{TwsDBGridOption::dgProportionalColResize}.Bits(), 1u << 23);
    EXPECT_EQ(TwsDBGridOptions{TwsDBGridOption::dgDblClickColSizing}.Bits(), 1u << 29);
    EXPECT_EQ(DBGridOptionIdents()[23], "dgProportionalColResize");
    EXPECT_EQ(DBGridOptionIdents()[29], "dgDblClickColSizing");
    EXPECT_EQ(EditControlOptionIdents()[1], "ecoSearchOwnerForm");
}

} // namespace
} // namespace ws::test
