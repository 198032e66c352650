// The board never changes what the office writes. While a real board ticks (wallscreen-snapshot,
// one long run after another, over a job database whose every job is a Jewish memorial, so that it
// rewrites Jewish.DB rows on every tick), two office writers change the tables as fast as they can:
// one through jobsdb (the engine, with record locks), one through plain SQLite (no locks at all).
// Before each of its writes a writer checks that the value it wrote last is still there, exactly,
// storage class included; a value of a foreign type (a real in an integer column, a text in a date
// column, a blob) must stay as written too.
//
// WALLSCREEN_STRESS_SECONDS sets how long the writers run: 180 by default, several minutes of
// writing while the board ticks.

#include "support/Jobsdb.h"
#include "support/TempDirectory.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

int Seconds() {
    const char* text = std::getenv("WALLSCREEN_STRESS_SECONDS");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 180;
}

// A plain SQLite connection, as any office program may have.
class Raw {
public:
    explicit Raw(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &m_Db), SQLITE_OK);
        sqlite3_busy_timeout(m_Db, 20000);
    }
    ~Raw() { sqlite3_close(m_Db); }
    Raw(const Raw&) = delete;
    Raw& operator=(const Raw&) = delete;

    bool Exec(const std::string& sql) {
        const int rc = sqlite3_exec(m_Db, sql.c_str(), nullptr, nullptr, nullptr);
        EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << sqlite3_errmsg(m_Db);
        return rc == SQLITE_OK;
    }
    // Every row's first column, as text.
    std::vector<std::string> Column(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_Db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(stmt, 0);
            out.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(stmt);
        return out;
    }
    std::string Value(const std::string& sql) {
        const auto column = Column(sql);
        return column.empty() ? "<no row>" : column.front();
    }

private:
    sqlite3* m_Db = nullptr;
};

// What one writer wrote last into each cell it owns ("table|rowid|column" -> storage class and
// value as SQLite quotes them), and the cells found changed by someone else.
struct Ledger {
    std::map<std::string, std::string> last;
    std::vector<std::string> lost;
    long writes = 0;
};

} // namespace

class BoardWriterStressTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ws::test::ProgramRun demo = Jobsdb({"demo", "--today", "2026-12-09"});
        ASSERT_TRUE(demo.Succeeded()) << demo.Report();
        // Every job is an active Jewish memorial with a Jewish.DB row, few enough that the top list
        // shows (and so rewrites) all of them on every tick.
        Raw orders(Path("OrderHead.DB"));
        orders.Exec(
            "DELETE FROM records WHERE rowid NOT IN (SELECT rowid FROM records ORDER BY rowid LIMIT 14)");
        orders.Exec("UPDATE records SET IsActive = 1, IsJewish = 1, IsInterment = 0");
        orders.Exec("ATTACH " + Quoted(Path("Jewish.DB")) + " AS j");
        orders.Exec("INSERT INTO j.records (OrderNo, Stone, Position) SELECT OrderNo, 'Stone', 'Left' FROM "
                    "records WHERE OrderNo NOT IN (SELECT OrderNo FROM j.records WHERE OrderNo IS NOT NULL)");
        orders.Exec("DETACH j");
        Raw(Path("Options.DB")).Exec("INSERT INTO records (OptionName, OptionValue) VALUES ('Probe', 'x')");
    }

    std::string Path(const std::string& table) const { return m_Dir + "/" + table; }
    static std::string Quoted(const std::string& text) {
        std::string out = "'";
        for (char c : text)
            out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    }
    ws::test::ProgramRun Jobsdb(std::vector<std::string> words) const {
        words.insert(words.begin(), {"--dir", m_Dir});
        return ws::test::RunJobsdb(words);
    }

    ws::test::TempDirectory m_Temp{"ws-stress"};
    const std::string m_Dir = m_Temp.Path();
};

TEST_F(BoardWriterStressTest, NoWriteIsLostWhileTheBoardTicks) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds());
    std::atomic<bool> stop{false};
    std::atomic<int> boards{0};
    std::atomic<long> ticks{0};
    std::mutex failures;
    std::vector<std::string> boardFailures;

    // The board: one long run after another until the writers are done.
    std::thread board([&] {
        int run = 0;
        while (!stop) {
            const std::string json = m_Dir + "/board-" + std::to_string(run % 2) + ".json";
            const ws::test::ProgramRun snapshot =
                ws::test::RunProgram(WALLSCREEN_SNAPSHOT_PATH, {"--at", "2026-12-09 10:00:00.000", "--dir",
                                                                m_Dir, "--ticks", "150", "--json", json});
            std::ifstream in(json);
            std::stringstream text;
            text << in.rdbuf();
            const std::string account = text.str();
            // Any box but the report of a row the jobsdb writer held locked at that moment is a fault.
            std::string messages = account.substr(std::min(account.size(), account.find("\"messages\"")));
            std::size_t at = 0;
            int others = 0;
            while ((at = messages.find("\"text\"", at)) != std::string::npos) {
                const auto end = messages.find('\n', at);
                const std::string line = messages.substr(at, end - at);
                if (line.find("Record locked by another user") == std::string::npos)
                    ++others;
                ++at;
            }
            std::lock_guard lock(failures);
            if (!snapshot.Succeeded() || account.empty() || others > 0)
                boardFailures.push_back("run " + std::to_string(run) + ": exit " +
                                        std::to_string(snapshot.status) + " " + messages.substr(0, 600) +
                                        "\n" + snapshot.Report().substr(0, 600));
            ++run;
            ++boards;
            ticks += 150;
        }
    });

    // The writer without locks: Jewish.DB above all, the other tables too, with values of every
    // storage class, texts at their full size in letters of several bytes.
    Ledger raw;
    std::thread plain([&] {
        std::mt19937 random(20261209);
        struct Target {
            const char* table;
            const char* column;
            std::vector<std::string> values; // SQL literals
        };
        std::string euros;
        for (int i = 0; i < 80; ++i)
            euros += "\xE2\x82\xAC";
        std::string hebrew;
        for (int i = 0; i < 80; ++i)
            hebrew += "\xD7\x90";
        const std::vector<Target> targets = {
            {"Jewish.DB", "Stone", {Quoted(euros), Quoted(hebrew), "'Granite'", "NULL", "x'00FF10'", "12"}},
            {"Jewish.DB", "Priority", {"2.5", "'high'", "7", "x'01'", "NULL", "-3"}},
            {"Jewish.DB", "DueDate", {"'2026-12-10'", "739000.5", "739229", "NULL"}},
            {"Jewish.DB", "Name", {Quoted(std::string(100, 'n')), Quoted(hebrew.substr(0, 40)), "'Ruth'"}},
            {"OrderHead.DB", "Footer", {Quoted(euros.substr(0, 30)), "'plain'", "4.25"}},
            {"RNR.DB", "Name", {"'Levi'", Quoted(hebrew), "x'ABCD'"}},
            {"Options.DB", "OptionValue", {"'clRed'", "'zz'", "17"}},
        };
        std::map<std::string, std::unique_ptr<Raw>> connections;
        std::map<std::string, std::vector<std::string>> rowIds;
        for (const char* table : {"Jewish.DB", "OrderHead.DB", "RNR.DB", "Options.DB"}) {
            connections[table] = std::make_unique<Raw>(Path(table));
            rowIds[table] = connections[table]->Column(
                std::string("SELECT rowid FROM records") +
                (std::string(table) == "Options.DB" ? " WHERE OptionName = 'Probe'" : ""));
        }
        while (std::chrono::steady_clock::now() < deadline) {
            // Jewish.DB four times in five.
            const Target& target = targets[random() % 5 == 0 ? 4 + random() % 3 : random() % 4];
            Raw& db = *connections[target.table];
            const auto& ids = rowIds[target.table];
            if (ids.empty())
                continue;
            const std::string id = ids[random() % ids.size()];
            const std::string cell = std::string(target.table) + "|" + id + "|" + target.column;
            const std::string value = target.values[random() % target.values.size()];
            const std::string where = " FROM records WHERE rowid = " + id;
            if (!db.Exec("BEGIN IMMEDIATE"))
                break;
            const std::string now = db.Value(std::string("SELECT typeof(") + target.column +
                                             ") || ' ' || quote(" + target.column + ")" + where);
            if (auto it = raw.last.find(cell); it != raw.last.end() && it->second != now)
                raw.lost.push_back(cell + ": wrote " + it->second + ", found " + now);
            db.Exec(std::string("UPDATE records SET ") + target.column + " = " + value +
                    " WHERE rowid = " + id);
            raw.last[cell] = db.Value(std::string("SELECT typeof(") + target.column + ") || ' ' || quote(" +
                                      target.column + ")" + where);
            if (!db.Exec("COMMIT"))
                break;
            ++raw.writes;
        }
    });

    // The writer through jobsdb: the engine's own writes, with its record locks, on a column the
    // plain writer leaves alone.
    Ledger engine;
    std::thread office([&] {
        Raw reader(Path("Jewish.DB"));
        const auto orders = reader.Column("SELECT OrderNo FROM records WHERE OrderNo IS NOT NULL");
        int round = 0;
        while (std::chrono::steady_clock::now() < deadline && !orders.empty()) {
            const std::string& order = orders[static_cast<std::size_t>(round) % orders.size()];
            const std::string cell = "Jewish.DB|" + order + "|Rabbi";
            const std::string now =
                reader.Value("SELECT quote(Rabbi) FROM records WHERE OrderNo = " + Quoted(order));
            if (auto it = engine.last.find(cell); it != engine.last.end() && it->second != now)
                engine.lost.push_back(cell + ": wrote " + it->second + ", found " + now);
            const std::string rabbi = "Rabbi " + std::to_string(round) + " \xD7\xA9";
            const int exit = Jobsdb({"update", "Jewish.DB", "OrderNo=" + order, "Rabbi=" + rabbi}).status;
            // A refused update (the board held the row's lock at that moment) changes nothing.
            if (exit == 0) {
                engine.last[cell] = Quoted(rabbi);
                ++engine.writes;
            }
            ++round;
        }
    });

    plain.join();
    office.join();
    stop = true;
    board.join();

    // The values as they are at the end, once more, after the board's last tick.
    {
        std::map<std::string, std::unique_ptr<Raw>> connections;
        for (const auto& [cell, value] : raw.last) {
            const std::string table = cell.substr(0, cell.find('|'));
            const std::string rest = cell.substr(cell.find('|') + 1);
            const std::string id = rest.substr(0, rest.find('|'));
            const std::string column = rest.substr(rest.find('|') + 1);
            auto& db = connections[table];
            if (!db)
                db = std::make_unique<Raw>(Path(table));
            const std::string now = db->Value("SELECT typeof(" + column + ") || ' ' || quote(" + column +
                                              ") FROM records WHERE rowid = " + id);
            if (now != value)
                raw.lost.push_back(cell + " at the end: wrote " + value + ", found " + now);
        }
        Raw jewish(Path("Jewish.DB"));
        for (const auto& [cell, value] : engine.last) {
            const std::string order = cell.substr(10, cell.rfind('|') - 10);
            const std::string now =
                jewish.Value("SELECT quote(Rabbi) FROM records WHERE OrderNo = " + Quoted(order));
            if (now != value)
                engine.lost.push_back(cell + " at the end: wrote " + value + ", found " + now);
        }
    }

    std::cout << "plain writes " << raw.writes << ", jobsdb writes " << engine.writes << ", board runs "
              << boards.load() << " (" << ticks.load() << " ticks)\n";
    EXPECT_GT(raw.writes, 1000);
    EXPECT_GT(engine.writes, 10);
    EXPECT_GT(boards.load(), 0);
    for (const std::string& lost : raw.lost)
        ADD_FAILURE() << "plain writer's value undone: " << lost;
    for (const std::string& lost : engine.lost)
        ADD_FAILURE() << "jobsdb writer's value undone: " << lost;
    for (const std::string& failure : boardFailures)
        ADD_FAILURE() << "board " << failure;
}
