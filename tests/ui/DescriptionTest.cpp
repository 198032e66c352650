#include "ui/Description.h"

#include "descriptions/MainWindowDescription.h"

#include <gtest/gtest.h>

namespace ws::test {
namespace {

const TPropAssignment* Find(const TDescObject& o, const std::string& path) {
    for (const TPropAssignment& a : o.Properties) {
        if (a.Path == path)
            return &a;
    }
    return nullptr;
}

TEST(DescriptionTest, MainWindowParsesWithItsNineChildrenInOrder) {
    const TDescObject form = ParseDescription(descriptions::MainWindow());
    EXPECT_EQ(form.Name, "ActiveJobsForm");
    EXPECT_EQ(form.ClassName, "TActiveJobsForm");
    EXPECT_EQ(Find(form, "Caption")->Value, TPropValue::String("Active Jobs"));
    EXPECT_EQ(Find(form, "Font.Height")->Value, TPropValue::Integer(-16));
    EXPECT_EQ(Find(form, "BorderIcons")->Value, TPropValue::Set({}));
    EXPECT_EQ(Find(form, "OldCreateOrder")->Value, TPropValue::Boolean(false));
    EXPECT_EQ(Find(form, "OnCreate")->Value, TPropValue::Ident("FormCreate"));

    std::vector<std::string> children;
    for (const TDescObject& c : form.Children)
        children.push_back(c.Name + ":" + c.ClassName);
    EXPECT_EQ(children, (std::vector<std::string>{
                            "HeaderLbl:TLabel", "JobsGrid:TwsDBGrid", "wsCheckBox1:TwsCheckBox",
                            "wsCheckBox2:TwsCheckBox", "RnRGrid:TwsDBGrid", "SpecialDateGrid:TwsDBGrid",
                            "LEDImages:TImageList", "Timer1:TTimer", "OneInstance1:TOneInstance"}));

    const TDescObject& grid = form.Children[1];
    EXPECT_EQ(Find(grid, "DataSource")->Value, TPropValue::Ident("JobsDM.JobsDS"));
    EXPECT_EQ(Find(grid, "Options")->Value.AsSet().size(), 6u);
    const std::vector<std::string> selected = Find(grid, "Selected.Strings")->Value.AsStringList();
    ASSERT_EQ(selected.size(), 7u);
    EXPECT_EQ(selected[0], "Name\t26\tName\tF");
    EXPECT_EQ(selected[2], "DueDate\t11\tDue Date\tF");
    EXPECT_EQ(selected[6], "GraveNo\t12\tGrave\tF");
    EXPECT_EQ(Find(form.Children[6], "Bitmap")->Value,
              TPropValue::Binary({0x0A, 0x0B, 0x0C, 0x0D, 0xFF, 0x00}));
    EXPECT_EQ(grid.Line, 40);
    EXPECT_EQ(Find(grid, "DataSource")->Line, 45);
    EXPECT_EQ(Find(grid, "DataSource")->Column, 5);
}

TEST(DescriptionTest, EveryValueFormReadsAsWritten) {
    const TDescObject o = ParseDescription(R"(OBJECT TUnnamed
  A = -2147483648
  B = $1FFFFFFF
  C = -$10
  D = 1.5
  E = -2.5E3
  F = 'It''s'#9'tab'#$41
  G = 'one ' +
      'two' +
    #233
  H = [ ]
  I = nil
  J = TRUE
  K = ( 'x' 12 ident [a] )
  L = <
    item
      Title = 'First'
    end
    item
    end>
  M = {}
  N = ''
end)");
    EXPECT_EQ(o.Name, "");
    EXPECT_EQ(o.ClassName, "TUnnamed");
    EXPECT_EQ(Find(o, "A")->Value, TPropValue::Integer(-2147483648LL));
    EXPECT_EQ(Find(o, "B")->Value, TPropValue::Integer(0x1FFFFFFF));
    EXPECT_EQ(Find(o, "C")->Value, TPropValue::Integer(-16));
    EXPECT_EQ(Find(o, "D")->Value, TPropValue::Float(1.5));
    EXPECT_EQ(Find(o, "E")->Value, TPropValue::Float(-2500.0));
    EXPECT_EQ(Find(o, "F")->Value, TPropValue::String("It's\ttabA"));
    EXPECT_EQ(Find(o, "G")->Value, TPropValue::String("one two\xC3\xA9"));
    EXPECT_EQ(Find(o, "H")->Value, TPropValue::Set({}));
    EXPECT_TRUE(Find(o, "I")->Value.IsNil());
    EXPECT_EQ(Find(o, "J")->Value, TPropValue::Boolean(true));
    EXPECT_EQ(Find(o, "K")->Value, TPropValue::List({TPropValue::String("x"), TPropValue::Integer(12),
                                                     TPropValue::Ident("ident"), TPropValue::Set({"a"})}));
    const auto& items = Find(o, "L")->Value.AsCollection();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].at(0).Path, "Title");
    EXPECT_TRUE(items[1].empty());
    EXPECT_EQ(Find(o, "M")->Value, TPropValue::Binary({}));
    EXPECT_EQ(Find(o, "N")->Value, TPropValue::String(""));
}

TEST(DescriptionTest, MalformedTextFailsWithLineAndColumn) {
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase cases[] = {
        {"", "Line 1, column 1: 'object' expected but the end of the text found"},
        {"object A: TA\n  Caption = 'open\nend", "Line 2, column 18: unterminated string"},
        {"object A: TA\n  Caption 'x'\nend",
         "Line 2, column 11: '=' expected after the property name but a string found"},
        {"object A: TA\n  Left = 1\n",
         "Line 3, column 1: property name, 'object' or 'end' expected but the end of the text found"},
        {"object A: TA\nend\nend", "Line 3, column 1: text follows the end of the root object"},
        {"object A: TA\n  object B: TB\n  end\n  Left = 1\nend",
         "Line 4, column 3: a property follows a nested object"},
        {"object A: TA\n  S = 'a'#0'b'\nend", "Line 2, column 12: invalid character code 0"},
        {"object A: TA\n  S = #55296\nend", "Line 2, column 13: invalid character code 55296"},
        {"object A: TA\n  S = #\nend", "Line 2, column 8: a character code must follow '#'"},
        {"object A: TA\n  B = {0A0}\nend",
         "Line 2, column 12: binary data has an odd number of hexadecimal digits"},
        {"object A: TA\n  B = {0G}\nend",
         "Line 2, column 10: binary data holds a character that is no hexadecimal digit"},
        {"object A: TA\n  S = 'a' +\nend", "Line 3, column 1: a string expected after '+' but 'end' found"},
        {"object A: TA\n  N = 99999999999999999999\nend",
         "Line 2, column 7: number 99999999999999999999 is out of range"},
        {"object A: TA\n  N = $12345678901234567\nend",
         "Line 2, column 24: hexadecimal number is out of range"},
        {"object A: TA\n  N = 1.2.3\nend", "Line 2, column 7: malformed number 1.2.3"},
        {"object A: TA\n  N = -x\nend", "Line 2, column 8: a number was expected"},
        {"object A: TA\n  @ = 1\nend", "Line 2, column 3: unexpected character '@'"},
        {"object A: TA\n  L = ('a' +)\nend", "Line 2, column 13: a string expected after '+' but ')' found"},
        {"object A: TA\n  L = ('a'", "Line 2, column 11: ')' expected to close the list"},
        {"object A: TA\n  S = [a, 1]\nend", "Line 2, column 11: a set member expected but a number found"},
        {"object A: TA\n  S = [a b]\nend", "Line 2, column 10: ']' expected to close the set but 'b' found"},
        {"object A: TA\n  D = Jobs.\nend", "Line 2, column 12: a name must follow the '.'"},
        {"object A: TA\n  C = <item end\nend", "Line 3, column 1: 'item' or '>' expected but 'end' found"},
        {"object A.B: TA\nend", "Line 1, column 8: a component name or class name expected but 'A.B' found"},
        {"object A:\nend", "Line 2, column 1: a class name expected but 'end' found"},
        {"object A: TA\n  X =\x01\nend", "Line 2, column 6: unexpected character code 1"},
    };
    for (const TCase& c : cases) {
        try {
            ParseDescription(c.Text);
            ADD_FAILURE() << "accepted: " << c.Text;
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Message(), c.Message) << c.Text;
        }
    }
}

TEST(DescriptionTest, NestingDeeperThanTheLimitIsRefused) {
    std::string deep;
    for (int i = 0; i <= MaxDescriptionDepth + 1; ++i)
        deep += "object A: TA\n";
    for (int i = 0; i <= MaxDescriptionDepth + 1; ++i)
        deep += "end\n";
    EXPECT_THROW(ParseDescription(deep), EParserError);

    std::string lists = "object A: TA\n X = " + std::string(10000, '(') + "\nend";
    try {
        ParseDescription(lists);
        ADD_FAILURE() << "deep lists accepted";
    } catch (const EParserError& e) {
        EXPECT_NE(e.Message().find("nested too deeply"), std::string::npos);
    }
}

} // namespace
} // namespace ws::test
