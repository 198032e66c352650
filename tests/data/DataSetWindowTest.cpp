#include "DataSetTestSupport.h"
#include "data/DBError.h"
#include "engine/FaultInjector.h"

using namespace ws;
using namespace ws::test;

namespace {

using Names = std::vector<std::string>;

class DataSetWindowTestFixture : public DataSetTest {
protected:
    // Opens a view of `rows` numbered rows with one link asking for `bufferCount` rows.
    void OpenWith(int rows, int bufferCount) {
        AddNumberedRows(rows);
        m_View = NewView("Items", "iDue");
        m_Source.reset(new TDataSource(nullptr));
        m_Source->SetDataSet(m_View.get());
        m_Link.SetBufferCount(bufferCount);
        m_Link.SetDataSource(m_Source.get());
        m_View->Open();
        m_Link.Calls.clear();
    }

    std::string Current() { return m_View->FieldNamed("Name")->AsString(); }

    TComponentPtr<TwsTable> m_View;
    TComponentPtr<TDataSource> m_Source;
    TRecordingLink m_Link;
};

class DataSetWindowTest : public OnEachDriver<DataSetWindowTestFixture> {};
ON_BOTH_DRIVERS(DataSetWindowTest);

} // namespace

TEST_P(DataSetWindowTest, StatesKeepTheirOrderAndOpeningEntersBrowse) {
    EXPECT_EQ(static_cast<int>(dsInactive), 0);
    EXPECT_EQ(static_cast<int>(dsSetKey), 4);
    EXPECT_EQ(static_cast<int>(dsCalcFields), 5);
    EXPECT_EQ(static_cast<int>(dsOpening), 12);
    EXPECT_EQ(static_cast<int>(deDisabledStateChange), 14);
    OpenWith(3, 1);
    EXPECT_EQ(m_View->State(), dsBrowse);
    EXPECT_TRUE(m_View->Active());
    m_View->Close();
    EXPECT_EQ(m_View->State(), dsInactive);
    EXPECT_EQ(m_Link.Calls, Names({"ActiveChanged"}));
    try {
        m_View->RecordCount();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Items: Cannot perform this operation on a closed dataset");
    }
}

TEST_P(DataSetWindowTest, WindowOfOneRowSlidesOnEveryMove) {
    OpenWith(3, 1);
    EXPECT_EQ(WindowNames(*m_View), Names({"N00"}));
    EXPECT_TRUE(m_View->Bof());
    EXPECT_EQ(m_View->MoveBy(5), 2);
    EXPECT_TRUE(m_View->Eof());
    EXPECT_EQ(Current(), "N02");
    EXPECT_EQ(m_View->MoveBy(1), 0);
    EXPECT_EQ(m_View->MoveBy(-1), -1);
    EXPECT_EQ(Current(), "N01");
    EXPECT_FALSE(m_View->Eof());
}

TEST_P(DataSetWindowTest, WindowOfFourFillsForwardAndScrollsByShifts) {
    OpenWith(6, 4);
    EXPECT_EQ(WindowNames(*m_View), Names({"N00", "N01", "N02", "N03"}));
    m_View->MoveBy(3);
    EXPECT_EQ(m_View->ActiveRecord(), 3);
    EXPECT_EQ(m_Link.Calls, Names({"DataSetScrolled 0"}));
    m_Link.Calls.clear();
    // Past the window's end: the window slides by one and the link scrolls by one.
    m_View->Next();
    EXPECT_EQ(WindowNames(*m_View), Names({"N01", "N02", "N03", "N04"}));
    EXPECT_EQ(m_View->ActiveRecord(), 3);
    EXPECT_EQ(m_Link.Calls, Names({"DataSetScrolled 1"}));
    EXPECT_EQ(m_Link.FirstRecord(), 0);
    m_View->MoveBy(-4);
    EXPECT_EQ(Current(), "N00");
    EXPECT_EQ(WindowNames(*m_View), Names({"N00", "N01", "N02", "N03"}));
}

TEST_P(DataSetWindowTest, LastFillsBackwardSoTheWindowEndsOnTheLastRow) {
    OpenWith(6, 4);
    m_View->Last();
    EXPECT_TRUE(m_View->Eof());
    EXPECT_EQ(WindowNames(*m_View), Names({"N02", "N03", "N04", "N05"}));
    EXPECT_EQ(Current(), "N05");
    EXPECT_EQ(m_View->ActiveRecord(), 3);
    EXPECT_EQ(m_Link.Calls, Names({"DataSetChanged"}));
    m_View->First();
    EXPECT_TRUE(m_View->Bof());
    EXPECT_EQ(Current(), "N00");
}

TEST_P(DataSetWindowTest, AWindowLargerThanTheTableHoldsEveryRow) {
    OpenWith(4, 10);
    EXPECT_EQ(m_View->BufferCount(), 10);
    EXPECT_EQ(m_View->WindowRowCount(), 4);
    EXPECT_EQ(m_Link.RecordCount(), 4);
    m_View->Last();
    EXPECT_EQ(WindowNames(*m_View), Names({"N00", "N01", "N02", "N03"}));
    EXPECT_EQ(m_View->ActiveRecord(), 3);
}

TEST_P(DataSetWindowTest, GrowingAndShrinkingTheLinkResizesTheWindow) {
    OpenWith(12, 3);
    m_View->MoveBy(5);
    EXPECT_EQ(Current(), "N05");
    m_Link.SetBufferCount(10);
    EXPECT_EQ(m_View->WindowRowCount(), 10);
    EXPECT_EQ(Current(), "N05");
    m_Link.SetBufferCount(2);
    EXPECT_EQ(m_View->BufferCount(), 2);
    EXPECT_EQ(Current(), "N05");
    EXPECT_LE(m_View->WindowRowCount(), 2);
    EXPECT_GE(m_Link.ActiveRecord(), 0);
    EXPECT_LT(m_Link.ActiveRecord(), 2);
}

TEST_P(DataSetWindowTest, RecordCountAsksEveryTimeWithoutMovingTheCurrentRow) {
    OpenWith(5, 2);
    m_View->Next();
    EXPECT_EQ(m_View->RecordCount(), 5);
    AddRows({{"Z", "Late", 750000}});
    // The cursor sees the new row after a re-read, but the count itself is never cached.
    m_View->Refresh();
    EXPECT_EQ(m_View->RecordCount(), 6);
    EXPECT_EQ(Current(), "N01");
}

TEST_P(DataSetWindowTest, RefreshRefetchesEveryWindowRowWithItsCalculatedFields) {
    AddNumberedRows(5);
    m_View = NewView("Items", "iDue");
    auto* name = new TStringField(m_View.get());
    name->SetFieldName("Name");
    name->SetDataSet(m_View.get());
    auto* calc = new TStringField(m_View.get());
    calc->SetFieldName("Upper");
    calc->SetCalculated(true);
    calc->SetDataSet(m_View.get());
    int computed = 0;
    m_View->OnCalcFields = [&](TDataSet*) {
        ++computed;
        calc->SetAsString("[" + name->AsString() + "]");
    };
    m_Source.reset(new TDataSource(nullptr));
    m_Source->SetDataSet(m_View.get());
    m_Link.SetBufferCount(3);
    m_Link.SetDataSource(m_Source.get());
    m_View->Open();
    m_View->Next();
    computed = 0;
    m_Link.Calls.clear();
    m_View->Refresh();
    EXPECT_EQ(computed, 3);
    EXPECT_EQ(calc->AsString(), "[N01]");
    EXPECT_EQ(m_View->ActiveRecord(), 1);
    EXPECT_EQ(m_Link.Calls, Names({"DataSetChanged"}));
}

TEST_P(DataSetWindowTest, FilterEventSelectsRowsAndFilteredRestartsFromTheFirst) {
    AddNumberedRows(6);
    m_View = NewView("Items", "iDue");
    m_View->OnFilterRecord = [](TDataSet* view, bool& accept) {
        accept = view->FieldNamed("Qty")->IsNull() && view->FieldNamed("Name")->AsString() >= "N03";
    };
    m_View->Open();
    EXPECT_EQ(m_View->RecordCount(), 6);
    m_View->SetFiltered(true);
    EXPECT_EQ(m_View->RecordCount(), 3);
    EXPECT_EQ(m_View->FieldNamed("Name")->AsString(), "N03");
    m_View->Next();
    // Switching filtering on again still starts over from the first row.
    m_View->SetFiltered(true);
    EXPECT_EQ(m_View->FieldNamed("Name")->AsString(), "N03");
    m_View->SetFiltered(false);
    EXPECT_EQ(m_View->FieldNamed("Name")->AsString(), "N00");
}

TEST_P(DataSetWindowTest, FilterTextPassesExactlyTheMatchingRowsAndABadTextChangesNothing) {
    OpenWith(6, 2);
    m_View->SetFilter("Amount > 4");
    m_View->SetFiltered(true);
    EXPECT_EQ(m_View->RecordCount(), 3);
    EXPECT_EQ(Current(), "N03");
    m_View->SetFilterOptions(TFilterOptions{TFilterOption::foCaseInsensitive});
    try {
        m_View->SetFilter("Amount >");
        FAIL();
    } catch (const EDatabaseError&) {
    }
    EXPECT_EQ(m_View->Filter(), "Amount > 4");
    EXPECT_TRUE(m_View->Filtered());
    EXPECT_TRUE(m_View->FilterOptions().Contains(TFilterOption::foCaseInsensitive));
    EXPECT_EQ(m_View->RecordCount(), 3);
    m_View->SetFilter("(Name = 'N01') OR (Name = 'N05')");
    EXPECT_EQ(m_View->RecordCount(), 2);
    EXPECT_EQ(Current(), "N01");
}

// A filter change the engine fails part-way never leaves the view showing other rows than its
// Filter and Filtered say; setting them again, even to the same values, puts them in force.
TEST_P(DataSetWindowTest, AFilterChangeThatFailsPartWayIsPutInForceWhenSetAgain) {
    using engine::FaultInjector;
    OpenWith(6, 2);
    m_View->SetFilter("Amount > 4");
    m_View->SetFiltered(true);
    ASSERT_EQ(m_View->RecordCount(), 3);

    // The new filter cannot be switched on: the old one stays in force.
    FaultInjector::Scope faults;
    faults.FailOperation("ActivateFilter", engine::esIOError);
    EXPECT_THROW(m_View->SetFilter("Amount > 5"), EDBEngineError);
    faults.Clear();
    EXPECT_EQ(m_View->Filter(), "Amount > 4");
    EXPECT_EQ(m_View->RecordCount(), 3);
    m_View->SetFilter("Amount > 5");
    EXPECT_EQ(m_View->RecordCount(), 2);

    // Switching on fails, and so does building the filter again: the view says it is not
    // filtered, and switching on once the engine works filters again.
    m_View->SetFiltered(false);
    ASSERT_EQ(m_View->RecordCount(), 6);
    faults.FailOperation("ActivateFilter", engine::esIOError);
    faults.FailOperation("AddFilter", engine::esIOError);
    EXPECT_THROW(m_View->SetFiltered(true), EDBEngineError);
    faults.Clear();
    EXPECT_FALSE(m_View->Filtered() && m_View->RecordCount() == 6);
    m_View->SetFiltered(true);
    EXPECT_TRUE(m_View->Filtered());
    EXPECT_EQ(m_View->RecordCount(), 2);
    EXPECT_EQ(Current(), "N04");

    // Switching off fails half-way: the next switch, to the same value, goes through.
    faults.FailOperation("DeactivateFilter", engine::esIOError);
    EXPECT_THROW(m_View->SetFiltered(false), EDBEngineError);
    faults.Clear();
    EXPECT_FALSE(m_View->FiltersInForce() && m_View->Filtered() && m_View->RecordCount() != 2);
    m_View->SetFiltered(true);
    EXPECT_EQ(m_View->RecordCount(), 2);
    m_View->SetFiltered(false);
    EXPECT_EQ(m_View->RecordCount(), 6);
}

TEST_P(DataSetWindowTest, EditingNotifiesInTheAgreedOrder) {
    OpenWith(3, 2);
    m_View->Edit();
    EXPECT_EQ(m_Link.Calls, Names({"EditingChanged", "RecordChanged"}));
    m_Link.Calls.clear();
    m_View->FieldNamed("Name")->SetAsString("Changed");
    EXPECT_EQ(m_Link.Calls, Names({"RecordChanged Name"}));
    m_Link.Calls.clear();
    m_View->Post();
    EXPECT_EQ(m_Link.Calls, Names({"UpdateRecord", "EditingChanged", "DataSetChanged"}));

    // While controls are disabled nothing arrives but the state, as a disabled-state change.
    m_Link.Calls.clear();
    m_View->DisableControls();
    m_View->Next();
    m_View->Edit();
    m_View->Cancel();
    EXPECT_TRUE(m_Link.Calls.empty());
    m_View->EnableControls();
    EXPECT_EQ(m_Link.Calls, Names({"DataSetChanged"}));
}

TEST_P(DataSetWindowTest, InsertIntoAFullWindowAndCancelRestoresIt) {
    OpenWith(5, 3);
    m_View->Next();
    m_View->Insert();
    EXPECT_EQ(m_View->WindowRowCount(), 3);
    EXPECT_EQ(m_View->ActiveRecord(), 1);
    EXPECT_EQ(Current(), "");
    EXPECT_EQ(WindowNames(*m_View), Names({"N00", "", "N01"}));
    m_View->Cancel();
    EXPECT_EQ(Current(), "N01");
    EXPECT_EQ(WindowNames(*m_View), Names({"N00", "N01", "N02"}));
    EXPECT_EQ(m_View->RecordCount(), 5);
}

TEST_P(DataSetWindowTest, AnUnfilteredViewReadsEveryRowInIndexOrderAtAndBeyondTheListedLength) {
    // Stored in the reverse of the index's order, so that storage order cannot pass for it. 4,096
    // rows are read from the engine's list of the order; one more and they are read by stepping.
    constexpr int kRows = 4096;
    std::vector<ItemRow> rows;
    for (int i = 0; i < kRows; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "R%04d", i);
        rows.push_back({std::string("C") + (name + 1), name, 740000 + (kRows - i), 0});
    }
    AddRows(rows);
    auto view = NewView("Items", "iDue");
    view->Open();
    const auto readAll = [&view] {
        Names names;
        for (view->First(); !view->Eof(); view->Next())
            names.push_back(view->FieldNamed("Name")->AsString());
        return names;
    };
    Names expected;
    for (int i = kRows - 1; i >= 0; --i)
        expected.push_back(rows[static_cast<std::size_t>(i)].name);
    EXPECT_EQ(view->RecordCount(), kRows);
    EXPECT_EQ(readAll(), expected);

    AddRows({{"Cfirst", "First", 740000, 0}});
    expected.insert(expected.begin(), "First");
    view->Refresh();
    EXPECT_EQ(view->RecordCount(), kRows + 1);
    EXPECT_EQ(readAll(), expected);
    view->Last();
    EXPECT_EQ(view->FieldNamed("Name")->AsString(), "R0000");
    view->Prior();
    EXPECT_EQ(view->FieldNamed("Name")->AsString(), "R0001");
}
