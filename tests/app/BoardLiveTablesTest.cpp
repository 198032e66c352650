// The board shows the tables as the office has just left them, at the very next tick: a job that
// leaves its list, a detail row or a band colour changed elsewhere, a table file restored from a
// backup. The rows checked are those of each view's row window, which its grid paints.

#include "app/BoardFixture.h"
#include "app/ColorBands.h"
#include "data/Field.h"

#include <filesystem>

namespace ws::test {
namespace {

class BoardLiveTablesTest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        PutBands({"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"});
    }

    void Tick() { system->AdvanceTime(5000); }
};

TEST_F(BoardLiveTablesTest, AJobThatLeavesItsListLeavesTheBoardAtTheNextTick) {
    for (int i = 1; i <= 3; ++i) {
        const std::string no = "J" + std::to_string(i);
        PutJewish(no, Day(i));
        Put("Jewish.DB", {{"OrderNo", no}, {"Stone", "Stone " + no}, {"Position", "Left"}});
    }
    Start();
    TwsTable& jobs = *JobsDM->JobsTable();
    EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J2", "J3"}));

    Jobsdb({"update", "OrderHead.DB", "OrderNo=J1", "IsActive=False"});
    for (int tick = 0; tick < 3; ++tick) {
        SCOPED_TRACE(tick);
        Tick();
        EXPECT_EQ(Header(),
                  "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 0 | Interment(Bottom) : 0");
        EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J2", "J3"}));
        EXPECT_EQ(Shown(jobs, "Memorial"), (std::vector<std::string>{"Stone J2 Left", "Stone J3 Left"}));
        EXPECT_NE(jobs.FieldNamed("OrderNo")->AsString(), "J1");
        EXPECT_EQ(ActiveJobsForm->JobsGrid()->RowCount() - ActiveJobsForm->JobsGrid()->TitleOffset(), 2);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BoardLiveTablesTest, DetailRowsAndBandColorsChangedElsewhereShowAtTheNextTick) {
    PutJewish("J1", Day(1));
    Put("Jewish.DB", {{"OrderNo", "J1"}, {"Stone", "Grey"}, {"Position", "Left"}});
    PutInterment("R1", Day(2));
    Put("RNR.DB", {{"OrderNo", "R1"}, {"Name", "Levi"}, {"CurrentLocation", "Bay 1"}});
    Start();
    TwsTable& jobs = *JobsDM->JobsTable();
    TwsTable& jobs2 = *JobsDM->Jobs2Table();
    EXPECT_EQ(Shown(jobs2, "Site"), (std::vector<std::string>{"Bay 1"}));

    Jobsdb({"update", "RNR.DB", "OrderNo=R1", "CurrentLocation=Bay 2"});
    Jobsdb({"update", "Jewish.DB", "OrderNo=J1", "Stone=Black"});
    Jobsdb({"update", "Options.DB", "OptionName=Band 1", "OptionValue=clNavy"});
    Tick();
    EXPECT_EQ(Shown(jobs2, "Site"), (std::vector<std::string>{"Bay 2"}));
    EXPECT_EQ(Shown(jobs, "Memorial"), (std::vector<std::string>{"Black Left"}));
    EXPECT_EQ(BandColours[0], "clNavy");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BoardLiveTablesTest, ATableFileRestoredFromABackupIsShownAtTheNextTick) {
    for (int i = 1; i <= 3; ++i)
        PutJewish("J" + std::to_string(i), Day(i));
    // No program has the table open: the file alone is a whole copy.
    const std::string table = m_Dir + "/OrderHead.DB";
    const std::string backup = m_Dir + "/OrderHead.backup";
    std::filesystem::copy_file(table, backup);
    Start();
    // Written while the board has the table open: it sits in the old file's log.
    PutJewish("J4", Day(4));
    Tick();
    TwsTable& jobs = *JobsDM->JobsTable();
    EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J2", "J3", "J4"}));

    std::filesystem::rename(backup, table);
    Tick();
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 3 | Special date(Middle) : 0 | Interment(Bottom) : 0");
    EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J2", "J3"}));
    EXPECT_TRUE(boxes.empty());

    // Gone for a moment: the tick reports it; once the file is back the board goes on.
    std::filesystem::rename(table, backup);
    Tick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("Table does not exist"), std::string::npos) << boxes[0].text;
    std::filesystem::rename(backup, table);
    Jobsdb({"update", "OrderHead.DB", "OrderNo=J2", "IsActive=False"});
    Tick();
    Tick();
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 2 | Special date(Middle) : 0 | Interment(Bottom) : 0");
    EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J3"}));
}

} // namespace
} // namespace ws::test
