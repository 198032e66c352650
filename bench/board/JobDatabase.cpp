#include "JobDatabase.h"

#include "engine/Engine.h"
#include "jobs/JobSchema.h"
#include "jobs/JobTables.h"

#include <array>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace ws::bench {

namespace {

// 2024-03-01 as the tables store a date: day 1 is 1 January 0001.
constexpr int kToday = 45352 + 693594;

// A fixed sequence, so that a size always gives the same database.
class Random {
public:
    int Next(int bound) {
        m_State = m_State * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((m_State >> 33) % static_cast<unsigned long long>(bound));
    }

private:
    unsigned long long m_State = 20240301ULL;
};

const char* const kSurnames[] = {"Abrahams", "Baker",  "Cohen",  "Davies",  "Evans",  "Fischer", "Green",
                                 "Harris",   "Isaacs", "Jacobs", "Kaplan",  "Levy",   "Morris",  "Nathan",
                                 "Owen",     "Price",  "Quinn",  "Roberts", "Samuel", "Taylor",  "Walker"};
const char* const kInitials[] = {"A.", "B.", "D.", "E.", "H.", "J.", "M.", "R.", "S."};
const char* const kCemeteries[] = {"Bushey",    "Edmonton", "Golders Green",
                                   "Willesden", "Rainham",  "Enfield Lawn"};
const char* const kAbbreviations[] = {"BUSH", "EDMT", "GOLD", "WILL", "RAIN", "ENFL"};
const char* const kStones[] = {"Black granite headstone", "Grey granite tablet", "White marble",
                               "Rustic pink granite", "Indian black kerb set"};
const char* const kPositions[] = {"Left of path", "Row 3 end", "Near east wall", "Second from gate", ""};
const char* const kStorage[] = {"Yard bay 1", "Yard bay 2", "Workshop", "Cemetery lodge",
                                "Stone store rack B"};

template <std::size_t N>
const char* Pick(Random& random, const char* const (&items)[N]) {
    return items[random.Next(static_cast<int>(N))];
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("job database: " + what);
}

// One table file opened with SQLite, filled by one prepared insert inside one transaction.
class Filler {
public:
    Filler(const std::string& file, const std::vector<std::string>& columns) {
        if (sqlite3_open_v2(file.c_str(), &m_Db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            Fail(file + ": " + sqlite3_errmsg(m_Db));
        Exec("PRAGMA synchronous = OFF");
        Exec("BEGIN");
        std::string names;
        std::string marks;
        for (const std::string& c : columns) {
            names += (names.empty() ? "\"" : ", \"") + c + "\"";
            marks += marks.empty() ? "?" : ", ?";
        }
        const std::string sql = "INSERT INTO records (" + names + ") VALUES (" + marks + ")";
        if (sqlite3_prepare_v2(m_Db, sql.c_str(), -1, &m_Insert, nullptr) != SQLITE_OK)
            Fail(file + ": " + sql + ": " + sqlite3_errmsg(m_Db));
    }
    ~Filler() {
        sqlite3_finalize(m_Insert);
        sqlite3_close(m_Db);
    }
    Filler(const Filler&) = delete;
    Filler& operator=(const Filler&) = delete;

    void Text(int i, const std::string& value) {
        sqlite3_bind_text(m_Insert, i, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    void Int(int i, long long value) { sqlite3_bind_int64(m_Insert, i, value); }
    void Real(int i, double value) { sqlite3_bind_double(m_Insert, i, value); }
    void Row() {
        if (sqlite3_step(m_Insert) != SQLITE_DONE)
            Fail(std::string("insert: ") + sqlite3_errmsg(m_Db));
        sqlite3_reset(m_Insert);
        sqlite3_clear_bindings(m_Insert);
        ++m_Rows;
    }
    int Commit() {
        Exec("COMMIT");
        return m_Rows;
    }

private:
    void Exec(const char* sql) {
        if (sqlite3_exec(m_Db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail(std::string(sql) + ": " + sqlite3_errmsg(m_Db));
    }
    sqlite3* m_Db = nullptr;
    sqlite3_stmt* m_Insert = nullptr;
    int m_Rows = 0;
};

void CreateTables(const std::string& dir) {
    engine::EngineInit();
    engine::hDatabase db = 0;
    engine::EngineStatus status =
        engine::OpenDatabase(dir, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, db);
    for (const SchemaTable* table : JobTables()) {
        if (status == engine::esOk)
            status = engine::CreateTable(db, MakeTableSpec(*table));
    }
    if (db != 0)
        engine::CloseDatabase(db);
    engine::EngineExit();
    if (status != engine::esOk)
        Fail("cannot create the tables in " + dir + " (engine status " + std::to_string(status) + ")");
}

enum class Kind { Plain, Jewish, SpecialDate, Interment };

Kind KindOf(Random& random) {
    switch (random.Next(6)) {
    case 0:
    case 1:
        return Kind::Jewish;
    case 2:
        return Kind::SpecialDate;
    case 3:
        return Kind::Interment;
    default:
        return Kind::Plain;
    }
}

} // namespace

JobDatabaseFacts BuildJobDatabase(const std::string& dir, const JobDatabaseShape& shape) {
    CreateTables(dir);
    JobDatabaseFacts facts;
    Random random;
    {
        Filler options(dir + "/Options.DB", {"OptionName", "OptionValue"});
        const char* const colors[] = {"clRed", "clMaroon", "clPurple", "clBlue", "clGreen"};
        for (int band = 1; band <= 5; ++band) {
            options.Text(1, "Band " + std::to_string(band));
            options.Text(2, colors[band - 1]);
            options.Row();
        }
        options.Text(1, "VAT Rate");
        options.Text(2, "20");
        options.Row();
        options.Commit();
    }
    enum Column {
        cOrderNo = 1,
        cClientID,
        cName,
        cAddress,
        cOrderDate,
        cDueDate,
        cDateOffSet,
        cTotalExcVat,
        cVAT,
        cTotalincVat,
        cBalance,
        cLocation,
        cLocationABV,
        cSection,
        cGraveNo,
        cJobNo,
        cStone,
        cInvoiced,
        cTcReceived,
        cIncy,
        cIsJewish,
        cIsInterment,
        cIsActive,
        cActive
    };
    Filler orders(dir + "/OrderHead.DB",
                  {"OrderNo",     "ClientID",    "Name",     "Address",     "OrderDate", "DueDate",
                   "DateOffSet",  "TotalExcVat", "VAT",      "TotalincVat", "Balance",   "Location",
                   "LocationABV", "Section",     "GraveNo",  "JobNo",       "Stone",     "Invoiced",
                   "TcReceived",  "Incy",        "IsJewish", "IsInterment", "IsActive",  "Active"});
    Filler jewish(dir + "/Jewish.DB", {"OrderNo", "Rabbi", "Stone", "Position", "Priority", "JobNo",
                                       "DueDate", "RecID", "Location", "Name"});
    Filler rnr(dir + "/RNR.DB",
               {"OrderNo", "RemoveBefore", "RemovedOn", "CurrentLocation", "JobRef", "Name", "BurialDate"});
    const bool allActive = shape.active >= shape.orders;
    for (int i = 0; i < shape.orders; ++i) {
        const Kind kind = KindOf(random);
        // Evenly spread: order i is active when it crosses the next multiple of orders / active.
        const bool active =
            allActive || (shape.active > 0 && (static_cast<long long>(i + 1) * shape.active / shape.orders) !=
                                                  (static_cast<long long>(i) * shape.active / shape.orders));
        const char prefix = kind == Kind::Jewish        ? 'J'
                            : kind == Kind::SpecialDate ? 'S'
                            : kind == Kind::Interment   ? 'I'
                                                        : 'P';
        const std::string orderNo = prefix + std::to_string(100000 + i);
        const int due = kToday - 40 + random.Next(100);
        const int place = random.Next(static_cast<int>(std::size(kCemeteries)));
        const double total = 400 + 25 * random.Next(80);
        orders.Text(cOrderNo, orderNo);
        orders.Text(cClientID, "C" + std::to_string(300 + i));
        orders.Text(cName, std::string(Pick(random, kInitials)) + " " + Pick(random, kSurnames));
        orders.Text(cAddress, std::to_string(1 + random.Next(200)) + " High Street\nLondon");
        orders.Int(cOrderDate, due - 30 - random.Next(60));
        if (random.Next(25) != 0)
            orders.Int(cDueDate, due);
        orders.Real(cDateOffSet, kind == Kind::SpecialDate ? 3 : random.Next(3));
        orders.Real(cTotalExcVat, total);
        orders.Real(cVAT, total * 0.2);
        orders.Real(cTotalincVat, total * 1.2);
        orders.Real(cBalance, random.Next(3) == 0 ? 0.0 : total * 0.6);
        orders.Text(cLocation, kCemeteries[place]);
        orders.Text(cLocationABV, kAbbreviations[place]);
        if (random.Next(5) != 0)
            orders.Text(cSection, std::string(1, static_cast<char>('A' + random.Next(12))));
        if (random.Next(6) != 0)
            orders.Text(cGraveNo, std::to_string(1 + random.Next(900)));
        orders.Text(cJobNo, std::to_string(5000 + i % 1000000));
        orders.Text(cStone, Pick(random, kStones));
        orders.Int(cInvoiced, random.Next(4) == 0 ? 1 : 0);
        orders.Int(cTcReceived, random.Next(2));
        orders.Int(cIncy, random.Next(3) == 0 ? 1 : 0);
        orders.Int(cIsJewish, kind == Kind::Jewish ? 1 : 0);
        orders.Int(cIsInterment, kind == Kind::Interment ? 1 : 0);
        orders.Int(cIsActive, active ? 1 : 0);
        orders.Int(cActive, 1);
        orders.Row();
        facts.active += active ? 1 : 0;
        // Most detail rows exist; a few orders have two (the board shows the first).
        const int details = random.Next(8) == 0 ? 0 : (random.Next(10) == 0 ? 2 : 1);
        for (int d = 0; d < details && kind == Kind::Jewish; ++d) {
            jewish.Text(1, orderNo);
            jewish.Text(2, std::string("Rabbi ") + Pick(random, kSurnames));
            jewish.Text(3, Pick(random, kStones));
            jewish.Text(4, Pick(random, kPositions));
            jewish.Int(5, 1 + random.Next(3));
            jewish.Text(6, std::to_string(5000 + i));
            jewish.Int(7, due);
            jewish.Int(8, i);
            jewish.Text(9, Pick(random, kCemeteries));
            jewish.Text(10, Pick(random, kSurnames));
            jewish.Row();
        }
        for (int d = 0; d < details && kind == Kind::Interment; ++d) {
            rnr.Text(1, orderNo);
            rnr.Int(2, due - 7);
            if (random.Next(2) == 0)
                rnr.Int(3, due - 10);
            rnr.Text(4, Pick(random, kStorage));
            rnr.Text(5, "R" + std::to_string(700 + i));
            rnr.Text(6, std::string(Pick(random, kInitials)) + " " + Pick(random, kSurnames));
            rnr.Int(7, due - 3 - random.Next(10));
            rnr.Row();
        }
    }
    facts.orders = orders.Commit();
    facts.jewishRows = jewish.Commit();
    facts.rnrRows = rnr.Commit();
    return facts;
}

} // namespace ws::bench
