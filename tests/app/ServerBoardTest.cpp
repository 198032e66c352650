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
#include "data/LockHolder.h"
#include "data/Session.h"
#include "engine/PgServer.h"
#include "jobs/JobsDM.h"
#include "platform/HeadlessWindowSystem.h"
#include "support/Jobsdb.h"
#include "support/TempDirectory.h"
#include "ui/Application.h"
#include "ui/Timer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

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
        Jobsdb({"init"});
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

    void Jobsdb(std::vector<std::string> words) {
        words.insert(words.begin(), {"--alias", "YardData"});
        const ProgramRun run = RunJobsdb(words);
        ASSERT_TRUE(run.Succeeded()) << run.Report();
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

// A wall screen as the program it is (wallscreen-snapshot) on the server alias YardData, one
// refresh tick at a time: before each tick it announces that it is idle (the file ready-N-TICK in
// 'sync') and waits for the test's go-N-TICK. Each board has a runtime directory of its own, as
// three wall screens on three computers have. The wait ends too once the test's directory is gone.
class BoardProcess {
public:
    BoardProcess(const std::string& dir, int number, int ticks, const std::string& at)
        : m_Dir(dir + "/board" + std::to_string(number)), m_Number(number) {
        std::filesystem::create_directories(m_Dir + "/run");
        const std::string sync = dir + "/sync";
        const std::string turn = "touch " + sync + "/ready-" + std::to_string(number) +
                                 "-$TICK; while [ ! -e " + sync + "/go-" + std::to_string(number) +
                                 "-$TICK ] && [ -d " + sync + " ]; do sleep 0.01; done";
        m_Process.emplace(std::vector<std::string>{SNAPSHOT_PATH, "--at", at, "--ticks",
                                                   std::to_string(ticks), "--json-dir", m_Dir + "/ticks",
                                                   "--json", m_Dir + "/final.json", "--between-ticks", turn},
                          std::vector<std::string>{"XDG_RUNTIME_DIR=" + m_Dir + "/run"},
                          m_Dir + "/errors.txt");
    }

    bool Started() const { return m_Process->Started(); }
    // Whether the process still runs; its exit status once it has ended.
    bool Running() { return m_Process->Started() && m_Process->Running(); }
    int ExitStatus() { return m_Process->Wait(std::chrono::milliseconds(0)); }
    std::string Errors() const { return ReadAll(m_Dir + "/errors.txt"); }
    nlohmann::json Account(const std::string& file) const {
        return nlohmann::json::parse(ReadAll(m_Dir + "/" + file), nullptr, false);
    }
    nlohmann::json TickAccount(int tick) const {
        char name[32];
        std::snprintf(name, sizeof name, "ticks/tick-%04d.json", tick);
        return Account(name);
    }
    int Number() const { return m_Number; }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_Dir;
    int m_Number;
    std::optional<Child> m_Process;
};

std::uint32_t ColorOf(const nlohmann::json& value) {
    return value.is_string()
               ? static_cast<std::uint32_t>(std::stoul(value.get<std::string>().substr(1), nullptr, 16))
               : 0;
}

// What a board's account of a tick shows against the model: the header, each list's place,
// count and page, and every painted row cell by cell.
std::vector<std::string> CompareAccount(const nlohmann::json& account, const model::Board& expected) {
    std::vector<std::string> lines;
    if (!account.is_object() || !account["grids"].is_array() || account["grids"].size() != 3)
        return {"no account of the board"};
    for (const nlohmann::json& control : account["controls"]) {
        if (control["name"] == "HeaderLbl" && control["text"] != expected.header)
            lines.push_back("header: expected \"" + expected.header + "\", actual " + control["text"].dump());
    }
    for (std::size_t g = 0; g < 3; ++g) {
        const nlohmann::json& grid = account["grids"][g];
        const model::Grid& e = expected.grids[g];
        const auto differs = [&](const char* what, long long wanted, const nlohmann::json& actual) {
            if (!actual.is_number() && !actual.is_boolean())
                lines.push_back(e.name + ": no " + what);
            else if ((actual.is_boolean() ? static_cast<long long>(actual.get<bool>())
                                          : actual.get<long long>()) != wanted)
                lines.push_back(e.name + ": " + what + " expected " + std::to_string(wanted) + ", actual " +
                                actual.dump());
        };
        differs("top", e.top, grid["top"]);
        differs("height", e.height, grid["height"]);
        differs("visible", e.visible, grid["visible"]);
        differs("record count", e.recordCount, grid["recordCount"]);
        differs("page", e.page + 1, grid["page"]);
        differs("pages", e.pages, grid["pages"]);
        const nlohmann::json& rows = grid["rows"];
        if (static_cast<int>(rows.size()) != e.shown) {
            lines.push_back(e.name + ": " + std::to_string(rows.size()) + " rows painted, expected " +
                            std::to_string(e.shown));
            continue;
        }
        for (int r = 0; r < e.shown; ++r) {
            const model::Row& row = e.rows[static_cast<std::size_t>(e.first + r)];
            const nlohmann::json& cells = rows[static_cast<std::size_t>(r)]["cells"];
            const std::string where = e.name + " row " + std::to_string(r) + " (" + row.orderNo + ")";
            if (cells.size() != row.cells.size()) {
                lines.push_back(where + ": " + std::to_string(cells.size()) + " cells");
                continue;
            }
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const model::Cell& cell = row.cells[c];
                const nlohmann::json& shown = cells[c];
                const std::string at = where + " " + cell.field;
                if (shown["field"] != cell.field || shown["text"] != cell.text)
                    lines.push_back(at + ": expected \"" + cell.text + "\", actual " + shown["text"].dump());
                if (ColorOf(shown["font"]) != cell.font || ColorOf(shown["brush"]) != cell.brush)
                    lines.push_back(at + ": colours " + shown["font"].dump() + "/" + shown["brush"].dump());
                if ((shown["image"].is_null() ? -1 : shown["image"].get<int>()) != cell.image)
                    lines.push_back(at + ": LED image " + shown["image"].dump());
            }
        }
    }
    return lines;
}

// Waits until the condition holds, for at most a minute; false if it never did or a board ended.
template <class Condition>
bool WaitFor(Condition condition, std::vector<std::unique_ptr<BoardProcess>>& boards,
             bool boardsMayEnd = false) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        if (!boardsMayEnd) {
            for (auto& board : boards) {
                if (!board->Running())
                    return condition();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Three wall screens on one server while the office writes between their ticks: each tick of each
// board shows the rows the model computes from a copy of the server's tables. The boards start and
// tick one after another, so that none meets the row lock another takes for the moment it rewrites
// a Jewish.DB row (that one would be reported as any other lock); a lock the office keeps meanwhile is met by
// each of them, reported once each, and their lists stay whole.
TEST_F(ServerBoardTest, ThreeBoardsOnOneServerEachShowTheRowsWhileTheOfficeWritesAndMeetItsLock) {
    FillDatabase();
    ASSERT_FALSE(Model().StartProgram().has_value());
    const std::string sync = m_Dir + "/sync";
    std::filesystem::create_directory(sync);
    constexpr int kRounds = 4;
    constexpr int kBoards = 3;
    const std::string at = std::string(kToday) + " 10:00:00.000";
    std::vector<std::unique_ptr<BoardProcess>> boards;
    const auto ready = [&](int board, int tick) {
        return std::filesystem::exists(sync + "/ready-" + std::to_string(board) + "-" + std::to_string(tick));
    };
    const auto errors = [&] {
        std::string text;
        for (auto& board : boards)
            text += "board " + std::to_string(board->Number()) + ": " + board->Errors() + "\n";
        return text;
    };
    // Started one after another: a board's start-up rewrites Jewish.DB rows too.
    for (int i = 1; i <= kBoards; ++i) {
        boards.push_back(std::make_unique<BoardProcess>(m_Dir, i, kRounds + 1, at));
        ASSERT_TRUE(boards.back()->Started());
        ASSERT_TRUE(WaitFor([&] { return ready(i, 1); }, boards)) << errors();
    }

    std::unique_ptr<LockHolder> officeLock;
    for (int tick = 1; tick <= kRounds; ++tick) {
        SCOPED_TRACE("tick " + std::to_string(tick));
        for (int i = 1; i <= kBoards; ++i)
            ASSERT_TRUE(WaitFor([&] { return ready(i, tick); }, boards)) << errors();
        // Every board is between two ticks, connected: the office writes.
        switch (tick) {
        case 1:
            AddJob("J5", 1);
            m_Office->Run(
                "UPDATE \"Options\" SET \"OptionValue\" = 'clAqua' WHERE \"OptionName\" = 'Band 2'");
            break;
        case 2:
            m_Office->Run("UPDATE \"OrderHead\" SET \"Name\" = 'Renamed J1' WHERE \"OrderNo\" = 'J1'");
            m_Office->Run("UPDATE \"Jewish\" SET \"Stone\" = 'Granite' WHERE \"OrderNo\" = 'J3'");
            officeLock = std::make_unique<LockHolder>(std::vector<std::string>{"--alias", "YardData"},
                                                      "Jewish.DB", "OrderNo", "J2");
            ASSERT_TRUE(officeLock->Locked());
            break;
        case 3:
            officeLock.reset();
            // The server frees a lock of a session that ended once it notices the end: wait for
            // that, so that the boards meet no lock at this tick.
            ASSERT_TRUE(WaitFor(
                [&] {
                    return m_Reader
                               ->Query("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND "
                                       "mode = 'ExclusiveLock'")
                               .rows.at(0)
                               .at(0) == std::optional<std::string>("0");
                },
                boards));
            m_Office->Run("UPDATE \"OrderHead\" SET \"IsActive\" = false WHERE \"OrderNo\" = 'J4'");
            AddJob("J6", 12);
            break;
        default:
            m_Office->Run("DELETE FROM \"RNR\" WHERE \"OrderNo\" = 'J2'");
            m_Office->Run("UPDATE \"OrderHead\" SET \"DueDate\" = " + std::to_string(Day(-5)) +
                          " WHERE \"OrderNo\" = 'J6'");
            break;
        }
        model::BoardModel& model = Model();
        model.Tick();
        const model::Board expected =
            model.Compute(DateTimeToMSecs(ParseIso(at)) + static_cast<model::Millis>(tick) * 5000);
        // One board after another runs the tick; it has run it when it waits before the next.
        for (int i = 1; i <= kBoards; ++i) {
            std::ofstream(sync + "/go-" + std::to_string(i) + "-" + std::to_string(tick));
            ASSERT_TRUE(WaitFor([&] { return ready(i, tick + 1); }, boards)) << errors();
            const std::vector<std::string> differences =
                CompareAccount(boards[static_cast<std::size_t>(i - 1)]->TickAccount(tick), expected);
            EXPECT_TRUE(differences.empty()) << "board " << i << ":\n"
                                             << [&] {
                                                    std::string text;
                                                    for (const std::string& line : differences)
                                                        text += line + "\n";
                                                    return text;
                                                }();
        }
    }
    for (int i = 1; i <= kBoards; ++i)
        std::ofstream(sync + "/go-" + std::to_string(i) + "-" + std::to_string(kRounds + 1));
    ASSERT_TRUE(WaitFor(
        [&] {
            for (auto& board : boards) {
                if (board->Running())
                    return false;
            }
            return true;
        },
        boards, true));
    for (auto& board : boards) {
        SCOPED_TRACE("board " + std::to_string(board->Number()));
        EXPECT_EQ(board->ExitStatus(), 0) << board->Errors();
        const nlohmann::json account = board->Account("final.json");
        ASSERT_TRUE(account.is_object()) << board->Errors();
        std::vector<std::string> boxes;
        for (const nlohmann::json& message : account["messages"])
            boxes.push_back(message["text"].get<std::string>());
        std::string perTick;
        for (int tick = 1; tick <= kRounds + 1; ++tick)
            perTick += " " + std::to_string(board->TickAccount(tick)["messages"].size());
        ASSERT_EQ(boxes.size(), 1u) << account["messages"].dump()
                                    << "\nboxes by the end of each tick:" << perTick;
        EXPECT_EQ(boxes[0].rfind("Record locked by another user", 0), 0u) << boxes[0];
        EXPECT_NE(boxes[0].find("Jewish"), std::string::npos) << boxes[0];
    }
}

} // namespace
} // namespace ws::test
