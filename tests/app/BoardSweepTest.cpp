// Fault sweeps over the board: the n-th engine call of one refresh tick, and of start-up, fails,
// on its way in or once its work is done, for n = 1, 2, ... until the operation gets through
// untouched. Each time the board says so at most once, holds no row lock, has changed no row,
// and the next tick shows exactly what the table files hold, with the office's latest change.

#include "app/BoardFixture.h"
#include "app/TableFiles.h"
#include "data/Field.h"
#include "ui/Timer.h"

namespace ws::test {
namespace {

using engine::FaultInjector;

class BoardSweepTest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        PutSmallOffice();
    }

    // The office changes a Jewish.DB and an RNR.DB row with SQLite itself.
    void OfficeChanges(const std::string& mark) {
        sqlite3* db = nullptr;
        for (const auto& [file, sql] :
             {std::pair<std::string, std::string>{"Jewish.DB", "UPDATE records SET Stone = 'Stone " + mark +
                                                                   "' WHERE OrderNo = 'J2'"},
              {"RNR.DB", "UPDATE records SET CurrentLocation = 'Bay " + mark + "' WHERE OrderNo = 'R1'"}}) {
            ASSERT_EQ(sqlite3_open((m_Dir + "/" + file).c_str(), &db), SQLITE_OK);
            sqlite3_busy_timeout(db, 10000);
            EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                << sqlite3_errmsg(db);
            sqlite3_close(db);
        }
    }

    // The rows the grids paint against what the files hold.
    void ExpectBoardShowsTheFiles() {
        ASSERT_NE(JobsDM, nullptr);
        EXPECT_EQ(Header(),
                  "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 1 | Interment(Bottom) : 1");
        std::vector<std::string> memorials;
        for (const std::string& row : FileRows(m_Dir + "/Jewish.DB", "Stone || ' ' || Position", "OrderNo"))
            memorials.push_back(row);
        TwsTable& jobs = *JobsDM->JobsTable();
        EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J2"}));
        EXPECT_EQ(Shown(jobs, "Memorial"), memorials);
        EXPECT_EQ(Shown(*JobsDM->SpecialDateTable(), "OrderNo"), (std::vector<std::string>{"S1"}));
        TwsTable& jobs2 = *JobsDM->Jobs2Table();
        EXPECT_EQ(Shown(jobs2, "OrderNo"), (std::vector<std::string>{"R1"}));
        EXPECT_EQ(Shown(jobs2, "Site"), FileRows(m_Dir + "/RNR.DB", "CurrentLocation"));
        const TActiveJobsForm& form = *ActiveJobsForm;
        EXPECT_EQ(form.JobsGrid()->RowCount() - form.JobsGrid()->TitleOffset(), 2);
        EXPECT_EQ(form.SpecialDateGrid()->RowCount() - form.SpecialDateGrid()->TitleOffset(), 1);
        EXPECT_EQ(form.RnRGrid()->RowCount() - form.RnRGrid()->TitleOffset(), 1);
        EXPECT_TRUE(form.Timer1()->Enabled());
    }
    void ExpectNoRowLockHeld() {
        for (const char* table : {"OrderHead.DB", "Jewish.DB", "RNR.DB", "Options.DB"})
            EXPECT_FALSE(AnyRowLockHeld(m_Dir + "/" + table)) << table;
    }
    void Tick() { system->AdvanceTime(5000); }

    static const char* PointName(FaultInjector::Point point) {
        return point == FaultInjector::Point::OnEntry ? "on entry" : "after the work";
    }
};

TEST_F(BoardSweepTest, EveryFailingCallOfATickIsReportedAtMostOnceAndTheNextTickShowsTheFiles) {
    Start();
    ExpectBoardShowsTheFiles();
    ASSERT_TRUE(boxes.empty());
    for (const FaultInjector::Point point :
         {FaultInjector::Point::OnEntry, FaultInjector::Point::AfterWork}) {
        int n = 1;
        for (;; ++n) {
            SCOPED_TRACE(std::string(PointName(point)) + ", call " + std::to_string(n));
            const std::string before = AllRows(m_Dir);
            const std::size_t reported = boxes.size();
            FaultInjector::Scope faults;
            faults.FailNthCall(n, engine::esIOError, point);
            Tick();
            const std::string struck = FaultInjector::CountedFaultStruck();
            SCOPED_TRACE("struck " + struck);
            faults.Clear();
            EXPECT_LE(boxes.size(), reported + 1);
            EXPECT_EQ(AllRows(m_Dir), before);
            ExpectNoRowLockHeld();
            if (struck.empty()) {
                EXPECT_EQ(boxes.size(), reported);
                break;
            }
            OfficeChanges(std::to_string(n));
            const std::size_t afterFault = boxes.size();
            Tick();
            ExpectBoardShowsTheFiles();
            EXPECT_EQ(boxes.size(), afterFault);
            if (HasFailure())
                return;
        }
        // The sweep went through the whole tick: it has a good many engine calls.
        EXPECT_GT(n, 20) << PointName(point);
    }
}

// It found that a filter the engine failed to add at the first showing (call 166, on entry) left
// every list showing all four jobs, at that tick and every later one, until the next start.
TEST_F(BoardSweepTest, EveryFailingCallOfStartUpLeavesNoLockNorChangeAndTheNextStartShowsTheFiles) {
    for (const FaultInjector::Point point :
         {FaultInjector::Point::OnEntry, FaultInjector::Point::AfterWork}) {
        int n = 1;
        // Start-up makes some 290 engine calls, and each step starts the board twice: beyond
        // the first 40 every 42nd call is failed (call 166 among them), to keep the sweep near a
        // minute and a half on the sanitizer build.
        for (;; n += n < 40 ? 1 : 42) {
            SCOPED_TRACE(std::string(PointName(point)) + ", call " + std::to_string(n));
            const std::string before = AllRows(m_Dir);
            MakeProgram();
            boxes.clear();
            FaultInjector::Scope faults;
            faults.FailNthCall(n, engine::esIOError, point);
            bool started = true;
            try {
                Start();
            } catch (const std::exception&) {
                // Start-up that fails ends the program after its "Application Error" box.
                started = false;
                EXPECT_EQ(JobsDM, nullptr);
            }
            const std::string struck = FaultInjector::CountedFaultStruck();
            SCOPED_TRACE("struck " + struck);
            faults.Clear();
            if (started) {
                // A fault the views got over: the board runs and says so at most once.
                EXPECT_LE(boxes.size(), 1u);
                const std::size_t reported = boxes.size();
                OfficeChanges("s" + std::to_string(n));
                Tick();
                ExpectBoardShowsTheFiles();
                EXPECT_EQ(boxes.size(), reported);
            }
            TComponent::Free(JobsDM);
            app.reset();
            system.reset();
            if (!started) {
                EXPECT_EQ(AllRows(m_Dir), before);
            }
            ExpectNoRowLockHeld();
            // The next start without the fault (as the morning's restart) shows the files.
            MakeProgram();
            boxes.clear();
            Start();
            ExpectBoardShowsTheFiles();
            EXPECT_TRUE(boxes.empty());
            TComponent::Free(JobsDM);
            app.reset();
            system.reset();
            if (struck.empty() || HasFailure())
                break;
        }
        EXPECT_GT(n, 20) << PointName(point);
    }
}

} // namespace
} // namespace ws::test
