#include "DataSetTestSupport.h"
#include "data/DBError.h"

#include <map>
#include <sqlite3.h>

using namespace ws;
using namespace ws::test;

namespace {

class DataSetLocateTestFixture : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        AddRows({{"ab12", "First", 740005},
                 {"AB12", "Second", 740001},
                 {"ab123", "Third", 740003},
                 {"xy*", "Star", 740004},
                 {"ab12", "Fourth", 740002}});
    }

    std::string Name(TDataSet& view) { return view.FieldNamed("Name")->AsString(); }
};

class DataSetLocateTest : public OnEachDriver<DataSetLocateTestFixture> {};
ON_BOTH_DRIVERS(DataSetLocateTest);

} // namespace

TEST_P(DataSetLocateTest, ExactCaseSensitiveWholeValueOnEveryPath) {
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

TEST_P(DataSetLocateTest, TheFirstMatchInCursorOrderWins) {
    auto physical = NewView("Items");
    physical->Open();
    EXPECT_TRUE(physical->Locate("Code", "ab12"));
    EXPECT_EQ(Name(*physical), "First");
    auto byDue = NewView("Items", "iDue");
    byDue->Open();
    EXPECT_TRUE(byDue->Locate("Name;Code", std::vector<std::string>{"Fourth", "ab12"}));
    EXPECT_EQ(Name(*byDue), "Fourth");
}

TEST_P(DataSetLocateTest, ANotFoundRowLeavesTheViewWhereItWas) {
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

TEST_P(DataSetLocateTest, AFoundRowIsCentredInTheWindow) {
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

TEST_P(DataSetLocateTest, OptionsAndUnknownFields) {
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

TEST_P(DataSetLocateTest, ALookupWithoutAnIndexSeesEveryChangeAtTheNextCall) {
    // Name has no index: the engine answers from what it knows of the field's values. Each
    // change, by another program or through the view itself, must show at the very next call.
    auto view = NewView("Items");
    view->Open();
    const auto code = [&view] { return view->FieldNamed("Code")->AsString(); };
    EXPECT_TRUE(view->Locate("Name", "Second"));
    EXPECT_EQ(code(), "AB12");
    EXPECT_FALSE(view->Locate("Name", "second"));

    OtherProgram("Items.DB", "INSERT INTO %T (\"Code\", \"Name\") VALUES ('dup', 'Second')");
    EXPECT_TRUE(view->Locate("Name", "Second"));
    EXPECT_EQ(code(), "AB12") << "the first row holding the key wins";
    OtherProgram("Items.DB", "UPDATE %T SET \"Name\" = 'Gone' WHERE \"Code\" = 'AB12'");
    EXPECT_TRUE(view->Locate("Name", "Second"));
    EXPECT_EQ(code(), "dup");
    EXPECT_TRUE(view->Locate("Name", "Gone"));
    EXPECT_EQ(code(), "AB12");
    OtherProgram("Items.DB", "DELETE FROM %T WHERE \"Code\" = 'dup'");
    EXPECT_FALSE(view->Locate("Name", "Second"));

    // A change written through the view's own connection.
    ASSERT_TRUE(view->Locate("Name", "Star"));
    view->Edit();
    view->FieldNamed("Name")->SetAsString("Mine");
    view->Post();
    EXPECT_FALSE(view->Locate("Name", "Star"));
    EXPECT_TRUE(view->Locate("Name", "Mine"));
    EXPECT_EQ(code(), "xy*");

    // A filtered view finds only rows that pass its filter.
    view->SetFilter("Code <> 'ab12'");
    view->SetFiltered(true);
    EXPECT_FALSE(view->Locate("Name", "First"));
    view->SetFiltered(false);
    EXPECT_TRUE(view->Locate("Name", "First"));
    EXPECT_EQ(code(), "ab12");
    // A key longer than the field is never found.
    EXPECT_FALSE(view->Locate("Name", std::string(30, 'F')));
}

TEST_P(DataSetLocateTest, AmongManyRowsOfOneKeyTheFirstInScanOrderWins) {
    // Enough rows sharing each name that the look-up's own ordering of them would show: each name
    // must find the first row in physical order that holds it, and names that are prefixes of
    // one another are told apart.
    std::vector<ItemRow> rows;
    const std::vector<std::string> names{"Dup", "Du", "Dupe", "", "D"};
    std::map<std::string, std::string> firstCode;
    for (int i = 0; i < 200; ++i) {
        const std::string name = names[static_cast<std::size_t>((i * 7) % 5)];
        const std::string code = "c" + std::to_string(i);
        rows.push_back({code, name, 740000 + i});
        firstCode.try_emplace(name, code);
    }
    AddRows(rows);
    auto view = NewView("Items");
    view->Open();
    for (const auto& [name, code] : firstCode) {
        if (name.empty())
            continue;
        SCOPED_TRACE(name);
        ASSERT_TRUE(view->Locate("Name", name));
        EXPECT_EQ(view->FieldNamed("Code")->AsString(), code);
    }
    EXPECT_FALSE(view->Locate("Name", "Dupes"));
    EXPECT_FALSE(view->Locate("Name", "d"));
}
