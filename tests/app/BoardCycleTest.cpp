// The board as a whole: how the three lists are stacked under the header so that every job can
// be seen, the five-second refresh with the nightly close, and the error reports of a board that
// nobody attends.

#include "app/BoardFixture.h"
#include "base/Exception.h"
#include "data/Field.h"
#include "ui/Timer.h"

namespace ws::test {
namespace {

class BoardCycleTest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        PutBands({"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"});
    }

    // The lists from the top down: grid and the number of jobs it must show.
    struct Listed {
        TwsDBGrid* grid;
        int jobs;
        int pitch;
    };
    std::vector<Listed> Lists(int jewish, int specialDate, int interment) const {
        const TActiveJobsForm& form = *ActiveJobsForm;
        return {{form.JobsGrid(), jewish, 33},
                {form.SpecialDateGrid(), specialDate, 28},
                {form.RnRGrid(), interment, 33}};
    }

    // Every list is placed by the rule, and every job's row lies whole inside its grid and the
    // window, and no grid covers another or more of the header than the first grid's top seam.
    void ExpectEveryJobVisible(int jewish, int specialDate, int interment) {
        int top = 32;
        for (const Listed& list : Lists(jewish, specialDate, interment)) {
            TwsDBGrid& grid = *list.grid;
            SCOPED_TRACE(grid.Name());
            EXPECT_EQ(grid.Top(), top);
            EXPECT_EQ(grid.Visible(), list.jobs > 0);
            if (list.jobs == 0) {
                EXPECT_EQ(grid.Height(), 0);
                continue;
            }
            EXPECT_EQ(grid.Height(), std::max(list.jobs * list.pitch, grid.HeightForRows(list.jobs)));
            ASSERT_EQ(grid.RowCount() - grid.TitleOffset(), list.jobs);
            for (int row = grid.TitleOffset(); row < grid.RowCount(); ++row) {
                const TRect cell = grid.CellRect(0, row);
                ASSERT_FALSE(cell.IsEmpty()) << row;
                EXPECT_LE(cell.bottom, grid.ClientHeight()) << row;
                EXPECT_LE(grid.Top() + TCustomGrid::BorderWidth + cell.bottom, TActiveJobsForm::RunHeight)
                    << row;
            }
            top = grid.Top() + grid.Height();
        }
    }
};

TEST_F(BoardCycleTest, FourTwoAndThreeJobsAreStackedWholeUnderTheHeader) {
    for (int i = 1; i <= 4; ++i)
        PutJewish("J" + std::to_string(i), Day(i * 5));
    PutSpecialDate("S1", Day(1));
    PutSpecialDate("S2", Day(9));
    for (int i = 1; i <= 3; ++i)
        PutInterment("R" + std::to_string(i), Day(i));
    Start();

    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 4 | Special date(Middle) : 2 | Interment(Bottom) : 3");
    ExpectEveryJobVisible(4, 2, 3);
    // At least the designed pitch per job.
    EXPECT_GE(ActiveJobsForm->JobsGrid()->Height(), 132);
    EXPECT_GE(ActiveJobsForm->SpecialDateGrid()->Height(), 56);
    EXPECT_GE(ActiveJobsForm->RnRGrid()->Height(), 99);
}

TEST_F(BoardCycleTest, EmptyListsAreHiddenAndTheOthersMoveUpWithoutCoveringTheHeader) {
    PutSpecialDate("S1", Day(1));
    PutInterment("R1", Day(2));
    Start();
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 0 | Special date(Middle) : 1 | Interment(Bottom) : 1");
    ExpectEveryJobVisible(0, 1, 1);

    Jobsdb({"delete", "OrderHead.DB", "OrderNo=S1"});
    Jobsdb({"delete", "OrderHead.DB", "OrderNo=R1"});
    system->AdvanceTime(5000);
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 0 | Special date(Middle) : 0 | Interment(Bottom) : 0");
    ExpectEveryJobVisible(0, 0, 0);
}

TEST_F(BoardCycleTest, AJobAddedElsewhereAppearsWithinOneTickAndANameEditDoesNotRestack) {
    PutJewish("J1", Day(10));
    PutInterment("R1", Day(2));
    TActiveJobsForm& form = Start();
    ExpectEveryJobVisible(1, 0, 1);

    PutJewish("J2", Day(12));
    system->AdvanceTime(5000);
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 0 | Interment(Bottom) : 1");
    ExpectEveryJobVisible(2, 0, 1);

    // Moved by hand: only a re-stacking would put it back.
    const int rnrTop = form.RnRGrid()->Top();
    form.RnRGrid()->SetTop(rnrTop + 7);
    Jobsdb({"update", "OrderHead.DB", "OrderNo=J1", "Name=Renamed"});
    system->AdvanceTime(5000);
    EXPECT_EQ(form.RnRGrid()->Top(), rnrTop + 7);
    TwsTable& jobs = *JobsDM->JobsTable();
    ASSERT_TRUE(jobs.Locate("OrderNo", "J1"));
    EXPECT_EQ(jobs.FieldNamed("Name")->AsString(), "Renamed");
}

TEST_F(BoardCycleTest, ARecordTheOfficeKeepsOpenNeitherEmptiesTheListNorStopsTheTick) {
    for (const char* no : {"J1", "J2", "J3"}) {
        PutJewish(no, Day(10));
        Put("Jewish.DB", {{"OrderNo", no}, {"Stone", std::string("Stone ") + no}, {"Position", "Left"}});
    }
    PutInterment("R1", Day(2));
    Start();
    boxes.clear();

    LockHolder holder(m_Dir, "Jewish.DB", "OrderNo", "J2");
    ASSERT_TRUE(holder.Locked());
    PutInterment("R2", Day(3));
    system->AdvanceTime(5000);
    // The tick ran to its end: the new interment job is counted and the lists re-stacked.
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 3 | Special date(Middle) : 0 | Interment(Bottom) : 2");
    ExpectEveryJobVisible(3, 0, 2);
    TwsTable& jobs = *JobsDM->JobsTable();
    ASSERT_TRUE(jobs.Locate("OrderNo", "J3"));
    EXPECT_EQ(jobs.FieldNamed("Memorial")->AsString(), "Stone J3 Left");
    ASSERT_TRUE(jobs.Locate("OrderNo", "J2"));
    EXPECT_EQ(jobs.FieldNamed("Memorial")->AsString(), "Stone J2 Left");
    // Reported once by the default error report, after the paint that met it, and not again
    // while the same lock lasts.
    system->AdvanceTime(100);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("Record locked by another user", 0), 0u) << boxes[0].text;
    system->AdvanceTime(10000);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(BoardCycleTest, ATickBehindTheFirstBandWarningCountsUnfilteredAndTheShowingPutsItRight) {
    Jobsdb({"delete", "Options.DB", "OptionName=Band 5"});
    PutJewish("J1", Day(10));
    PutInterment("R1", Day(2));
    PutJob("Inactive", Day(3), {{"IsActive", "False"}});
    std::string headerBehindBox;
    onBox = [&](const platform::MessageBoxRequest&) {
        system->AdvanceTime(5000);
        headerBehindBox = Header();
    };
    Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(headerBehindBox,
              "Active Jobs - Jewish(Top) : 3 | Special date(Middle) : 3 | Interment(Bottom) : 3");
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 1 | Special date(Middle) : 0 | Interment(Bottom) : 1");
    ExpectEveryJobVisible(1, 0, 1);
}

TEST_F(BoardCycleTest, AFailingFirstShowingIsReportedAndTheWindowShownAllTheSame) {
    StartWallScreen();
    JobsDM->OptionsTable()->Close();
    app->ShowMainFormAtStart();
    system->ProcessMessages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, platform::MessageBoxIcon::Error);
    EXPECT_TRUE(system->IsShowing(ActiveJobsForm->Handle()));
    EXPECT_FALSE(app->Terminated());
}

TEST_F(BoardCycleTest, TheNextTickUndoesMinimising) {
    Start();
    const platform::WindowId window = ActiveJobsForm->Handle();
    system->UserMinimize();
    EXPECT_FALSE(system->IsShowing(window));
    system->AdvanceTime(5000);
    EXPECT_FALSE(app->IsMinimized());
    EXPECT_TRUE(system->IsShowing(window));
    EXPECT_TRUE(system->IsInTopMostLayer(window));
}

TEST_F(BoardCycleTest, TheNightlyCloseWindowIsOpenOnBothEnds) {
    EXPECT_FALSE(NightlyCloseDue(At("00:00:30.000")));
    EXPECT_FALSE(NightlyCloseDue(At("00:01:01.001")));
    EXPECT_TRUE(NightlyCloseDue(At("00:01:01.002")));
    EXPECT_TRUE(NightlyCloseDue(At("00:01:02.000")));
    EXPECT_TRUE(NightlyCloseDue(At("00:59:59.000")));
    EXPECT_TRUE(NightlyCloseDue(At("00:59:59.998")));
    EXPECT_FALSE(NightlyCloseDue(At("01:00:00.000")));
    EXPECT_FALSE(NightlyCloseDue(At("23:59:59.999")));
}

TEST_F(BoardCycleTest, TicksOutsideTheWindowRunOnAndOneInsideEndsTheProgramAfterItsTick) {
    PutJewish("J1", Day(10));
    TActiveJobsForm& form = Start();
    for (const char* time : {"00:00:30.000", "00:01:01.001", "01:00:00.000"}) {
        system->SetDateTime(At(time, 1));
        form.Timer1Timer(nullptr);
        EXPECT_FALSE(app->Terminated()) << time;
    }
    // The closing tick still runs to its end: the header sees the job added meanwhile.
    PutJewish("J2", Day(11));
    system->SetDateTime(At("00:59:59.000", 1));
    form.Timer1Timer(nullptr);
    EXPECT_TRUE(app->Terminated());
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 0 | Interment(Bottom) : 0");
}

TEST_F(BoardCycleTest, TheProgramEndsByItselfAtTheFirstTickAfterOneMinutePastMidnight) {
    app.reset();
    system->SetDateTime(At("00:00:50.000", 1));
    const int code = RunWallScreen(*system);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(system->Terminated());
    // Ticks at 00:00:55, 00:01:00 and 00:01:05, the last of which closed.
    EXPECT_EQ(DateTimeToMSecs(system->Now()), DateTimeToMSecs(At("00:01:05.000", 1)));
}

TEST_F(BoardCycleTest, ANightlyCloseWhileAMessageBoxIsOpenEndsTheProgram) {
    app.reset();
    Jobsdb({"delete", "Options.DB", "OptionName=Band 5"});
    system->SetDateTime(At("00:00:58.000", 1));
    // Nobody answers the band warning; the ticks go on behind it.
    bool answered = false;
    onBox = [&](const platform::MessageBoxRequest&) {
        system->AdvanceTime(60'000);
        answered = !system->Terminated();
    };
    const int code = RunWallScreen(*system);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, BandWarningText(4));
    // The box was closed by the close itself, not by anybody answering it.
    EXPECT_FALSE(answered);
}

TEST_F(BoardCycleTest, AFailingTickIsReportedOnceWhileItsReportIsOpenAndTheTicksGoOnBehindIt) {
    PutJewish("J1", Day(10));
    Start();
    boxes.clear();
    engine::FaultInjector::Scope faults;
    std::string headerBehindBox;
    // Nobody answers the first report for 20 seconds. Two more ticks meet the same failure, one
    // a new failure, and then the engine works again and the office adds a job.
    onBox = [&](const platform::MessageBoxRequest&) {
        if (boxes.size() != 1)
            return;
        system->AdvanceTime(10'000);
        faults.FailOperation("ForceReread", engine::esBusyTimeout);
        system->AdvanceTime(5'000);
        faults.Clear();
        PutJewish("J2", Day(11));
        system->AdvanceTime(5'000);
        headerBehindBox = Header();
    };
    faults.FailOperation("ForceReread", engine::esIOError);
    system->AdvanceTime(5000);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon, platform::MessageBoxIcon::Error);
    EXPECT_NE(boxes[0].text, boxes[1].text);
    EXPECT_EQ(headerBehindBox,
              "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 0 | Interment(Bottom) : 0");
    // Once it is answered, the same failure is reported again.
    faults.FailOperation("ForceReread", engine::esIOError);
    system->AdvanceTime(5000);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, boxes[0].text);
}

TEST_F(BoardCycleTest, StartedMinimisedTheBandWarningOfTheFirstTickDoesNotStopTheTicks) {
    Jobsdb({"delete", "Options.DB", "OptionName=Band 5"});
    PutJewish("J1", Day(10));
    system->SetStartupShowRequest(platform::StartupShow::MinimizedNoActivate);
    std::string headerBehindBox;
    onBox = [&](const platform::MessageBoxRequest&) {
        PutJewish("J2", Day(11));
        system->AdvanceTime(10'000);
        headerBehindBox = Header();
    };
    Start();
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(system->IsShowing(ActiveJobsForm->Handle()));
    // The first tick un-minimises the program; its first showing warns of the missing band.
    system->AdvanceTime(5000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, BandWarningText(4));
    // Behind the box the ticks saw the job added meanwhile, in the views not yet filtered.
    EXPECT_EQ(headerBehindBox,
              "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 2 | Interment(Bottom) : 2");
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 0 | Interment(Bottom) : 0");
    EXPECT_TRUE(system->IsShowing(ActiveJobsForm->Handle()));
}

TEST_F(BoardCycleTest, TheNightlyCloseReadsTheClockToTheWholeMillisecond) {
    struct Case {
        const char* tick;
        bool closes;
    };
    for (const Case& c : {Case{"00:01:01.001", false}, Case{"00:01:01.002", true}, Case{"00:59:59.999", true},
                          Case{"01:00:00.000", false}}) {
        MakeProgram();
        app.reset();
        // The first tick falls five seconds after start-up, at the moment of the case.
        const std::int64_t tick = DateTimeToMSecs(At(c.tick, 1));
        system->SetDateTime(MSecsToDateTime(tick - 5000));
        system->SetTimer(5500, [this] { system->Terminate(); });
        EXPECT_EQ(RunWallScreen(*system), 0);
        const std::int64_t ended = DateTimeToMSecs(system->Now());
        EXPECT_EQ(ended, c.closes ? tick : tick + 500) << c.tick;
    }
}

TEST_F(BoardCycleTest, AReportOfAnotherClassWithTheSameMessageIsStillShown) {
    Start();
    onBox = [&](const platform::MessageBoxRequest&) {
        if (boxes.size() == 1) {
            app->HandleException(EInvalidOperation("Disk full"));
            app->HandleException(EConvertError("Disk full"));
        }
    };
    app->HandleException(EInvalidOperation("Disk full"));
    EXPECT_EQ(boxes.size(), 2u);
}

} // namespace
} // namespace ws::test

namespace ws::test {
namespace {

// The top grid's painted "Name=Memorial" pairs, as a person reads them off the board.
std::vector<std::string> TopMemorials() {
    std::vector<std::string> rows;
    for (const TwsPaintedRow& row : ActiveJobsForm->JobsGrid()->PaintedRows()) {
        std::string orderNo = "?";
        std::string memorial = "?";
        for (const TwsPaintedCell& cell : row.Cells) {
            if (cell.Field == "Name")
                orderNo = cell.Text.substr(cell.Text.rfind(' ') + 1);
            else if (cell.Field == "Memorial")
                memorial = cell.Text;
        }
        rows.push_back(orderNo + "=" + memorial);
    }
    return rows;
}

using LiveDataBoardTest = BoardCycleTest;

} // namespace

TEST_F(LiveDataBoardTest, DeletedDetailRowsAndFailedRewritesLeaveTheNextTickExact) {
    const std::string euros = [] {
        std::string text;
        for (int i = 0; i < 80; ++i)
            text += "\u20AC";
        return text;
    }();
    PutJewish("J1", Day(10));
    PutJewish("J2", Day(11));
    PutJewish("J3", Day(12));
    Put("Jewish.DB", {{"OrderNo", "J1"}, {"Stone", "Stone J1"}, {"Position", "Left"}});
    Put("Jewish.DB", {{"OrderNo", "J2"}, {"Stone", euros}, {"Position", "Left"}});
    Put("Jewish.DB", {{"OrderNo", "J3"}, {"Stone", "Stone J3"}, {"Position", "Left"}});
    Start();
    const std::vector<std::string> all{"J1=Stone J1 Left", "J2=" + euros, "J3=Stone J3 Left"};
    EXPECT_EQ(TopMemorials(), all);
    boxes.clear();

    // The office deletes the first job's Jewish.DB row: no error, the job shows no memorial.
    Jobsdb({"delete", "Jewish.DB", "OrderNo=J1"});
    const std::vector<std::string> rest{"J1=", "J2=" + euros, "J3=Stone J3 Left"};
    for (int tick = 0; tick < 2; ++tick) {
        system->AdvanceTime(5000);
        EXPECT_EQ(TopMemorials(), rest);
    }
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;

    // One tick's rewrite fails: it is reported, and the ticks after it show every row again.
    engine::FaultInjector::Scope faults;
    faults.FailOperation("ModifyRecord", engine::esIOError);
    system->AdvanceTime(5000);
    faults.Clear();
    system->AdvanceTime(100);
    ASSERT_EQ(boxes.size(), 1u);
    system->AdvanceTime(5000);
    EXPECT_EQ(TopMemorials(), rest);
    EXPECT_EQ(JobsDM->JewishTable()->State(), dsBrowse);
    EXPECT_EQ(boxes.size(), 1u);
}

} // namespace ws::test
