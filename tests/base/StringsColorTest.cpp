#include "base/Color.h"
#include "base/Strings.h"

#include <gtest/gtest.h>

using namespace ws;

TEST(Strings, CaseInsensitiveNamesButExactValues) {
    EXPECT_TRUE(SameText("isJewish", "IsJewish"));
    EXPECT_FALSE(SameText("Band 1", "Band 1 "));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    EXPECT_EQ(Split("a\tb\t\tc", '\t'), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(Trim("  x y \t"), "x y");
    EXPECT_EQ(Format("%s: %s", "JobsTable", "msg"), "JobsTable: msg");
}

TEST(Color, HexFormAndSystemColors) {
    EXPECT_EQ(ColorToHex(clWindow), "$FF000005");
    EXPECT_EQ(ColorToHex(clNone), "$1FFFFFFF");
    EXPECT_EQ(ColorToHex(clRed), "$000000FF");
    EXPECT_TRUE(IsSystemColor(clBtnFace));
    EXPECT_FALSE(IsSystemColor(clNone));
    EXPECT_FALSE(IsSystemColor(clSkyBlue));
}
