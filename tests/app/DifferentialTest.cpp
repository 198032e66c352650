// One long-running wall screen on a virtual clock, and an office that changes the job database
// at random between its ticks: jobs come in, change, move between the lists and go, detail rows
// and colour bands change, appear and disappear, rows are deleted and others inserted where
// their ids would be reused, texts fill their fields with letters outside ASCII. After every
// tick the board must show exactly what the board model, reading the table files with SQLite,
// says it should at that moment.
//
// It runs on a directory of table files, and on a database server that the test starts itself:
// there the office writes through psql, the model reads a copy of the server's tables made
// through libpq, and the run is shorter (WALLSCREEN_DIFF_SERVER_TICKS, 200 by default) and
// begins shortly before midnight.
//
// The run is seeded, by default with the same seed every time; WALLSCREEN_DIFF_SEED=N runs
// another office ("random": one from the clock), and every failure names the seed that repeats
// it. WALLSCREEN_DIFF_TICKS sets the run's length (3000 by default), WALLSCREEN_DIFF_KEEP_GOING=1
// goes on after a failing tick and counts them, WALLSCREEN_DIFF_ASCII=1 leaves out the letters
// beyond ASCII (to tell faults apart).

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
#include "support/Jobsdb.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDirectory.h"
#include "ui/Application.h"
#include "ui/Label.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <variant>
#include <vector>

namespace ws::test {
namespace {

constexpr std::int64_t kTickMs = 5000;
constexpr const char* kToday = "2026-03-02";
constexpr std::uint64_t kDefaultSeed = 20'261'209;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    return std::strtoull(text, nullptr, 10);
}

// The office's own SQLite connection to one table file: another program, which takes none of
// our locks.
class PlainSqlite {
public:
    explicit PlainSqlite(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &m_Db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("office: cannot open " + path);
        sqlite3_busy_timeout(m_Db, 10'000);
    }
    ~PlainSqlite() { sqlite3_close(m_Db); }
    PlainSqlite(const PlainSqlite&) = delete;
    PlainSqlite& operator=(const PlainSqlite&) = delete;

    // Runs one statement; returns the rows of its first column pair (rowid, text) when it has them.
    std::vector<std::pair<std::int64_t, std::string>> Run(const std::string& sql,
                                                          const std::vector<SqlValue>& values = {}) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_Db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error("office: " + sql + ": " + sqlite3_errmsg(m_Db));
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int at = static_cast<int>(i + 1);
            if (const auto* n = std::get_if<std::int64_t>(&values[i]))
                sqlite3_bind_int64(statement, at, *n);
            else if (const auto* d = std::get_if<double>(&values[i]))
                sqlite3_bind_double(statement, at, *d);
            else if (const auto* s = std::get_if<std::string>(&values[i]))
                sqlite3_bind_text(statement, at, s->c_str(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(statement, at);
        }
        std::vector<std::pair<std::int64_t, std::string>> rows;
        int rc = 0;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            const unsigned char* text =
                sqlite3_column_count(statement) > 1 ? sqlite3_column_text(statement, 1) : nullptr;
            rows.emplace_back(sqlite3_column_int64(statement, 0),
                              text ? reinterpret_cast<const char*>(text) : std::string());
        }
        const std::string error = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(m_Db);
        sqlite3_finalize(statement);
        if (!error.empty())
            throw std::runtime_error("office: " + sql + ": " + error);
        return rows;
    }

private:
    sqlite3* m_Db = nullptr;
};

// Letters the office types: ASCII, accented Latin, the euro sign (three bytes in UTF-8) and
// Hebrew (two bytes).
const std::vector<std::string>& Letters() {
    static const std::vector<std::string> letters = [] {
        std::vector<std::string> l;
        for (char c = 'a'; c <= 'z'; ++c)
            l.emplace_back(1, c);
        for (char c = 'A'; c <= 'Z'; c += 3)
            l.emplace_back(1, c);
        for (char c = '0'; c <= '9'; c += 2)
            l.emplace_back(1, c);
        for (const char* s : {"€", "€", "é", "ü", "ß", "א", "ב", "ג", "ד", "ה", "ש", "ת", "ל", "ם", " ", " "})
            l.emplace_back(s);
        return l;
    }();
    return letters;
}

// Where the job database is: a directory of table files, or a database server.
enum class Tables { Files, Server };

class Differential : public ::testing::TestWithParam<Tables> {
protected:
    bool OnServer() const { return GetParam() == Tables::Server; }

    void SetUp() override {
        const std::string config = m_Dir + "/engine.ini";
        std::ofstream(config) << "";
        ::setenv("YARD_ENGINE_CONFIG", config.c_str(), 1);
        if (OnServer()) {
            auto& server = engine::test::PgServer::Instance();
            if (!server.Start())
                GTEST_SKIP() << "No database server: " << server.Why();
            m_Schema = "diff_" + std::to_string(::getpid());
            ServerReader(server.ConnInfo()).Query("CREATE SCHEMA " + m_Schema);
            const std::string conninfo = server.ConnInfo(m_Schema);
            // jobsdb reaches the server through an alias of the configuration.
            std::ofstream(config) << "[YardServer]\nDRIVER=POSTGRES\nCONNINFO=" << conninfo << "\n";
            Session().AddAlias("YardData", "POSTGRES", {{"CONNINFO", conninfo}});
            m_ModelDir = m_Dir + "/copy";
            std::filesystem::create_directory(m_ModelDir);
        } else {
            Session().AddAlias("YardData", "DESKTOP", {{"PATH", m_Dir}});
            m_ModelDir = m_Dir;
        }
        m_Runtime.emplace("XDG_RUNTIME_DIR", m_Dir);
        Jobsdb({"init"});
        if (OnServer()) {
            const std::string conninfo = engine::test::PgServer::Instance().ConnInfo(m_Schema);
            m_Psql = std::make_unique<Psql>(conninfo);
            m_Reader = std::make_unique<ServerReader>(conninfo);
        }
        // A fixed seed by default, so that CI runs the same office every time.
        const char* seed = std::getenv("WALLSCREEN_DIFF_SEED");
        if (seed != nullptr && std::string(seed) == "random")
            m_Seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
        else
            m_Seed = EnvNumber("WALLSCREEN_DIFF_SEED", kDefaultSeed);
        m_Random.seed(m_Seed);
        m_Model = std::make_unique<model::BoardModel>(m_ModelDir);
    }

    void TearDown() override {
        m_App.reset();
        m_System.reset();
        TComponent::Free(JobsDM);
        Session().Close();
        m_Runtime.reset();
        m_Psql.reset();
        m_Reader.reset();
        if (!m_Schema.empty()) {
            try {
                ServerReader(engine::test::PgServer::Instance().ConnInfo())
                    .Query("DROP SCHEMA " + m_Schema + " CASCADE");
            } catch (const std::exception&) {
            }
        }
    }

    // The model, over the tables as they are now (on the server: a fresh copy of them when the
    // office changed them since the last).
    model::BoardModel& Model() {
        if (OnServer() && m_CopyStale) {
            m_Reader->CopyTables(m_ModelDir);
            m_CopyStale = false;
        }
        return *m_Model;
    }

    // ---- the board ----------------------------------------------------------------------------

    void StartProgram(TDateTime at) {
        m_App.reset();
        m_System.reset();
        platform::HeadlessOptions options;
        options.registryDirectory = m_Dir + "/windows";
        options.start = at;
        m_System = std::make_unique<platform::HeadlessWindowSystem>(options);
        m_System->SetMessageBoxResponder(
            [this](const platform::MessageBoxRequest& r) { m_Boxes.push_back(r.text); });
        m_App = std::make_unique<TApplication>(*m_System);
        m_Boxes.clear();
        StartWallScreen();
        m_App->ShowMainFormAtStart();
        m_System->ProcessMessages();
        m_ExpectedBoxes.clear();
        if (auto warning = Model().StartProgram())
            m_ExpectedBoxes.push_back(*warning);
    }

    model::Millis NowMillis() const { return DateTimeToMSecs(m_System->Now()); }

    // The board against the model now; an empty text when they agree.
    std::string Check(int tick) {
        std::string problems;
        if (m_Boxes != m_ExpectedBoxes) {
            auto list = [](const std::vector<std::string>& texts) {
                std::string all;
                for (const std::string& t : texts)
                    all += " \"" + t + "\"";
                return all.empty() ? std::string(" none") : all;
            };
            problems +=
                "  message boxes expected:" + list(m_ExpectedBoxes) + "; shown:" + list(m_Boxes) + "\n";
            m_Boxes = m_ExpectedBoxes;
        }
        const model::Board expected = Model().Compute(NowMillis());
        const BoardDifferences differences = CompareBoard(*ActiveJobsForm, expected);
        m_CutLists += differences.cutLists;
        m_PagedLists += differences.pagedLists;
        m_LaterPages += differences.laterPages;
        for (std::size_t g = 0; g < 3; ++g)
            m_Longest[g] = std::max(m_Longest[g], expected.grids[g].recordCount);
        problems += differences.Text();
        if (problems.empty())
            return {};
        return "tick " + std::to_string(tick) + " at " + FormatIso(m_System->Now()) + ", seed " +
               std::to_string(m_Seed) + " (WALLSCREEN_DIFF_SEED=" + std::to_string(m_Seed) +
               " repeats the run); last office changes:\n" + m_LastChanges + "differences:\n" + problems;
    }

    // ---- the office ---------------------------------------------------------------------------

    std::string Jobsdb(std::vector<std::string> args) {
        if (OnServer())
            args.insert(args.begin(), {"--alias", "YardServer"});
        else
            args.insert(args.begin(), {"--dir", m_Dir});
        const ProgramRun run = RunJobsdb(args);
        if (!run.Succeeded())
            throw std::runtime_error("office: " + run.command + " failed:\n" + run.output);
        ++m_JobsdbRuns;
        return run.output;
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_Random); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_Random) < p; }
    template <class T>
    const T& OneOf(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(Pick(static_cast<int>(items.size())))];
    }

    // A text of up to 'size' characters; often exactly 'size', so that fields are filled up.
    std::string Text(int size) {
        const int length = Chance(0.3) ? size : Pick(size + 1);
        std::string text;
        for (int i = 0; i < length; ++i)
            text += m_AsciiOnly ? Letters()[static_cast<std::size_t>(Pick(30))] : OneOf(Letters());
        // Spaces at either end would make jobsdb's and SQLite's texts agree only by luck.
        if (!text.empty() && text.front() == ' ')
            text.front() = 'x';
        if (!text.empty() && text.back() == ' ')
            text.back() = 'y';
        return text;
    }

    // A due day around today's band edges, as a day number of the tables.
    std::int64_t DueDay() {
        static const std::vector<int> offsets = {-3, -1, 0,  1,  2,  3,  4,  6,  7,
                                                 8,  13, 14, 15, 20, 21, 22, 23, 30};
        const TDateTime today = DateOf(m_System ? m_System->Now() : ParseIso(kToday));
        return DateToDayNumber(today + OneOf(offsets));
    }
    static std::string DayArg(std::int64_t day) {
        return FormatIso(DayNumberToDate(static_cast<std::int32_t>(day))).substr(0, 10);
    }

    std::string ColorText() {
        static const std::vector<std::string> names = {"clRed",   "clMaroon", "clPurple",     "clBlue",
                                                       "clGreen", "clTeal",   "clNavy",       "clOlive",
                                                       "clLime",  "clNone",   "clWindowText", "clMoneyGreen"};
        switch (Pick(3)) {
        case 0: {
            std::string name = OneOf(names);
            for (char& c : name)
                if (Chance(0.3))
                    c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c)
                                                                                      : std::toupper(c));
            return name;
        }
        case 1: {
            char text[16];
            std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(Pick(1 << 24)));
            return text;
        }
        default:
            return std::to_string(Pick(1 << 24));
        }
    }

    // A job's row values, by field name; an absent field is null.
    using Values = std::map<std::string, SqlValue>;

    // Inserts a row through jobsdb (with the engine's locks) or through plain SQLite.
    void Insert(const std::string& table, const Values& values) {
        if (Chance(m_JobsdbShare)) {
            std::vector<std::string> args{"put", table};
            for (const auto& [field, value] : values) {
                if (!std::holds_alternative<std::nullptr_t>(value))
                    args.push_back(field + "=" + Arg(field, value));
            }
            Jobsdb(args);
            Note("jobsdb put " + table + Summary(values));
            return;
        }
        std::string names, marks;
        std::vector<SqlValue> list;
        for (const auto& [field, value] : values) {
            names += (names.empty() ? "\"" : ", \"") + field + "\"";
            marks += (marks.empty() ? "" : ", ") + (OnServer() ? SqlLiteral(value) : std::string("?"));
            list.push_back(value);
        }
        if (OnServer()) {
            m_Psql->Run("INSERT INTO " + SqlName(ServerTable(table)) + " (" + names + ") VALUES (" + marks +
                        ")");
            Note("psql insert " + table + Summary(values));
            return;
        }
        Sql(table).Run("INSERT INTO records (" + names + ") VALUES (" + marks + ")", list);
        Note("sqlite insert " + table + Summary(values));
    }

    // Changes one field of the first row whose OrderNo (OptionName) is 'key'.
    void Update(const std::string& table, const std::string& keyField, const std::string& key,
                const std::string& field, const SqlValue& value) {
        if (Chance(m_JobsdbShare)) {
            Jobsdb({"update", table, keyField + "=" + key,
                    field + "=" +
                        (std::holds_alternative<std::nullptr_t>(value) ? std::string() : Arg(field, value))});
            Note("jobsdb update " + table + " " + key + " " + field + "=" + Shown(value));
            return;
        }
        if (OnServer()) {
            const std::string id = SqlName(m_Reader->RowIdColumn(table));
            const std::string name = SqlName(ServerTable(table));
            m_Psql->Run("UPDATE " + name + " SET " + SqlName(field) + " = " + SqlLiteral(value) + " WHERE " +
                        id + " = (SELECT " + id + " FROM " + name + " WHERE " + SqlName(keyField) + " = " +
                        SqlLiteral(key) + " ORDER BY " + id + " LIMIT 1)");
            Note("psql update " + table + " " + key + " " + field + "=" + Shown(value));
            return;
        }
        Sql(table).Run("UPDATE records SET \"" + field +
                           "\" = ? WHERE rowid = (SELECT rowid FROM records WHERE \"" + keyField +
                           "\" = ? ORDER BY rowid LIMIT 1)",
                       {value, key});
        Note("sqlite update " + table + " " + key + " " + field + "=" + Shown(value));
    }

    void Delete(const std::string& table, const std::string& keyField, const std::string& key) {
        if (Chance(m_JobsdbShare)) {
            Jobsdb({"delete", table, keyField + "=" + key});
            Note("jobsdb delete " + table + " " + key);
            return;
        }
        if (OnServer()) {
            const std::string id = SqlName(m_Reader->RowIdColumn(table));
            const std::string name = SqlName(ServerTable(table));
            m_Psql->Run("DELETE FROM " + name + " WHERE " + id + " = (SELECT " + id + " FROM " + name +
                        " WHERE " + SqlName(keyField) + " = " + SqlLiteral(key) + " ORDER BY " + id +
                        " LIMIT 1)");
            Note("psql delete " + table + " " + key);
            return;
        }
        Sql(table).Run("DELETE FROM records WHERE rowid = (SELECT rowid FROM records WHERE \"" + keyField +
                           "\" = ? ORDER BY rowid LIMIT 1)",
                       {key});
        Note("sqlite delete " + table + " " + key);
    }

    // The last row of a table goes and a new one comes: an engine that hands out the highest id
    // plus one would give the new row the id of the one just deleted.
    void DeleteLastAndInsert(const std::string& table, const std::string& keyField, const Values& values) {
        const auto keys = Keys(table, keyField);
        if (keys.empty())
            return Insert(table, values);
        const auto& last = keys.back();
        if (OnServer())
            m_Psql->Run("DELETE FROM " + SqlName(ServerTable(table)) + " WHERE " +
                        SqlName(m_Reader->RowIdColumn(table)) + " = " + std::to_string(last.first));
        else
            Sql(table).Run("DELETE FROM records WHERE rowid = ?", {last.first});
        Note("delete last row of " + table + " (" + last.second + ")");
        Insert(table, values);
    }

    // (row id, the field's text) of every row of a table, in row-id order.
    std::vector<std::pair<std::int64_t, std::string>> Keys(const std::string& table,
                                                           const std::string& field) {
        if (OnServer())
            return m_Reader->Keys(table, field);
        return Sql(table).Run("SELECT rowid, \"" + field + "\" FROM records ORDER BY rowid");
    }

    PlainSqlite& Sql(const std::string& table) {
        auto& connection = m_Connections[table];
        if (!connection)
            connection = std::make_unique<PlainSqlite>(m_Dir + "/" + table);
        return *connection;
    }

    static std::string Arg(const std::string& field, const SqlValue& value) {
        if (const auto* s = std::get_if<std::string>(&value))
            return *s;
        if (const auto* d = std::get_if<double>(&value)) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", *d);
            return text;
        }
        const std::int64_t n = std::get<std::int64_t>(value);
        if (field == "DueDate" || field == "BurialDate")
            return DayArg(n);
        static const char* const kFlags[] = {"IsActive", "IsJewish", "IsInterment", "Invoiced"};
        for (const char* flag : kFlags)
            if (field == flag)
                return n != 0 ? "True" : "False";
        return std::to_string(n);
    }
    static std::string Shown(const SqlValue& value) {
        if (std::holds_alternative<std::nullptr_t>(value))
            return "null";
        if (const auto* s = std::get_if<std::string>(&value))
            return "\"" + *s + "\"";
        if (const auto* d = std::get_if<double>(&value))
            return std::to_string(*d);
        return std::to_string(std::get<std::int64_t>(value));
    }
    static std::string Summary(const Values& values) {
        std::string text;
        for (const char* key : {"OrderNo", "OptionName", "OptionValue"}) {
            auto it = values.find(key);
            if (it != values.end())
                text += " " + std::string(key) + "=" + Shown(it->second);
        }
        return text;
    }
    void Note(const std::string& change) {
        m_LastChanges += "  " + change + "\n";
        m_CopyStale = true;
    }

    // ---- what the office does -----------------------------------------------------------------

    std::vector<std::string> OrderNumbers() {
        std::vector<std::string> numbers;
        for (const auto& row : Keys("OrderHead.DB", "OrderNo"))
            numbers.push_back(row.second);
        return numbers;
    }

    // Some job: often the first of a list, which is its view's current row.
    std::string SomeJob() {
        if (Chance(0.4)) {
            const auto list = Model().ListOrderNos(Pick(3));
            if (!list.empty())
                return Chance(0.7) ? list.front() : OneOf(list);
        }
        const auto all = OrderNumbers();
        return all.empty() ? std::string() : OneOf(all);
    }

    Values NewJob() {
        const std::string prefix = OneOf(std::vector<std::string>{"J", "S", "R", "X", "€"});
        Values v;
        v["OrderNo"] = prefix + std::to_string(++m_Orders);
        v["Name"] = Text(80);
        v["IsActive"] = std::int64_t{Chance(0.85) ? 1 : 0};
        v["IsJewish"] = std::int64_t{prefix == "J" || Chance(0.1) ? 1 : 0};
        v["IsInterment"] = std::int64_t{prefix == "R" || Chance(0.1) ? 1 : 0};
        v["Invoiced"] = std::int64_t{Chance(prefix == "R" ? 0.2 : 0.5) ? 1 : 0};
        if (prefix == "S" || Chance(0.1))
            v["DateOffSet"] = 3.0;
        else if (Chance(0.5))
            v["DateOffSet"] = OneOf(std::vector<double>{0.0, 2.0, 2.5, 4.0});
        if (!Chance(m_BlankDates))
            v["DueDate"] = DueDay();
        v["Location"] = Text(80);
        v["LocationABV"] = Text(8);
        v["Section"] = Chance(0.2) ? std::string() : Text(10);
        v["GraveNo"] = Chance(0.2) ? std::string() : Text(10);
        return v;
    }

    // An order number for a detail row: mostly a job's, sometimes one that differs only in
    // letter case or names no job at all.
    std::string DetailOrderNo() {
        std::string no = SomeJob();
        if (no.empty() || Chance(0.1))
            return "N" + std::to_string(Pick(1000));
        if (Chance(0.05) && (no[0] == 'J' || no[0] == 'S' || no[0] == 'R' || no[0] == 'X'))
            no[0] = static_cast<char>(std::tolower(no[0]));
        return no;
    }

    // A detail row's order number that the table holds: 'wanted' when it is there, else that of
    // a row picked at random; empty for an empty table.
    std::string HeldKey(const std::string& table, const std::string& wanted) {
        const auto rows = Keys(table, "OrderNo");
        for (const auto& row : rows)
            if (row.second == wanted)
                return wanted;
        return rows.empty() ? std::string() : OneOf(rows).second;
    }

    Values NewJewish() {
        Values v;
        v["OrderNo"] = DetailOrderNo();
        v["Stone"] = Chance(0.1) ? SqlValue{nullptr} : SqlValue{Text(80)};
        v["Position"] = Chance(0.1) ? SqlValue{nullptr} : SqlValue{Text(80)};
        v["Rabbi"] = Text(20);
        return v;
    }

    Values NewRnr() {
        Values v;
        v["OrderNo"] = DetailOrderNo();
        v["Name"] = Text(80);
        v["CurrentLocation"] = Text(40);
        if (!Chance(0.1))
            v["BurialDate"] = DueDay() - 40;
        return v;
    }

    void OfficeChange() {
        const auto jobs = OrderNumbers();
        const int size = static_cast<int>(jobs.size());
        const int what = Pick(100);
        const bool busy = m_MostJobs > 45;
        if (what < (busy ? 30 : 14) || size < 12) {
            Insert("OrderHead.DB", NewJob());
        } else if (what < (busy ? 34 : 22) || size > m_MostJobs) {
            if (const std::string no = SomeJob(); !no.empty())
                Delete("OrderHead.DB", "OrderNo", no);
        } else if (what < 48) {
            const std::string no = SomeJob();
            if (no.empty())
                return;
            switch (Pick(10)) {
            case 0:
                return Update("OrderHead.DB", "OrderNo", no, "IsActive", std::int64_t{Pick(2)});
            case 1:
                return Update("OrderHead.DB", "OrderNo", no, "IsJewish", std::int64_t{Pick(2)});
            case 2:
                return Update("OrderHead.DB", "OrderNo", no, "IsInterment", std::int64_t{Pick(2)});
            case 3:
                return Update("OrderHead.DB", "OrderNo", no, "Invoiced", std::int64_t{Pick(2)});
            case 4:
                return Update("OrderHead.DB", "OrderNo", no, "DateOffSet",
                              Chance(0.5) ? SqlValue{3.0} : SqlValue{OneOf(std::vector<double>{0.0, 2.5})});
            case 5:
            case 6:
                return Update("OrderHead.DB", "OrderNo", no, "DueDate",
                              Chance(m_BlankDates) ? SqlValue{nullptr} : SqlValue{DueDay()});
            default: {
                const std::string field =
                    OneOf(std::vector<std::string>{"Name", "Location", "LocationABV", "Section", "GraveNo"});
                const int sizes = field == "Name" || field == "Location" ? 80
                                  : field == "LocationABV"               ? 8
                                                                         : 10;
                return Update("OrderHead.DB", "OrderNo", no, field, Text(sizes));
            }
            }
        } else if (what < 52) {
            DeleteLastAndInsert("OrderHead.DB", "OrderNo", NewJob());
        } else if (what < 64) {
            const int count = static_cast<int>(Keys("Jewish.DB", "OrderNo").size());
            const int choice = Pick(10);
            if (choice < 3 || count < 5) {
                Insert("Jewish.DB", NewJewish());
            } else if (choice < 5) {
                if (const std::string no = HeldKey("Jewish.DB", DetailOrderNo()); !no.empty())
                    Delete("Jewish.DB", "OrderNo", no);
            } else if (choice < 6) {
                DeleteLastAndInsert("Jewish.DB", "OrderNo", NewJewish());
            } else {
                if (const std::string no = HeldKey("Jewish.DB", DetailOrderNo()); !no.empty())
                    Update("Jewish.DB", "OrderNo", no, Chance(0.5) ? "Stone" : "Position",
                           Chance(0.05) ? SqlValue{nullptr} : SqlValue{Text(80)});
            }
        } else if (what < 76) {
            const int count = static_cast<int>(Keys("RNR.DB", "OrderNo").size());
            const int choice = Pick(10);
            if (choice < 3 || count < 5) {
                Insert("RNR.DB", NewRnr());
            } else if (choice < 5) {
                if (const std::string no = HeldKey("RNR.DB", DetailOrderNo()); !no.empty())
                    Delete("RNR.DB", "OrderNo", no);
            } else if (choice < 6) {
                DeleteLastAndInsert("RNR.DB", "OrderNo", NewRnr());
            } else {
                const std::string no = HeldKey("RNR.DB", DetailOrderNo());
                if (no.empty())
                    return;
                switch (Pick(3)) {
                case 0:
                    return Update("RNR.DB", "OrderNo", no, "Name", Text(80));
                case 1:
                    return Update("RNR.DB", "OrderNo", no, "CurrentLocation", Text(40));
                default:
                    return Update("RNR.DB", "OrderNo", no, "BurialDate",
                                  Chance(0.1) ? SqlValue{nullptr} : SqlValue{DueDay() - 30});
                }
            }
        } else if (what < 88) {
            const std::string band = "Band " + std::to_string(1 + Pick(5));
            const auto names = Keys("Options.DB", "OptionName");
            const bool present =
                std::any_of(names.begin(), names.end(), [&](const auto& row) { return row.second == band; });
            const int choice = Pick(10);
            if (choice < 5 && present) {
                Update("Options.DB", "OptionName", band, "OptionValue", ColorText());
            } else if (choice < 7 && present) {
                Delete("Options.DB", "OptionName", band);
            } else if (choice < 8) {
                DeleteLastAndInsert("Options.DB", "OptionName",
                                    Values{{"OptionName", band}, {"OptionValue", ColorText()}});
            } else {
                // A second row of that name, or a first again.
                Insert("Options.DB",
                       Values{{"OptionName", Chance(0.8) ? band : "Other " + std::to_string(Pick(9))},
                              {"OptionValue", ColorText()}});
            }
        } else {
            // Several changes to one job at once, as an order form saved with new details.
            const std::string no = SomeJob();
            if (no.empty())
                return;
            Update("OrderHead.DB", "OrderNo", no, "DueDate", DueDay());
            Update("OrderHead.DB", "OrderNo", no, "Name", Text(80));
            if (Chance(0.5)) {
                Values j = NewJewish();
                j["OrderNo"] = no;
                Insert("Jewish.DB", j);
            }
        }
    }

    // Every row of a table as text, row id first, one line per row: what the board must leave as
    // it is.
    std::string TableContents(const std::string& table) {
        if (OnServer())
            return m_Reader->Contents(table);
        std::string& query = m_ContentQueries[table];
        if (query.empty()) {
            std::string columns;
            for (const auto& column : Sql(table).Run("SELECT cid, name FROM pragma_table_info('records')"))
                columns +=
                    (columns.empty() ? "" : " || ',' || ") + std::string("quote(\"") + column.second + "\")";
            query = "SELECT rowid, " + columns + " FROM records ORDER BY rowid";
        }
        std::string text;
        for (const auto& row : Sql(table).Run(query))
            text += std::to_string(row.first) + ": " + row.second + "\n";
        return text;
    }

    // Jewish.DB, whose rows the board rewrites, at every tick; the other tables at every 20th
    // (reading all 124 columns of every order twice a tick would double the run's time).
    std::map<std::string, std::string> TablesToWatch(int tick) {
        std::map<std::string, std::string> tables;
        for (const char* table : {"Jewish.DB", "OrderHead.DB", "RNR.DB", "Options.DB"}) {
            if (tick % 20 == 0 || std::string(table) == "Jewish.DB")
                tables[table] = TableContents(table);
        }
        return tables;
    }

    // The first row that differs between two contents of a table.
    static std::string FirstChange(const std::string& before, const std::string& after) {
        std::size_t at = 0;
        while (at < before.size() && at < after.size() && before[at] == after[at])
            ++at;
        const std::size_t line = before.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t from = line == std::string::npos || at == 0 ? 0 : line + 1;
        auto lineAt = [from](const std::string& text) {
            const std::size_t end = text.find('\n', from);
            return from >= text.size() ? std::string("(none)") : text.substr(from, end - from);
        };
        return "    before: " + lineAt(before) + "\n    after:  " + lineAt(after) + "\n";
    }

    // Just before midnight: jobs due on the days whose band edges the coming midnight reaches
    // exactly (a job due three weeks after midnight is in band 3 at midnight, not band 4), on
    // both lists that colour by due date.
    void JobsOnTomorrowsEdges() {
        const std::int64_t tomorrow = DateToDayNumber(DateOf(m_System->Now()) + 1);
        for (const int offset : {0, 1, 3, 7, 14, 21, 22}) {
            Values job = NewJob();
            job["OrderNo"] = "E" + std::to_string(++m_Orders);
            job["IsActive"] = std::int64_t{1};
            job["IsJewish"] = std::int64_t{1};
            job["DateOffSet"] = 3.0;
            job["DueDate"] = tomorrow + offset;
            Insert("OrderHead.DB", job);
        }
    }

    // The board's first morning: a handful of jobs in each list and the five bands.
    void FillDatabase() {
        for (int k = 1; k <= 5; ++k)
            Insert("Options.DB",
                   Values{{"OptionName", "Band " + std::to_string(k)}, {"OptionValue", ColorText()}});
        for (int i = 0; i < 24; ++i)
            Insert("OrderHead.DB", NewJob());
        for (int i = 0; i < 10; ++i)
            Insert("Jewish.DB", NewJewish());
        for (int i = 0; i < 8; ++i)
            Insert("RNR.DB", NewRnr());
    }

    // A database in memory-backed storage where there is one: the office writes thousands of times,
    // and every write waits for the disk otherwise.
    TempDirectory m_Temp{"ws-diff", std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp"};
    const std::string m_Dir = m_Temp.Path();
    std::optional<ScopedEnvironment> m_Runtime;
    std::string m_ModelDir; // the tables the model reads: the directory, or a copy of the server's
    std::string m_Schema;   // on the server: the run's schema
    std::unique_ptr<Psql> m_Psql;
    std::unique_ptr<ServerReader> m_Reader;
    bool m_CopyStale = true;
    std::uint64_t m_Seed = 0;
    std::mt19937_64 m_Random;
    std::unique_ptr<model::BoardModel> m_Model;
    std::unique_ptr<platform::HeadlessWindowSystem> m_System;
    std::unique_ptr<TApplication> m_App;
    std::vector<std::string> m_Boxes;
    std::vector<std::string> m_ExpectedBoxes;
    std::map<std::string, std::unique_ptr<PlainSqlite>> m_Connections;
    std::map<std::string, std::string> m_ContentQueries;
    std::string m_LastChanges;
    double m_JobsdbShare = 0.3;
    double m_BlankDates = 0.05; // the share of jobs without a due date
    bool m_AsciiOnly = false;
    int m_MostJobs = 45; // the office keeps at most about this many orders
    int m_Orders = 0;
    int m_JobsdbRuns = 0;
    int m_CutLists = 0;
    int m_PagedLists = 0;
    int m_LaterPages = 0;
    int m_Longest[3] = {};
};

TEST_P(Differential, TheBoardShowsTheTablesAsTheyAreAfterEveryTick) {
    const int ticks = static_cast<int>(OnServer() ? EnvNumber("WALLSCREEN_DIFF_SERVER_TICKS", 200)
                                                  : EnvNumber("WALLSCREEN_DIFF_TICKS", 3000));
    const bool keepGoing = EnvNumber("WALLSCREEN_DIFF_KEEP_GOING", 0) != 0;
    // For telling faults apart: WALLSCREEN_DIFF_ASCII=1 keeps every text in ASCII.
    m_AsciiOnly = EnvNumber("WALLSCREEN_DIFF_ASCII", 0) != 0;
    std::printf("seed %llu (WALLSCREEN_DIFF_SEED repeats the run), %d ticks\n",
                static_cast<unsigned long long>(m_Seed), ticks);
    // The short run on the server meets blank due dates (which sort first) more often.
    if (OnServer())
        m_BlankDates = 0.25;
    FillDatabase();
    m_LastChanges = "  the first jobs, detail rows and the five bands\n";
    m_JobsdbShare = 0.06;

    // The evening before: midnight moves every job a day nearer its bands' edges, and a minute
    // later the board closes itself; the next start is at one in the morning.
    const TDateTime start = ParseIso(std::string(kToday) + (OnServer() ? " 23:52:00.000" : " 21:50:00.000"));
    StartProgram(start);
    int failedTicks = 0;
    std::string firstFailure;
    auto verdict = [&](int tick) {
        const std::string problems = Check(tick);
        if (problems.empty())
            return true;
        if (failedTicks++ == 0)
            firstFailure = problems;
        if (keepGoing)
            std::printf("%s", problems.c_str());
        return keepGoing;
    };
    if (!verdict(0)) {
        ADD_FAILURE() << firstFailure;
        return;
    }
    const auto began = std::chrono::steady_clock::now();
    int ran = 0;
    for (int tick = 1; tick <= ticks; ++tick) {
        ran = tick;
        m_LastChanges.clear();
        // A busy spell around midnight: enough jobs that the bottom list runs past the window's
        // bottom edge.
        m_MostJobs = tick > ticks / 5 && tick < ticks * 3 / 5 ? 120 : 45;
        const int changes = Chance(0.3) ? 0 : Chance(0.6) ? 1 : 2 + Pick(3);
        try {
            for (int i = 0; i < changes; ++i)
                OfficeChange();
            const std::int64_t now = DateTimeToMSecs(m_System->Now());
            if ((now + kTickMs) / 86'400'000 != now / 86'400'000)
                JobsOnTomorrowsEdges();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "tick " << tick << ", seed " << m_Seed
                          << ": the office's change failed: " << e.what() << "\n"
                          << m_LastChanges;
            return;
        }
        // The board only reads: whatever it rewrites must come out exactly as the office left it.
        const auto before = TablesToWatch(tick);
        m_System->AdvanceTime(kTickMs);
        m_System->ProcessMessages();
        std::string changedByTheBoard;
        for (const auto& [table, contents] : TablesToWatch(tick)) {
            if (contents != before.at(table))
                changedByTheBoard +=
                    "  the board changed " + table + ":\n" + FirstChange(before.at(table), contents);
        }
        if (!changedByTheBoard.empty()) {
            ADD_FAILURE() << "tick " << tick << " at " << FormatIso(m_System->Now()) << ", seed " << m_Seed
                          << " (WALLSCREEN_DIFF_SEED=" << m_Seed << " repeats the run):\n"
                          << changedByTheBoard;
            if (!keepGoing)
                return;
        }
        if (m_System->Terminated()) {
            // Closed for the night: only within the hour after 00:01:01.
            const TDateTime now = m_System->Now();
            const TDateTime timeOfDay = now - DateOf(now);
            if (!(timeOfDay > ParseIso("1899-12-30 00:01:01.001") && timeOfDay < 1.0 / 24)) {
                ADD_FAILURE() << "tick " << tick << ", seed " << m_Seed << ": the board closed at "
                              << FormatIso(now);
                return;
            }
            StartProgram(DateOf(now) + 1.0 / 24);
        } else {
            Model().Tick();
        }
        if (!verdict(tick))
            break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("%d ticks in %.1f s, %d office changes through jobsdb, %d times a list was cut by the "
                "window's bottom edge, %d times a list was paged (%d on a later page than its first), "
                "lists of up to %d, %d and %d jobs; %d failing ticks\n",
                ran, seconds, m_JobsdbRuns, m_CutLists, m_PagedLists, m_LaterPages, m_Longest[0],
                m_Longest[1], m_Longest[2], failedTicks);
    EXPECT_EQ(failedTicks, 0) << "first failing tick:\n" << firstFailure;
}

std::string TablesName(const ::testing::TestParamInfo<Tables>& tables) {
    return tables.param == Tables::Files ? "Desktop" : "Server";
}

INSTANTIATE_TEST_SUITE_P(, Differential, ::testing::Values(Tables::Files, Tables::Server), TablesName);

} // namespace
} // namespace ws::test
