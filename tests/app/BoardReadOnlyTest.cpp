// The board starts and goes on when it may only read Jewish.DB: the office holds a write
// transaction on it, the file cannot be written, or the whole directory cannot be. The lists show
// the rows the files hold, the rewrite's failure is reported once, and the board rewrites again
// once it can, without a restart.

#include "app/BoardComparison.h"
#include "app/BoardFixture.h"
#include "app/TableFiles.h"
#include "base/DateTime.h"
#include "data/Field.h"
#include "data/LockHolder.h"

#include <optional>
#include <sys/stat.h>

namespace ws::test {
namespace {

class BoardReadOnlyTest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        PutBands({"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"});
        PutJewishMemorials(3);
    }

    // What the office's Jewish.DB holds, read with SQLite itself.
    std::vector<std::string> JewishRows() const {
        return FileRows(m_Dir + "/Jewish.DB", "OrderNo, Stone, Position", "OrderNo");
    }
    void ExpectBoardShowsTheOffice(const std::vector<std::string>& memorials) {
        TwsTable& jobs = *JobsDM->JobsTable();
        EXPECT_EQ(Header(),
                  "Active Jobs - Jewish(Top) : 3 | Special date(Middle) : 0 | Interment(Bottom) : 0");
        EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J2", "J3"}));
        EXPECT_EQ(Shown(jobs, "Memorial"), memorials);
        EXPECT_EQ(ActiveJobsForm->JobsGrid()->RowCount() - ActiveJobsForm->JobsGrid()->TitleOffset(), 3);
    }
    void Tick() { system->AdvanceTime(5000); }

    const std::vector<std::string> kMemorials{"Stone J1 Left", "Stone J2 Left", "Stone J3 Left"};
    const std::vector<std::string> kRows{"J1|Stone J1|Left", "J2|Stone J2|Left", "J3|Stone J3|Left"};
};

TEST_F(BoardReadOnlyTest, StartsAndTicksWhileTheOfficeHoldsAWriteTransactionOnJewish) {
    WriteTransactionHolder office(m_Dir + "/Jewish.DB");
    ASSERT_TRUE(office.Held());
    Start();
    ASSERT_NE(JobsDM, nullptr);
    ExpectBoardShowsTheOffice(kMemorials);
    for (int tick = 0; tick < 3; ++tick)
        Tick();
    ExpectBoardShowsTheOffice(kMemorials);
    // The unchanged rewrite writes nothing, so it neither waits for the office nor fails.
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(JewishRows(), kRows);

    // What the office commits shows at the next tick.
    office.Release();
    Jobsdb({"update", "Jewish.DB", "OrderNo=J2", "Stone=Black"});
    Tick();
    ExpectBoardShowsTheOffice({"Stone J1 Left", "Black Left", "Stone J3 Left"});
    EXPECT_TRUE(boxes.empty());
}

// As a user without write permission: root writes any file, so the test takes another identity
// for a while, real and effective alike (permission checks look at either), keeping root as the
// saved one to come back to.
class AsAnotherUser {
public:
    AsAnotherUser() {
        if (::geteuid() == 0)
            m_Switched = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
    }
    ~AsAnotherUser() {
        if (m_Switched) {
            EXPECT_EQ(::setresuid(0, 0, 0), 0);
            EXPECT_EQ(::setresgid(0, 0, 0), 0);
        }
    }
    AsAnotherUser(const AsAnotherUser&) = delete;
    AsAnotherUser& operator=(const AsAnotherUser&) = delete;

private:
    bool m_Switched = false;
};

// The painted rows against the model of the board worked out from the files (read as root,
// who may read a directory that no one may write).
void ExpectBoardAsTheModel(const TActiveJobsForm& form, const model::BoardModel& board, TDateTime now) {
    const BoardDifferences differences = CompareBoard(form, board.Compute(DateTimeToMSecs(now)));
    EXPECT_TRUE(differences.Empty()) << differences.Text();
}

class BoardReadOnlyFilesTest : public BoardReadOnlyTest {
protected:
    void SetUp() override {
        BoardReadOnlyTest::SetUp();
        // Everybody may read and write everything but what the case makes read-only; the named
        // mutex's lock file lives in a directory of its own that stays writable.
        const std::string run = m_Dir + "/run";
        std::filesystem::create_directory(run);
        ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_Dir))
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
        ::chmod(m_Dir.c_str(), 0777);
        board.emplace(m_Dir);
    }
    void TearDown() override {
        user.reset();
        ::chmod(m_Dir.c_str(), 0777);
        BoardReadOnlyTest::TearDown();
    }

    // Starts the board as another user and checks it against the model, as root.
    void StartAsAnotherUser() {
        user.emplace();
        Start();
        user.reset();
        ASSERT_NE(JobsDM, nullptr);
        board->StartProgram();
        ExpectBoardShowsTheOffice(kMemorials);
        ExpectBoardAsTheModel(*ActiveJobsForm, *board, system->Now());
    }
    void TickAsAnotherUser() {
        user.emplace();
        Tick();
        system->AdvanceTime(100);
        user.reset();
        board->Tick();
        ExpectBoardAsTheModel(*ActiveJobsForm, *board, system->Now());
    }
    // Once it may write again, the board rewrites Jewish.DB rows at the next tick, as a row the
    // office keeps locked shows: its lock is met, and said once.
    void ExpectRewritesAgain(std::size_t reportedBefore) {
        user.emplace();
        {
            LockHolder office(m_Dir, "Jewish.DB", "OrderNo", "J2");
            ASSERT_TRUE(office.Locked());
            Tick();
            system->AdvanceTime(100);
            EXPECT_TRUE(JobsDM->JewishTable()->CanModify());
            ASSERT_EQ(boxes.size(), reportedBefore + 1);
            EXPECT_EQ(boxes.back().text.rfind("Record locked by another user", 0), 0u) << boxes.back().text;
        }
        user.reset();
        board->Tick();
        ExpectBoardAsTheModel(*ActiveJobsForm, *board, system->Now());
        TickAsAnotherUser();
        EXPECT_EQ(boxes.size(), reportedBefore + 1);
        ExpectBoardShowsTheOffice(kMemorials);
        EXPECT_EQ(JewishRows(), kRows);
    }

    std::optional<model::BoardModel> board;
    std::optional<AsAnotherUser> user;
};

TEST_F(BoardReadOnlyFilesTest, AReadOnlyJewishIsShownSaidOnceAndRewrittenAgainOnceWritable) {
    ::chmod((m_Dir + "/Jewish.DB").c_str(), 0444);
    StartAsAnotherUser();
    TickAsAnotherUser();
    TickAsAnotherUser();
    ExpectBoardShowsTheOffice(kMemorials);
    // Said once, not at every tick: the rows are shown but not rewritten.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "JewishTable: Cannot modify a read-only dataset.");
    EXPECT_FALSE(JobsDM->JewishTable()->CanModify());
    EXPECT_EQ(JewishRows(), kRows);

    ::chmod((m_Dir + "/Jewish.DB").c_str(), 0666);
    ExpectRewritesAgain(1);
}

TEST_F(BoardReadOnlyFilesTest, ADirectoryNoOneMayWriteIsReadFollowedAndWrittenAgainOnceItMayBe) {
    // Files in write-ahead mode need their log and its index beside them, even to be read; in a
    // directory that cannot be written the board reads the files as they stand.
    ::chmod(m_Dir.c_str(), 0555);
    StartAsAnotherUser();
    TickAsAnotherUser();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "JewishTable: Cannot modify a read-only dataset.");

    // What the office writes (it may) shows at the next tick, in every list.
    Jobsdb({"update", "Jewish.DB", "OrderNo=J2", "Stone=Black"});
    PutJewish("J4", Day(4));
    PutInterment("R1", Day(2));
    TickAsAnotherUser();
    EXPECT_EQ(Header(), "Active Jobs - Jewish(Top) : 4 | Special date(Middle) : 0 | Interment(Bottom) : 1");
    TwsTable& jobs = *JobsDM->JobsTable();
    EXPECT_EQ(Shown(jobs, "OrderNo"), (std::vector<std::string>{"J1", "J2", "J3", "J4"}));
    EXPECT_EQ(Shown(jobs, "Memorial"),
              (std::vector<std::string>{"Stone J1 Left", "Black Left", "Stone J3 Left", ""}));
    EXPECT_EQ(boxes.size(), 1u);

    Jobsdb({"update", "Jewish.DB", "OrderNo=J2", "Stone=Stone J2"});
    Jobsdb({"delete", "OrderHead.DB", "OrderNo=J4"});
    Jobsdb({"delete", "OrderHead.DB", "OrderNo=R1"});
    for (const auto& entry : std::filesystem::directory_iterator(m_Dir))
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
    ::chmod(m_Dir.c_str(), 0777);
    ExpectRewritesAgain(1);
}

} // namespace
} // namespace ws::test
