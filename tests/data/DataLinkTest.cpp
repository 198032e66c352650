#include "DataSetTestSupport.h"
#include "data/DBError.h"

using namespace ws;
using namespace ws::test;

namespace {

using Names = std::vector<std::string>;

// Only the data set moves a link's first row and only the data source detaches it: nobody else
// can make the keys those two take.
template <typename Link>
concept OthersCanShiftFirstRecord = requires(Link& link) {
    link.ShiftFirstRecord({}, 1);
};
template <typename Link>
concept OthersCanDetachSource = requires(Link& link) {
    link.SourceDetached({});
};
static_assert(!OthersCanShiftFirstRecord<TDataLink>);
static_assert(!OthersCanDetachSource<TDataLink>);

// A link that writes every callback, with its own tag, into a journal shared by several links.
class TTaggedLink : public TDataLink {
public:
    TTaggedLink(std::string tag, Names& journal, bool visual) : m_Tag(std::move(tag)), m_Journal(journal) {
        SetVisualControl(visual);
    }

protected:
    void ActiveChanged() override { Write("active"); }
    void DataSetChanged() override { Write("rows"); }
    void DataSetScrolled(int distance) override { Write("scrolled " + std::to_string(distance)); }
    void EditingChanged() override { Write("edit"); }
    void LayoutChanged() override { Write("layout"); }
    void RecordChanged(TField*) override { Write("row"); }

private:
    void Write(const std::string& what) { m_Journal.push_back(m_Tag + " " + what); }
    std::string m_Tag;
    Names& m_Journal;
};

// A view that follows another view's source as its detail.
class TDetailTable : public TwsTable {
public:
    using TwsTable::TwsTable;
    TDataSource* Master = nullptr;
    TDataSource* MasterSource() const override { return Master; }
};

class DataLinkTestFixture : public DataSetTest {
protected:
    void OpenView(int rows) {
        AddNumberedRows(rows);
        m_View = NewView("Items", "iDue");
        m_Source.reset(new TDataSource(nullptr));
        m_Source->SetName("ItemsDS");
        m_Source->SetDataSet(m_View.get());
    }

    std::string Current() { return m_View->FieldNamed("Name")->AsString(); }
    // The current row as a link shows it: its name and its row within the link.
    std::string Shown(const TDataLink& link) { return Current() + "@" + std::to_string(link.ActiveRecord()); }

    TComponentPtr<TwsTable> m_View;
    TComponentPtr<TDataSource> m_Source;
};

class DataLinkTest : public OnEachDriver<DataLinkTestFixture> {};
ON_BOTH_DRIVERS(DataLinkTest);

} // namespace

TEST_P(DataLinkTest, ALinkAskingForMoreRowsThanTheTableHasSeesThemAll) {
    OpenView(4);
    TRecordingLink link;
    link.SetBufferCount(10);
    link.SetDataSource(m_Source.get());
    m_View->Open();
    EXPECT_EQ(link.RecordCount(), 4);
    EXPECT_EQ(m_View->WindowRowCount(), 4);
    EXPECT_EQ(m_View->BufferCount(), 10);
    EXPECT_TRUE(link.Bof());
    m_View->Last();
    EXPECT_EQ(link.ActiveRecord(), 3);
    EXPECT_TRUE(link.Eof());
    EXPECT_EQ(link.MoveBy(-10), -3);
    EXPECT_EQ(link.ActiveRecord(), 0);
}

TEST_P(DataLinkTest, TwoLinksShareOneWindowSizedForTheLargerEachKeepingTheCurrentRow) {
    OpenView(20);
    TRecordingLink small;
    TRecordingLink large;
    small.SetBufferCount(3);
    large.SetBufferCount(10);
    small.SetDataSource(m_Source.get());
    large.SetDataSource(m_Source.get());
    m_View->Open();
    EXPECT_EQ(m_View->WindowRowCount(), 10);
    for (int step = 0; step < 14; ++step) {
        m_View->Next();
        ASSERT_GE(small.ActiveRecord(), 0) << step;
        ASSERT_LT(small.ActiveRecord(), 3) << step;
        ASSERT_GE(large.ActiveRecord(), 0) << step;
        ASSERT_LT(large.ActiveRecord(), 10) << step;
        ASSERT_EQ(small.FirstRecord() + small.ActiveRecord(), m_View->ActiveRecord());
    }
    EXPECT_EQ(Current(), "N14");
    // The small link's rows end on the current row; the large one starts at the window's start.
    EXPECT_EQ(small.FirstRecord(), 7);
    EXPECT_EQ(large.FirstRecord(), 0);
    m_View->MoveBy(-5);
    EXPECT_EQ(Shown(small), "N09@0");
    EXPECT_EQ(Shown(large), "N09@4");
    EXPECT_EQ(small.RecordCount(), 3);
    EXPECT_EQ(large.RecordCount(), 10);

    // When the large link goes, the window shrinks to the rows of the small one.
    large.SetDataSource(nullptr);
    EXPECT_EQ(m_View->BufferCount(), 3);
    EXPECT_EQ(m_View->WindowRowCount(), 3);
    EXPECT_EQ(WindowNames(*m_View), Names({"N09", "N10", "N11"}));
    EXPECT_EQ(Shown(small), "N09@0");
    EXPECT_EQ(small.FirstRecord(), 0);
}

TEST_P(DataLinkTest, ScrollingMovesTheHighlightFirstAndTheContentsOnceTheWindowSlides) {
    OpenView(5);
    TRecordingLink link;
    link.SetBufferCount(3);
    link.SetDataSource(m_Source.get());
    m_View->Open();
    m_View->Next();
    ASSERT_EQ(WindowNames(*m_View), Names({"N00", "N01", "N02"}));
    ASSERT_EQ(m_View->ActiveRecord(), 1);
    link.Calls.clear();

    // The next row is already in the window: no fetch, no shift.
    m_View->Next();
    EXPECT_EQ(m_View->ActiveRecord(), 2);
    EXPECT_EQ(link.Calls, Names({"DataSetScrolled 0"}));
    EXPECT_EQ(link.FirstRecord(), 0);

    // The one after is fetched into the full window, which slides by one row.
    link.Calls.clear();
    m_View->Next();
    EXPECT_EQ(WindowNames(*m_View), Names({"N01", "N02", "N03"}));
    EXPECT_EQ(m_View->ActiveRecord(), 2);
    EXPECT_EQ(link.Calls, Names({"DataSetScrolled 1"}));
    EXPECT_EQ(link.FirstRecord(), 0);

    // Backwards the same way: a slide at the window's start scrolls by -1.
    m_View->MoveBy(-2);
    link.Calls.clear();
    m_View->Prior();
    EXPECT_EQ(WindowNames(*m_View), Names({"N00", "N01", "N02"}));
    EXPECT_EQ(link.Calls, Names({"DataSetScrolled -1"}));
    EXPECT_EQ(link.ActiveRecord(), 0);
}

TEST_P(DataLinkTest, RefreshAndFilterChangesTellEveryLinkWithTheCurrentRowInsideItsRows) {
    OpenView(12);
    TRecordingLink small;
    TRecordingLink large;
    small.SetBufferCount(2);
    large.SetBufferCount(6);
    small.SetDataSource(m_Source.get());
    large.SetDataSource(m_Source.get());
    m_View->Open();
    m_View->MoveBy(5);
    small.Calls.clear();
    large.Calls.clear();
    m_View->Refresh();
    EXPECT_EQ(small.Calls, Names({"DataSetChanged"}));
    EXPECT_EQ(large.Calls, Names({"DataSetChanged"}));
    EXPECT_EQ(Current(), "N05");
    for (const TDataLink* link : {static_cast<TDataLink*>(&small), static_cast<TDataLink*>(&large)}) {
        EXPECT_GE(link->ActiveRecord(), 0);
        EXPECT_LT(link->ActiveRecord(), link->BufferCount());
    }

    small.Calls.clear();
    m_View->SetFilter("Amount > 9");
    m_View->SetFiltered(true);
    EXPECT_EQ(Current(), "N07");
    EXPECT_EQ(small.Calls, Names({"DataSetChanged"}));
    EXPECT_EQ(small.ActiveRecord(), 0);
    EXPECT_EQ(small.RecordCount(), 2);
    EXPECT_EQ(large.RecordCount(), 5);
}

TEST_P(DataLinkTest, PaintingARowThroughTheLinkChangesNothingAndSendsNothing) {
    OpenView(6);
    TRecordingLink link;
    link.SetBufferCount(4);
    link.SetDataSource(m_Source.get());
    m_View->Open();
    m_View->Next();
    link.Calls.clear();
    Names painted;
    const int active = link.ActiveRecord();
    for (int row = 0; row < link.RecordCount(); ++row) {
        link.SetActiveRecord(row);
        painted.push_back(Current());
    }
    link.SetActiveRecord(active);
    EXPECT_EQ(painted, Names({"N00", "N01", "N02", "N03"}));
    EXPECT_TRUE(link.Calls.empty());
    EXPECT_EQ(m_View->State(), dsBrowse);
    EXPECT_EQ(Current(), "N01");
    // The cursor was never moved: the next row is the one after the current row.
    m_View->Next();
    EXPECT_EQ(Current(), "N02");
}

TEST_P(DataLinkTest, OtherConsumersHearFirstThenControlsEachGroupLatestAttachedFirst) {
    OpenView(3);
    Names journal;
    TTaggedLink grid1("grid1", journal, true);
    TTaggedLink other1("other1", journal, false);
    TTaggedLink grid2("grid2", journal, true);
    TTaggedLink other2("other2", journal, false);
    for (TDataLink* link : {static_cast<TDataLink*>(&grid1), static_cast<TDataLink*>(&other1),
                            static_cast<TDataLink*>(&grid2), static_cast<TDataLink*>(&other2)})
        link->SetDataSource(m_Source.get());
    std::string changes;
    m_Source->OnDataChange = [&](TObject*, TField* field) { changes += field ? "F" : "-"; };
    m_Source->OnStateChange = [&](TObject*) { changes += "S"; };

    m_View->Open();
    // State changes go to the links in the order they were attached.
    EXPECT_EQ(journal, Names({"grid1 active", "other1 active", "grid2 active", "other2 active"}));
    EXPECT_EQ(changes, "S-") << "a source that was inactive reports a change of data";
    journal.clear();
    changes.clear();
    m_View->Refresh();
    EXPECT_EQ(journal, Names({"other2 rows", "other1 rows", "grid2 rows", "grid1 rows"}));
    EXPECT_EQ(changes, "-");

    journal.clear();
    changes.clear();
    m_View->Edit();
    m_View->FieldNamed("Name")->SetAsString("X");
    EXPECT_EQ(journal,
              Names({"grid1 edit", "other1 edit", "grid2 edit", "other2 edit", "other2 row", "other1 row",
                     "grid2 row", "grid1 row", "other2 row", "other1 row", "grid2 row", "grid1 row"}));
    EXPECT_EQ(changes, "S-F");
    m_View->Cancel();
    m_Source->OnDataChange = nullptr;
    m_Source->OnStateChange = nullptr;
}

TEST_P(DataLinkTest, AnInactiveSourceOrViewPassesNothingButStateChanges) {
    OpenView(3);
    TRecordingLink link;
    link.SetDataSource(m_Source.get());
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(link.RecordCount(), 0);
    m_View->Open();
    EXPECT_TRUE(link.Active());
    link.Calls.clear();

    m_Source->SetEnabled(false);
    EXPECT_EQ(m_Source->State(), dsInactive);
    EXPECT_EQ(link.Calls, Names({"ActiveChanged"}));
    EXPECT_EQ(link.FirstRecord(), 0);
    link.Calls.clear();
    m_View->Next();
    m_View->Refresh();
    m_View->Edit();
    m_View->Cancel();
    EXPECT_TRUE(link.Calls.empty());

    m_Source->SetEnabled(true);
    EXPECT_EQ(m_Source->State(), dsBrowse);
    EXPECT_EQ(link.Calls, Names({"ActiveChanged"}));
    // The window was kept for nobody meanwhile; re-activation puts the link around the current row.
    EXPECT_EQ(link.ActiveRecord(), 0);
    EXPECT_EQ(Current(), "N01");

    // Moving the source to another view: the old one no longer reaches the link.
    TComponentPtr<TwsTable> other = NewView("Other", "iDue");
    link.Calls.clear();
    m_Source->SetDataSet(other.get());
    EXPECT_EQ(link.Calls, Names({"ActiveChanged"}));
    EXPECT_EQ(m_View->DataSourceCount(), 0);
    m_View->Next();
    EXPECT_EQ(link.Calls, Names({"ActiveChanged"}));
    other->Open();
    EXPECT_EQ(link.DataSet(), other.get());
    EXPECT_TRUE(link.Active());
}

TEST_P(DataLinkTest, EditThroughTheLinkFollowsAutoEditAndReadOnly) {
    OpenView(2);
    TRecordingLink link;
    link.SetDataSource(m_Source.get());
    m_View->Open();
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(m_View->State(), dsBrowse);
    link.SetReadOnly(false);
    m_Source->SetAutoEdit(false);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(m_View->State(), dsBrowse);
    m_Source->SetAutoEdit(true);
    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(m_View->State(), dsEdit);
    EXPECT_TRUE(link.Editing());
    m_View->Cancel();
    EXPECT_FALSE(link.Editing());
}

TEST_P(DataLinkTest, FixedSourcesAndCircularMasterLinksAreRefused) {
    OpenView(2);
    TRecordingLink link;
    link.SetDataSource(m_Source.get());
    link.SetDataSourceFixed(true);
    link.SetDataSource(m_Source.get());
    try {
        link.SetDataSource(nullptr);
        FAIL() << "a fixed source was changed";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "DataSource cannot be changed");
    }
    EXPECT_EQ(link.DataSource(), m_Source.get());
    link.SetDataSourceFixed(false);

    // A detail of the view that the source feeds, and a detail of that detail.
    TComponentPtr<TDetailTable> detail(new TDetailTable(nullptr));
    detail->Master = m_Source.get();
    TComponentPtr<TDataSource> detailSource(new TDataSource(nullptr));
    detailSource->SetDataSet(detail.get());
    TComponentPtr<TDetailTable> grandDetail(new TDetailTable(nullptr));
    grandDetail->Master = detailSource.get();
    for (TDataSet* target :
         {static_cast<TDataSet*>(detail.get()), static_cast<TDataSet*>(grandDetail.get())}) {
        try {
            m_Source->SetDataSet(target);
            FAIL() << "a source would feed itself";
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), "ItemsDS: Circular datalinks are not allowed");
        }
        EXPECT_EQ(m_Source->DataSet(), m_View.get());
    }
}

TEST_P(DataLinkTest, FreeingTheViewOrTheSourceDetachesEveryone) {
    OpenView(3);
    TRecordingLink link;
    link.SetBufferCount(2);
    link.SetDataSource(m_Source.get());
    m_View->Open();
    m_View.reset();
    EXPECT_EQ(m_Source->DataSet(), nullptr);
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(link.RecordCount(), 0);
    EXPECT_TRUE(link.Bof());
    EXPECT_EQ(link.MoveBy(1), 0);
    m_Source.reset();
    EXPECT_EQ(link.DataSource(), nullptr);
}
