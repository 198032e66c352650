// The board on a job database kept on a database server that the test starts itself: the server
// shut down and started again under a running board, and several boards at once while the
// office writes. The office writes through psql; the model reads a copy of the server's tables
// made through libpq, never through our engine.

#include "app/BoardComparison.h"
#include "app/BoardModel.h"
#include "app/Program.h"
#include "app/ServerOffice.h"
#include "app/frmJobs.h"
#include "base/DateTime.h"
#include "data/Session.h"
#include "engine/PgServer.h"
#include "jobs/JobsDM.h"
#include "platform/HeadlessWindowSystem.h"
#include "support/TempDirectory.h"
#include "ui/Application.h"
#include "ui/Timer.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace ws::test {
namespace {

using engine::test::PgServer;

constexpr const char* kToday = "2026-03-02";

std::int64_t Day(int days) {
    return DateToDayNumber(ParseIso(kToday) + days);
}

// What the process writes to its standard error (the journal) while it lives.
class CapturedJournal {
public:
    explicit CapturedJournal(const std::string& path) : m_Path(path) {
        std::fflush(stderr);
        m_Saved = ::dup(2);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 2);
        ::close(file);
    }
    ~CapturedJournal() { Restore(); }
    CapturedJournal(const CapturedJournal&) = delete;
    CapturedJournal& operator=(const CapturedJournal&) = delete;
    // Puts standard error back; the lines written meanwhile.
    std::vector<std::string> Lines() {
        Restore();
        std::ifstream in(m_Path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    void Restore() {
        if (m_Saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_Saved, 2);
        ::close(m_Saved);
        m_Saved = -1;
    }
    std::string m_Path;
    int m_Saved = -1;
};

class ServerBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PgServer::Instance().Start())
            GTEST_SKIP() << "No database server: " << PgServer::Instance().Why();
        static int schemas = 0;
        m_Schema = "board_" + std::to_string(::getpid()) + "_" + std::to_string(++schemas);
        ServerReader(PgServer::Instance().ConnInfo()).Query("CREATE SCHEMA " + m_Schema);
        m_Config = m_Dir + "/engine.ini";
        std::ofstream(m_Config) << "[YardData]\nDRIVER=POSTGRES\nCONNINFO=" << ConnInfo() << "\n";
        ::setenv("YARD_ENGINE_CONFIG", m_Config.c_str(), 1);
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        m_PreviousRuntime = runtime ? runtime : "";
        ::setenv("XDG_RUNTIME_DIR", m_Dir.c_str(), 1);
        Session().AddAlias("YardData", "POSTGRES", {{"CONNINFO", ConnInfo()}});
        Jobsdb("init");
        m_Office = std::make_unique<Psql>(ConnInfo());
        m_Reader = std::make_unique<ServerReader>(ConnInfo());
        std::filesystem::create_directory(m_Dir + "/copy");
        m_Model = std::make_unique<model::BoardModel>(m_Dir + "/copy");
    }

    void TearDown() override {
        m_App.reset();
        m_System.reset();
        TComponent::Free(JobsDM);
        Session().Close();
        m_Office.reset();
        m_Reader.reset();
        if (m_PreviousRuntime.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", m_PreviousRuntime.c_str(), 1);
        if (!m_Schema.empty()) {
            try {
                ServerReader(PgServer::Instance().ConnInfo()).Query("DROP SCHEMA " + m_Schema + " CASCADE");
            } catch (const std::exception&) {
            }
        }
    }

    std::string ConnInfo() const { return PgServer::Instance().ConnInfo(m_Schema); }

    void Jobsdb(const std::string& args) {
        const std::string command =
            std::string(JOBSDB_PATH) + " --alias YardData " + args + " >'" + m_Dir + "/jobsdb.txt' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // A job on all three lists, and its detail rows.
    void AddJob(const std::string& no, int dueIn) {
        m_Office->Run("INSERT INTO \"OrderHead\" (\"OrderNo\", \"Name\", \"IsActive\", \"IsJewish\", "
                      "\"IsInterment\", \"Invoiced\", \"DateOffSet\", \"DueDate\") VALUES (" +
                      SqlLiteral(no) + ", " + SqlLiteral("Name of " + no) + ", true, true, true, false, 3, " +
                      std::to_string(Day(dueIn)) + ")");
        m_Office->Run("INSERT INTO \"Jewish\" (\"OrderNo\", \"Stone\", \"Position\") VALUES (" +
                      SqlLiteral(no) + ", 'Stone', 'Left')");
        m_Office->Run("INSERT INTO \"RNR\" (\"OrderNo\", \"Name\", \"CurrentLocation\") VALUES (" +
                      SqlLiteral(no) + ", 'Levi', 'Bay 1')");
    }
    void FillDatabase() {
        const char* bands[] = {"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"};
        for (int k = 0; k < 5; ++k)
            m_Office->Run("INSERT INTO \"Options\" (\"OptionName\", \"OptionValue\") VALUES ('Band " +
                          std::to_string(k + 1) + "', '" + bands[k] + "')");
        for (int i = 0; i < 4; ++i)
            AddJob("J" + std::to_string(i + 1), i * 5 - 2);
    }

    model::BoardModel& Model() {
        m_Reader->CopyTables(m_Dir + "/copy");
        return *m_Model;
    }

    void StartBoard() {
        platform::HeadlessOptions options;
        options.registryDirectory = m_Dir + "/windows";
        options.start = ParseIso(std::string(kToday) + " 10:00:00.000");
        m_System = std::make_unique<platform::HeadlessWindowSystem>(options);
        m_System->SetMessageBoxResponder(
            [this](const platform::MessageBoxRequest& r) { m_Boxes.push_back(r.text); });
        m_App = std::make_unique<TApplication>(*m_System);
        StartWallScreen();
        m_App->ShowMainFormAtStart();
        m_System->ProcessMessages();
        ASSERT_FALSE(Model().StartProgram().has_value());
    }

    void Tick() {
        m_System->AdvanceTime(5000);
        m_System->ProcessMessages();
    }

    void ExpectBoardAsModel(const std::string& when) {
        ASSERT_NE(ActiveJobsForm, nullptr) << when;
        const BoardDifferences differences =
            CompareBoard(*ActiveJobsForm, Model().Compute(DateTimeToMSecs(m_System->Now())));
        EXPECT_TRUE(differences.Empty()) << when << ":\n" << differences.Text();
    }

    // Ticks that meet the server gone: each says so in exactly one box and one journal line, and
    // the timer goes on.
    void FailingTicks(int ticks) {
        for (int t = 0; t < ticks; ++t) {
            SCOPED_TRACE("failing tick " + std::to_string(t + 1));
            const std::size_t reported = m_Boxes.size();
            CapturedJournal journal(m_Dir + "/journal.txt");
            Tick();
            const std::vector<std::string> lines = journal.Lines();
            ASSERT_EQ(m_Boxes.size(), reported + 1);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_NE(lines[0].find(m_Boxes.back().substr(0, m_Boxes.back().find('\n'))), std::string::npos)
                << lines[0];
            ASSERT_NE(ActiveJobsForm, nullptr);
            EXPECT_TRUE(ActiveJobsForm->Timer1()->Enabled());
        }
    }

    // The server is back: after an office change, the next tick shows it, without a box.
    void ExpectRecovery(const std::string& mark) {
        m_Office->Run("UPDATE \"OrderHead\" SET \"Name\" = " + SqlLiteral("Name " + mark) +
                      " WHERE \"OrderNo\" = 'J2'");
        m_Office->Run("UPDATE \"Jewish\" SET \"Stone\" = " + SqlLiteral("Stone " + mark) +
                      " WHERE \"OrderNo\" = 'J1'");
        AddJob("N" + mark, 4);
        const std::size_t reported = m_Boxes.size();
        Tick();
        Model().Tick();
        EXPECT_EQ(m_Boxes.size(), reported) << m_Boxes.back();
        ExpectBoardAsModel("the first tick after the server is back");
    }

    TempDirectory m_Temp{"ws-server-board"};
    const std::string m_Dir = m_Temp.Path();
    std::string m_Schema;
    std::string m_Config;
    std::string m_PreviousRuntime;
    std::unique_ptr<Psql> m_Office;
    std::unique_ptr<ServerReader> m_Reader;
    std::unique_ptr<model::BoardModel> m_Model;
    std::unique_ptr<platform::HeadlessWindowSystem> m_System;
    std::unique_ptr<TApplication> m_App;
    std::vector<std::string> m_Boxes;
};

// A restart between two ticks (every session ended meanwhile) costs the board nothing: each of
// its views has a new session at its first call, and the tick shows the office's changes. Down
// for several ticks, the board says so at each in one report, as for a table file that is gone,
// and the first tick after the server is back shows the rows without another.
TEST_F(ServerBoardTest, AServerRestartIsReportedOnceForEachTickItFailsAndTheNextTickShowsTheRows) {
    FillDatabase();
    StartBoard();
    ExpectBoardAsModel("at start");
    Tick();
    Model().Tick();
    ExpectBoardAsModel("the first tick");
    ASSERT_TRUE(m_Boxes.empty()) << m_Boxes.front();

    // Restarted while the board waits for its tick.
    ASSERT_TRUE(PgServer::Instance().Halt());
    ASSERT_TRUE(PgServer::Instance().Resume());
    m_Office = std::make_unique<Psql>(ConnInfo());
    m_Reader = std::make_unique<ServerReader>(ConnInfo());
    ExpectRecovery("restarted");

    // Down for three ticks.
    m_Office.reset();
    m_Reader.reset();
    ASSERT_TRUE(PgServer::Instance().Halt());
    FailingTicks(3);
    ASSERT_TRUE(PgServer::Instance().Resume());
    m_Office = std::make_unique<Psql>(ConnInfo());
    m_Reader = std::make_unique<ServerReader>(ConnInfo());
    ExpectRecovery("back");
    Tick();
    Model().Tick();
    ExpectBoardAsModel("a tick later");
    EXPECT_EQ(m_Boxes.size(), 3u);
}

} // namespace
} // namespace ws::test
