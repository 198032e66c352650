#include "JobsDMTestSupport.h"
#include "data/DBError.h"
#include "data/DataLink.h"
#include "data/DataSource.h"
#include "engine/Engine.h"
#include "jobs/BoardFilters.h"

using namespace ws;
using namespace ws::test;

namespace {

using Names = std::vector<std::string>;

// Three Jewish jobs with their Jewish.DB rows, the top list filtered and shown by a 10-row link
// as its grid would; every rewrite of a Jewish.DB row is counted by order number.
class JewishRowsTest : public JobsDbTest {
protected:
    void SetUp() override {
        JobsDbTest::SetUp();
        Jobsdb({"init"});
        for (const char* orderNo : {"J1", "J2", "J3"}) {
            PutJob(orderNo, std::string("2026-03-0") + orderNo[1],
                   {{"IsActive", "True"}, {"IsJewish", "True"}});
            Put("Jewish.DB",
                {{"OrderNo", orderNo}, {"Stone", std::string("Stone ") + orderNo}, {"Position", "P"}});
        }
        CreateJobsDM(nullptr);
        m_Link.SetBufferCount(10);
        m_Link.SetDataSource(JobsDM->JobsDS());
        ApplyBoardFilters();
        JobsDM->JewishTable()->AfterPost = [this](TDataSet* view) {
            ++m_Rewrites[view->FieldNamed("OrderNo")->AsString()];
        };
    }
    void TearDown() override {
        m_Link.SetDataSource(nullptr);
        JobsDbTest::TearDown();
    }

    // The top list as its grid sees it after a refresh.
    Names TopList() {
        TwsTable& jobs = *JobsDM->JobsTable();
        Names rows;
        const int active = m_Link.ActiveRecord();
        for (int i = 0; i < m_Link.RecordCount(); ++i) {
            m_Link.SetActiveRecord(i);
            rows.push_back(jobs.FieldNamed("OrderNo")->AsString() + "=" +
                           jobs.FieldNamed("Memorial")->AsString());
        }
        m_Link.SetActiveRecord(active);
        return rows;
    }

    // Order numbers of the Jewish.DB rows some cursor holds locked, as a second cursor of this
    // process finds them.
    Names LockedJewishRows() {
        engine::hDatabase db = 0;
        EXPECT_EQ(engine::OpenDatabase(m_Dir, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, db),
                  engine::esOk);
        engine::hCursor cursor = 0;
        EXPECT_EQ(engine::OpenTable(db, "Jewish.DB", "", "", engine::OpenMode::ReadWrite,
                                    engine::ShareMode::Shared, cursor),
                  engine::esOk);
        engine::CursorProps props;
        engine::GetCursorProps(cursor, props);
        std::vector<std::uint8_t> record(props.recordSize);
        Names locked;
        while (engine::GetNextRecord(cursor, engine::LockType::None, record.data()) == engine::esOk) {
            engine::Value orderNo;
            engine::GetValue(cursor, 1, record.data(), orderNo);
            const engine::EngineStatus status =
                engine::GetRecord(cursor, engine::LockType::Write, record.data());
            EXPECT_TRUE(status == engine::esOk || status == engine::esRecordLocked) << status;
            if (status == engine::esRecordLocked)
                locked.push_back(std::get<std::string>(orderNo));
            engine::ReleaseLock(cursor, true);
        }
        engine::CloseCursor(cursor);
        engine::CloseDatabase(db);
        return locked;
    }

    TDataLink m_Link;
    std::map<std::string, int> m_Rewrites;
};

const Names kAllShown{"J1=Stone J1 P", "J2=Stone J2 P", "J3=Stone J3 P"};

} // namespace

TEST_F(JewishRowsTest, ARowLockedElsewhereIsShownNotRewrittenAndReportedOncePerLock) {
    LockHolder holder(m_Dir, "Jewish.DB", "OrderNo", "J2");
    ASSERT_TRUE(holder.Locked());
    JobsDM->JobsTable()->Refresh();
    EXPECT_EQ(TopList(), kAllShown) << "the jobs after the locked row stay in the list";
    EXPECT_EQ(JobsDM->JobsTable()->RecordCount(), 3);
    EXPECT_EQ(JobsDM->JewishTable()->State(), dsBrowse);
    EXPECT_EQ(m_Rewrites, (std::map<std::string, int>{{"J1", 1}, {"J3", 1}}));
    ASSERT_EQ(JobsDM->UnreportedLockErrors().size(), 1u);
    EXPECT_EQ(JobsDM->UnreportedLockErrors()[0].rfind("Record locked by another user", 0), 0u);

    // Every further tick meets the same lock; it is not reported again.
    for (int tick = 0; tick < 3; ++tick)
        JobsDM->JobsTable()->Refresh();
    EXPECT_EQ(JobsDM->UnreportedLockErrors().size(), 1u);
    EXPECT_EQ(m_Rewrites["J2"], 0);

    // Once the other program lets go the row is rewritten again.
    holder.Release();
    JobsDM->JobsTable()->Refresh();
    EXPECT_EQ(m_Rewrites["J2"], 1);
    EXPECT_EQ(TopList(), kAllShown);

    // A new lock later is a new error, and goes to the application's report when it has one.
    std::vector<std::string> reported;
    JobsDM->OnLockError = [&](const std::exception& e) { reported.emplace_back(e.what()); };
    LockHolder again(m_Dir, "Jewish.DB", "OrderNo", "J2");
    ASSERT_TRUE(again.Locked());
    JobsDM->JobsTable()->Refresh();
    JobsDM->JobsTable()->Refresh();
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_EQ(JobsDM->UnreportedLockErrors().size(), 1u);
    EXPECT_EQ(TopList(), kAllShown);
}

TEST_F(JewishRowsTest, AFailedRewriteIsReportedAndTheNextTickShowsEverything) {
    engine::FaultInjector::Scope faults;
    faults.FailOperation("ModifyRecord", engine::esIOError);
    try {
        JobsDM->JobsTable()->Refresh();
        FAIL() << "a failed write went unnoticed";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), engine::esIOError);
    }
    EXPECT_TRUE(JobsDM->UnreportedLockErrors().empty());
    // The view is back in Browse and the office can change the job.
    EXPECT_EQ(JobsDM->JewishTable()->State(), dsBrowse);
    EXPECT_EQ(LockedJewishRows(), Names{});
    faults.Clear();
    for (int tick = 0; tick < 2; ++tick) {
        JobsDM->JobsTable()->Refresh();
        EXPECT_EQ(TopList(), kAllShown);
    }
}

TEST_F(JewishRowsTest, AJewishRowDeletedByTheOfficeLeavesItsJobWithoutAMemorial) {
    Jobsdb({"delete", "Jewish.DB", "OrderNo=J1"});
    for (int tick = 0; tick < 2; ++tick) {
        JobsDM->JobsTable()->Refresh();
        EXPECT_EQ(TopList(), (Names{"J1=", "J2=Stone J2 P", "J3=Stone J3 P"}));
        EXPECT_EQ(JobsDM->JewishTable()->State(), dsBrowse);
    }
    EXPECT_EQ(LockedJewishRows(), Names{});
    EXPECT_TRUE(JobsDM->UnreportedLockErrors().empty());

    // Deleted in the moment between finding the row and locking it: not found either.
    bool deleted = false;
    JobsDM->JewishTable()->AfterScroll = [&](TDataSet* view) {
        if (!deleted && view->FieldNamed("OrderNo")->AsString() == "J2") {
            deleted = true;
            Jobsdb({"delete", "Jewish.DB", "OrderNo=J2"});
        }
    };
    JobsDM->JobsTable()->Refresh();
    ASSERT_TRUE(deleted);
    EXPECT_EQ(TopList(), (Names{"J1=", "J2=", "J3=Stone J3 P"}));
    EXPECT_EQ(JobsDM->JewishTable()->State(), dsBrowse);
    EXPECT_EQ(LockedJewishRows(), Names{});
    EXPECT_EQ(Jobsdb({"dump", "Jewish.DB"}).find("J2"), std::string::npos);
}

// Every engine call of a tick failing in turn: whatever failed, the Jewish view is left in
// Browse with no row locked, and the next tick shows the list exactly.
TEST_F(JewishRowsTest, AFaultAtAnyEngineCallOfATickIsRecoveredByTheNextTick) {
    const std::string jewishBefore = Jobsdb({"dump", "Jewish.DB"});
    int failed = 0;
    int quiet = 0; // ticks in a row that met no fault: k is past the tick's last call
    for (int k = 1; k < 1000 && quiet < 10; ++k) {
        SCOPED_TRACE("engine call " + std::to_string(k));
        engine::FaultInjector::Scope faults;
        faults.FailNthCall(k, engine::esIOError);
        bool threw = false;
        try {
            JobsDM->JobsTable()->Refresh();
        } catch (const Exception&) {
            threw = true;
        }
        faults.Clear();
        EXPECT_EQ(JobsDM->JewishTable()->State(), dsBrowse);
        EXPECT_EQ(LockedJewishRows(), Names{});
        JobsDM->JobsTable()->Refresh();
        EXPECT_EQ(TopList(), kAllShown);
        failed += threw ? 1 : 0;
        quiet = threw ? 0 : quiet + 1;
    }
    EXPECT_GT(failed, 20);
    EXPECT_EQ(Jobsdb({"dump", "Jewish.DB"}), jewishBefore);
}

using JobsDMSoakTest = JobsDbTest;

// The refresh cycle of the wall screen, with each list shown by a grid-sized link.
TEST_F(JobsDMSoakTest, AThousandRefreshesRewriteJewishRowsUnchangedAndWriteNothingElse) {
    Jobsdb({"demo", "--today", "2026-03-15"});
    const std::string jewishBefore = Jobsdb({"dump", "Jewish.DB"});
    const Names others{"OrderHead.DB", "Options.DB", "RNR.DB"};
    std::map<std::string, std::string> before;
    for (const std::string& table : others)
        before[table] = TableBytes(table);

    CreateJobsDM(nullptr);
    TDataLink top, middle, bottom;
    top.SetBufferCount(10);
    middle.SetBufferCount(6);
    bottom.SetBufferCount(6);
    top.SetDataSource(JobsDM->JobsDS());
    middle.SetDataSource(JobsDM->SpecialDateDS());
    bottom.SetDataSource(JobsDM->Jobs2DS());
    ApplyBoardFilters();
    int rewrites = 0;
    JobsDM->JewishTable()->AfterPost = [&](TDataSet*) { ++rewrites; };
    const int topCount = JobsDM->JobsTable()->RecordCount();
    ASSERT_GT(topCount, 0);
    for (int tick = 0; tick < 1000; ++tick) {
        ASSERT_EQ(JobsDM->JobsTable()->RecordCount(), topCount);
        JobsDM->SpecialDateTable()->RecordCount();
        JobsDM->Jobs2Table()->RecordCount();
        JobsDM->JobsTable()->Refresh();
        JobsDM->Jobs2Table()->Refresh();
        JobsDM->RnRTable()->Refresh();
        JobsDM->SpecialDateTable()->Refresh();
    }
    EXPECT_GE(rewrites, 1000);
    top.SetDataSource(nullptr);
    middle.SetDataSource(nullptr);
    bottom.SetDataSource(nullptr);
    TComponent::Free(JobsDM);

    EXPECT_EQ(Jobsdb({"dump", "Jewish.DB"}), jewishBefore);
    for (const std::string& table : others)
        EXPECT_TRUE(TableBytes(table) == before[table]) << table << " was written";
}
