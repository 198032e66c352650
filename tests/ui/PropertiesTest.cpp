#include "ui/ComponentRef.h"
#include "ui/ComponentRoots.h"
#include "ui/FakeComponents.h"
#include "ui/PropertiesBuilder.h"

#include <gtest/gtest.h>

namespace ws::test {
namespace {

// Runs `action` and returns the message of the EPropertyError it must raise.
template <class F>
std::string PropertyError(F action) {
    try {
        action();
    } catch (const EPropertyError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no EPropertyError";
    return {};
}

// A class that refers to its own kind, as a chain of linked components does.
class TChainLink : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    TComponentRef<TChainLink> Next{this};
};

const TClassInfo& TChainLink::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TChainLink>("TChainLink", TComponent::StaticClassInfo())
                                       .Reference<TChainLink>(
                                           "Next", [](const TChainLink& c) { return c.Next.Get(); },
                                           [](TChainLink& c, TChainLink* n) { c.Next.Set(n); })
                                       .Build();
    return info;
}

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Journal().clear();
        m_Form.reset(new TFakeMainForm(nullptr));
        m_Form->SetName("Form");
        m_Grid = new TFakeGrid(m_Form.get());
        m_Grid->SetName("JobsGrid");
        m_Source = new TFakeDataSource(m_Form.get());
        m_Source->SetName("JobsDS");
        m_Timer = new TFakeTimer(m_Form.get());
        m_Timer->SetName("Timer1");
    }

    TComponentPtr<TFakeMainForm> m_Form;
    TFakeGrid* m_Grid = nullptr;
    TFakeDataSource* m_Source = nullptr;
    TFakeTimer* m_Timer = nullptr;
};

TEST_F(PropertiesTest, NestedAndPlainPropertiesReadAndWriteByName) {
    SetPropValue(*m_Grid, "Font.Height", TPropValue::Integer(-19));
    SetPropValue(*m_Grid, "titlefont.style", TPropValue::Set({"FSBOLD"}));
    SetPropValue(*m_Grid, "TitleFont.Color", TPropValue::Ident("clblue"));
    SetPropValue(*m_Grid, "Font.Color", TPropValue::Integer(0xFF000008)); // bit pattern of a system colour
    SetPropValue(*m_Grid, "TitleAlignment", TPropValue::Ident("TACENTER"));
    SetPropValue(*m_Grid, "Options", TPropValue::Set({"dgTitles", "dgrowlines"}));
    SetPropValue(*m_Grid, "Ratio", TPropValue::Integer(2));
    SetPropValue(*m_Grid, "ReadOnly", TPropValue::Boolean(true));

    EXPECT_EQ(m_Grid->Font.Height, -19);
    EXPECT_TRUE(m_Grid->TitleFont.Style.Contains(TFontStyle::fsBold));
    EXPECT_EQ(m_Grid->TitleFont.Color, clBlue);
    EXPECT_EQ(m_Grid->Font.Color, clWindowText);
    EXPECT_EQ(m_Grid->TitleAlignment, TAlignment::taCenter);
    EXPECT_EQ(m_Grid->Options, (TEnumSet<TGridOption>{TGridOption::dgTitles, TGridOption::dgRowLines}));
    EXPECT_DOUBLE_EQ(m_Grid->Ratio, 2.0);

    // Reading gives the declared spellings back.
    EXPECT_EQ(GetPropValue(*m_Grid, "FONT.HEIGHT"), TPropValue::Integer(-19));
    EXPECT_EQ(GetPropValue(*m_Grid, "TitleAlignment"), TPropValue::Ident("taCenter"));
    EXPECT_EQ(GetPropValue(*m_Grid, "Options"), TPropValue::Set({"dgTitles", "dgRowLines"}));
    EXPECT_EQ(GetPropValue(*m_Grid, "TitleFont.Style"), TPropValue::Set({"fsBold"}));
    EXPECT_EQ(GetPropValue(*m_Grid, "ReadOnly"), TPropValue::Boolean(true));
    EXPECT_EQ(GetPropValue(*m_Grid, "Name"), TPropValue::String("JobsGrid"));
}

TEST_F(PropertiesTest, StringListsTakeTheirLinesWithOrWithoutStrings) {
    const std::vector<std::string> lines = {"Name\t26\tName\tF", "Invoiced\t3\tInv\tF"};
    SetPropValue(*m_Grid, "Selected", TPropValue::StringList(lines));
    EXPECT_EQ(m_Grid->Selected, lines);
    SetPropValue(*m_Grid, "Selected.Strings", TPropValue::StringList({"DueDate\t11\tDue Date\tF"}));
    EXPECT_EQ(GetPropValue(*m_Grid, "Selected").AsStringList(),
              std::vector<std::string>{"DueDate\t11\tDue Date\tF"});
    EXPECT_EQ(FindPropInfo(*m_Grid, "Selected")->Kind, TPropKind::StringList);
}

TEST_F(PropertiesTest, BadPathsAndValuesFailNamingTheProperty) {
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Font.Heigth", TPropValue::Integer(1)); }),
              "Property Font.Heigth: TFont has no published property Heigth");
    EXPECT_EQ(PropertyError([&] { GetPropValue(*m_Grid, "Colour"); }),
              "Property Colour: TwsDBGrid has no published property Colour");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Left", TPropValue::String("12")); }),
              "Property Left: expects an integer, not string '12'");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Left.Top", TPropValue::Integer(1)); }),
              "Property Left.Top: Left is not an object");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Font", TPropValue::Integer(1)); }),
              "Property Font: is an object: set its own properties");
    EXPECT_EQ(PropertyError([&] { GetPropValue(*m_Grid, "Font"); }),
              "Property Font: cannot be read as a value (object)");
    EXPECT_EQ(PropertyError([&] {
                  SetPropValue(*m_Grid, "Options", TPropValue::Set({"dgTitles", "dgNope"}));
              }),
              "Property Options: invalid set member dgNope");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "TitleAlignment", TPropValue::Ident("taMiddle")); }),
              "Property TitleAlignment: invalid value identifier taMiddle");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Font.Color", TPropValue::Ident("clMauve")); }),
              "Property Font.Color: unknown identifier clMauve");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Left", TPropValue::Ident("clRed")); }),
              "Property Left: expects an integer, not identifier clRed");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "Left", TPropValue::Integer(0x100000000)); }),
              "Property Left: value 4294967296 is out of range");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "ReadOnly", TPropValue::Integer(1)); }),
              "Property ReadOnly: expects True or False, not integer 1");
    EXPECT_EQ(PropertyError([&] {
                  SetPropValue(*m_Grid, "Selected",
                               TPropValue::List({TPropValue::String("a"), TPropValue::Integer(2)}));
              }),
              "Property Selected: a string list cannot hold integer 2");
    // A failed assignment leaves the value as it was.
    EXPECT_EQ(m_Grid->Left, 0);
    EXPECT_EQ(m_Grid->Options, TEnumSet<TGridOption>{});
    EXPECT_EQ(FindPropInfo(*m_Grid, "Font.Heigth"), nullptr);
}

TEST_F(PropertiesTest, ReferencesAreSetByComponentOrNameAndChecked) {
    SetPropValue(*m_Grid, "DataSource", TPropValue::Ident("jobsds"));
    EXPECT_EQ(m_Grid->DataSource(), m_Source);
    EXPECT_EQ(GetPropValue(*m_Grid, "DataSource").AsComponent(), m_Source);
    SetPropValue(*m_Grid, "DataSource", TPropValue::Nil());
    EXPECT_EQ(m_Grid->DataSource(), nullptr);
    SetPropValue(*m_Grid, "DataSource", TPropValue::Component(m_Source));
    EXPECT_EQ(m_Grid->DataSource(), m_Source);

    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "DataSource", TPropValue::Component(m_Timer)); }),
              "Property DataSource: expects a TwsDataSource, not a TTimer");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "DataSource", TPropValue::Ident("Timer1")); }),
              "Property DataSource: expects a TwsDataSource, not a TTimer");
    EXPECT_EQ(
        PropertyError([&] { SetPropValue(*m_Grid, "DataSource", TPropValue::Ident("NoSuchDM.JobsDS")); }),
        "Property DataSource: component NoSuchDM.JobsDS not found");
    EXPECT_EQ(m_Grid->DataSource(), m_Source);
    // The reference property clears itself when the source goes.
    TComponent::Free(m_Source);
    EXPECT_EQ(m_Grid->DataSource(), nullptr);
}

TEST_F(PropertiesTest, AClassMayReferToItsOwnKind) {
    TComponentPtr<TChainLink> first(new TChainLink(nullptr));
    auto* second = new TChainLink(first.get());
    second->SetName("Second");
    SetPropValue(*first, "Next", TPropValue::Ident("Second"));
    EXPECT_EQ(first->Next.Get(), second);
    EXPECT_EQ(PropertyError([&] { SetPropValue(*first, "Next", TPropValue::Component(m_Timer)); }),
              "Property Next: expects a TChainLink, not a TTimer");
}

TEST_F(PropertiesTest, EventsBindToTheOwnersPublishedMethodsOfTheirOwnType) {
    SetPropValue(*m_Timer, "OnTimer", TPropValue::Ident("timer1timer"));
    ASSERT_TRUE(m_Timer->OnTimer);
    m_Timer->OnTimer(m_Timer);
    EXPECT_EQ(Journal(), std::vector<std::string>{"Timer1Timer from Timer1"});
    EXPECT_EQ(GetPropValue(*m_Timer, "OnTimer"), TPropValue::Ident("timer1timer"));

    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Timer, "OnTimer", TPropValue::Ident("Timer2Timer")); }),
              "Property OnTimer: method Timer2Timer not found");
    EXPECT_EQ(
        PropertyError([&] { SetPropValue(*m_Grid, "OnCalcCellColors", TPropValue::Ident("FormClick")); }),
        "Property OnCalcCellColors: method FormClick does not fit the event");
    EXPECT_EQ(PropertyError([&] { SetPropValue(*m_Grid, "OnDblClick", TPropValue::String("FormClick")); }),
              "Property OnDblClick: expects a method name, not string 'FormClick'");
    EXPECT_FALSE(m_Grid->OnCalcCellColors);

    SetPropValue(*m_Grid, "OnCalcCellColors", TPropValue::Ident("JobsGridCalcCellColors"));
    TColor color = clNone;
    m_Grid->OnCalcCellColors(m_Grid, nullptr, false, color);
    EXPECT_EQ(color, clRed);

    SetPropValue(*m_Timer, "OnTimer", TPropValue::Nil());
    EXPECT_FALSE(m_Timer->OnTimer);
    EXPECT_TRUE(GetPropValue(*m_Timer, "OnTimer").IsNil());
}

TEST_F(PropertiesTest, ClassTablesChainToTheirAncestorsAndRefuseDuplicates) {
    const auto names = [](const TClassInfo& info) {
        std::vector<std::string> r;
        for (const TPropInfo* p : info.Properties())
            r.push_back(p->Name);
        return r;
    };
    const std::vector<std::string> label = names(TFakeLabel::StaticClassInfo());
    ASSERT_GE(label.size(), 3u);
    EXPECT_EQ(label.front(), "Name"); // the root class's first
    EXPECT_EQ(label.back(), "Transparent");
    EXPECT_NE(TFakeLabel::StaticClassInfo().FindProperty("onclick"), nullptr);

    const auto duplicate = [] {
        TClassBuilder<TFakeTimer>("TTwice", TComponent::StaticClassInfo())
            .Integer("Interval", &TFakeTimer::Interval, &TFakeTimer::Interval)
            .Integer("INTERVAL", &TFakeTimer::Interval, &TFakeTimer::Interval)
            .Build();
    };
    EXPECT_THROW(duplicate(), EPropertyError);
}

} // namespace
} // namespace ws::test
