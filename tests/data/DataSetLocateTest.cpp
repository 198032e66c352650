#include "DataSetTestSupport.h"
#include "data/DBError.h"

using namespace ws;
using namespace ws::test;

namespace {

class DataSetLocateTest : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        AddRows({{"ab12", "First", 740005},
                 {"AB12", "Second", 740001},
                 {"ab123", "Third", 740003},
                 {"xy*", "Star", 740004},
                 {"ab12", "Fourth", 740002}});
    }

    std::string Name(TDataSet& view) { return view.FieldNamed("Name")->AsString(); }
};

} // namespace

TEST_F(DataSetLocateTest, ExactCaseSensitiveWholeValueOnEveryPath) {
    // No index (lookup filter), an index on the field (cloned lookup cursor), the active index.
    for (const char* index : {"", "iDue", "iCode"}) {
        SCOPED_TRACE(std::string("index '") + index + "'");
        auto view = NewView("Items", index);
        view->Open();
        EXPECT_TRUE(view->Locate("Code", "AB12"));
        EXPECT_EQ(Name(*view), "Second");
        EXPECT_TRUE(view->Locate("code", "ab123"));
        EXPECT_EQ(Name(*view), "Third");
        EXPECT_FALSE(view->Locate("Code", "Ab12"));
        EXPECT_FALSE(view->Locate("Code", "ab1"));
        EXPECT_FALSE(view->Locate("Code", "xy"));
        EXPECT_TRUE(view->Locate("Code", "xy*")) << "a trailing star is a character like any other";
        EXPECT_EQ(Name(*view), "Star");
    }
}

TEST_F(DataSetLocateTest, TheFirstMatchInCursorOrderWins) {
    auto physical = NewView("Items");
    physical->Open();
    EXPECT_TRUE(physical->Locate("Code", "ab12"));
    EXPECT_EQ(Name(*physical), "First");
    auto byDue = NewView("Items", "iDue");
    byDue->Open();
    EXPECT_TRUE(byDue->Locate("Name;Code", std::vector<std::string>{"Fourth", "ab12"}));
    EXPECT_EQ(Name(*byDue), "Fourth");
}

TEST_F(DataSetLocateTest, ANotFoundRowLeavesTheViewWhereItWas) {
    auto view = NewView("Items", "iDue");
    TDataSource source(nullptr);
    source.SetDataSet(view.get());
    TRecordingLink link;
    link.SetBufferCount(3);
    link.SetDataSource(&source);
    view->Open();
    view->MoveBy(2);
    link.Calls.clear();
    EXPECT_FALSE(view->Locate("Code", "zzz"));
    EXPECT_EQ(Name(*view), "Third");
    EXPECT_TRUE(link.Calls.empty());
    // The next move starts from the current row, not from where the search left the cursor.
    view->Next();
    EXPECT_EQ(Name(*view), "Star");
    source.SetDataSet(nullptr);
}

TEST_F(DataSetLocateTest, AFoundRowIsCentredInTheWindow) {
    auto view = NewView("Items", "iDue");
    TDataSource source(nullptr);
    source.SetDataSet(view.get());
    TDataLink link;
    link.SetBufferCount(3);
    link.SetDataSource(&source);
    view->Open();
    EXPECT_TRUE(view->Locate("Name", "Third"));
    EXPECT_EQ(view->ActiveRecord(), 1);
    EXPECT_EQ(WindowNames(*view), std::vector<std::string>({"Fourth", "Third", "Star"}));
    source.SetDataSet(nullptr);
}

TEST_F(DataSetLocateTest, OptionsAndUnknownFields) {
    auto view = NewView("Items");
    view->Open();
    EXPECT_TRUE(view->Locate("Code", "AB12", {TLocateOption::loCaseInsensitive}));
    EXPECT_EQ(Name(*view), "First");
    EXPECT_TRUE(view->Locate("Code", "AB123", {TLocateOption::loCaseInsensitive}));
    EXPECT_EQ(Name(*view), "Third");
    EXPECT_TRUE(view->Locate("Name", "Sec", {TLocateOption::loPartialKey}));
    EXPECT_EQ(Name(*view), "Second");
    try {
        view->Locate("Colour", "red");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Items: Field 'Colour' not found");
    }
}
