// The board starts and goes on when it may only read Jewish.DB: the office holds a write
// transaction on it, or the file cannot be written. The lists show the rows the files hold, the
// rewrite's failure is reported once, and the board rewrites again once it can.

#include "app/BoardFixture.h"
#include "app/TableFiles.h"
#include "data/Field.h"

#include <sys/stat.h>

namespace ws::test {
namespace {

class BoardReadOnlyTest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        PutBands({"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"});
        for (int i = 1; i <= 3; ++i) {
            const std::string no = "J" + std::to_string(i);
            PutJewish(no, Day(i));
            Put("Jewish.DB", {{"OrderNo", no}, {"Stone", "Stone " + no}, {"Position", "Left"}});
        }
    }

    static std::vector<std::string> Shown(TwsTable& view, const char* field) {
        std::vector<std::string> values;
        const int active = view.ActiveRecord();
        for (int i = 0; i < view.WindowRowCount(); ++i) {
            view.SetActiveRecord(i);
            values.push_back(view.FieldNamed(field)->AsString());
        }
        view.SetActiveRecord(active);
        return values;
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

TEST_F(BoardReadOnlyTest, StartsWhenJewishIsReadOnlyAndSaysSoOnce) {
    {
        // Everybody may read and write everything but what the case makes read-only.
        for (const auto& entry : std::filesystem::directory_iterator(m_Dir))
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
        ::chmod(m_Dir.c_str(), 0777);
        ::chmod((m_Dir + "/Jewish.DB").c_str(), 0444);
        {
            AsAnotherUser user;
            Start();
            ASSERT_NE(JobsDM, nullptr);
            ExpectBoardShowsTheOffice(kMemorials);
            Tick();
            Tick();
            ExpectBoardShowsTheOffice(kMemorials);
            // Said once, not at every tick: the rows are shown but not rewritten.
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "JewishTable: Cannot modify a read-only dataset.");
            TComponent::Free(JobsDM);
            app.reset();
            system.reset();
        }
        ::chmod((m_Dir + "/Jewish.DB").c_str(), 0666);
        EXPECT_EQ(JewishRows(), kRows);
    }
}

} // namespace
} // namespace ws::test
