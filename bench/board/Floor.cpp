#include "Floor.h"

#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace ws::bench {

namespace {

// Day 1 is 1 January 0001; written day/month/year.
std::string DateText(sqlite3_stmt* st, int column) {
    if (sqlite3_column_type(st, column) == SQLITE_NULL)
        return {};
    // Days since 1970-01-01, then the civil date (proleptic Gregorian calendar).
    const long long z = sqlite3_column_int64(st, column) - 1 - 719162 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2 ? 1 : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld/%02lld/%04lld", d, m, y);
    return text;
}

std::string Text(sqlite3_stmt* st, int column) {
    const unsigned char* t = sqlite3_column_text(st, column);
    return t ? reinterpret_cast<const char*>(t) : std::string();
}

std::uint64_t Mix(std::uint64_t sum, const std::string& text) {
    for (unsigned char c : text)
        sum = (sum ^ c) * 1099511628211ULL;
    return sum;
}

struct Job {
    std::string orderNo, name, due, abv, location, section, graveNo, invoiced;
    bool jewish = false, interment = false, specialDate = false, invoicedFlag = false;
};

struct Detail {
    std::string a, b, c; // Jewish: Stone, Position; RNR: CurrentLocation, Name, BurialDate
};

} // namespace

struct Floor::State {
    sqlite3* orders = nullptr;
    sqlite3* jewish = nullptr;
    sqlite3* rnr = nullptr;
    sqlite3_stmt* readOrders = nullptr;
    sqlite3_stmt* readJewish = nullptr;
    sqlite3_stmt* readRnr = nullptr;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> image;

    static sqlite3* Open(const std::string& file) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("floor: cannot open " + file);
        return db;
    }
    static sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("floor: ") + sql + ": " + sqlite3_errmsg(db));
        return st;
    }
};

Floor::Floor(const std::string& dir, int width, int height) : m_State(std::make_unique<State>()) {
    State& s = *m_State;
    s.orders = State::Open(dir + "/OrderHead.DB");
    s.jewish = State::Open(dir + "/Jewish.DB");
    s.rnr = State::Open(dir + "/RNR.DB");
    // Blank due dates first, equal ones in row order: the board's index order. One pass over the
    // table and a sort of the few rows it lets through ("+" keeps SQLite from walking the due-date
    // index instead, which costs a look-up in the table for every order, active or not).
    s.readOrders =
        State::Prepare(s.orders, "SELECT OrderNo, Name, DueDate, LocationABV, Location, Section, GraveNo, "
                                 "Invoiced, IsJewish, IsInterment, DateOffSet FROM records "
                                 "WHERE IsActive = 1 ORDER BY +DueDate, rowid");
    s.readJewish = State::Prepare(s.jewish, "SELECT OrderNo, Stone, Position FROM records ORDER BY rowid");
    s.readRnr = State::Prepare(s.rnr, "SELECT OrderNo, CurrentLocation, Name, BurialDate FROM records "
                                      "ORDER BY rowid");
    s.width = width;
    s.height = height;
    s.image.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

Floor::~Floor() {
    State& s = *m_State;
    sqlite3_finalize(s.readOrders);
    sqlite3_finalize(s.readJewish);
    sqlite3_finalize(s.readRnr);
    sqlite3_close(s.orders);
    sqlite3_close(s.jewish);
    sqlite3_close(s.rnr);
}

FloorCounts Floor::Tick() {
    State& s = *m_State;
    FloorCounts counts;
    std::uint64_t sum = 14695981039346656037ULL;

    std::vector<Job> jobs;
    std::unordered_map<std::string, std::size_t> jewishJobs;
    std::unordered_map<std::string, std::size_t> intermentJobs;
    while (sqlite3_step(s.readOrders) == SQLITE_ROW) {
        Job job;
        job.orderNo = Text(s.readOrders, 0);
        job.name = Text(s.readOrders, 1);
        job.due = DateText(s.readOrders, 2);
        job.abv = Text(s.readOrders, 3);
        job.location = Text(s.readOrders, 4);
        job.section = Text(s.readOrders, 5);
        job.graveNo = Text(s.readOrders, 6);
        job.invoicedFlag = sqlite3_column_int(s.readOrders, 7) != 0;
        job.invoiced = job.invoicedFlag ? "True" : "False";
        job.jewish = sqlite3_column_int(s.readOrders, 8) != 0;
        job.interment = sqlite3_column_int(s.readOrders, 9) != 0;
        job.specialDate = sqlite3_column_type(s.readOrders, 10) != SQLITE_NULL &&
                          sqlite3_column_double(s.readOrders, 10) == 3.0;
        if (job.jewish)
            jewishJobs.emplace(job.orderNo, jobs.size());
        if (job.interment && !job.invoicedFlag)
            intermentJobs.emplace(job.orderNo, jobs.size());
        jobs.push_back(std::move(job));
    }
    sqlite3_reset(s.readOrders);

    // The first detail row of each listed job.
    std::vector<Detail> details(jobs.size());
    std::vector<bool> found(jobs.size(), false);
    while (sqlite3_step(s.readJewish) == SQLITE_ROW) {
        const auto at = jewishJobs.find(Text(s.readJewish, 0));
        if (at == jewishJobs.end() || found[at->second])
            continue;
        found[at->second] = true;
        details[at->second] = Detail{Text(s.readJewish, 1), Text(s.readJewish, 2), {}};
    }
    sqlite3_reset(s.readJewish);
    while (sqlite3_step(s.readRnr) == SQLITE_ROW) {
        const auto at = intermentJobs.find(Text(s.readRnr, 0));
        if (at == intermentJobs.end() || found[at->second])
            continue;
        found[at->second] = true;
        details[at->second] = Detail{Text(s.readRnr, 1), Text(s.readRnr, 2), DateText(s.readRnr, 3)};
    }
    sqlite3_reset(s.readRnr);

    // Every value each list shows, as the text it is shown as.
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = jobs[i];
        if (job.jewish) {
            ++counts.jewish;
            const std::string memorial = found[i] ? details[i].a + " " + details[i].b : std::string();
            for (const std::string* t :
                 {&job.name, &job.invoiced, &job.due, &job.abv, &memorial, &job.section, &job.graveNo})
                sum = Mix(sum, *t);
        }
        if (job.specialDate) {
            ++counts.specialDate;
            for (const std::string* t :
                 {&job.name, &job.invoiced, &job.due, &job.location, &job.section, &job.graveNo})
                sum = Mix(sum, *t);
        }
        if (job.interment && !job.invoicedFlag) {
            ++counts.interment;
            const Detail& detail = details[i];
            std::string cemetery = job.location;
            if (!job.section.empty())
                cemetery += " S:" + job.section;
            if (!job.graveNo.empty())
                cemetery += " G:" + job.graveNo;
            const std::string& cemeteryText = cemetery;
            for (const std::string* t : {&job.name, &detail.b, &job.due, &detail.c, &cemeteryText, &detail.a})
                sum = Mix(sum, *t);
        }
    }

    // The window, every pixel written once.
    const std::uint32_t color = static_cast<std::uint32_t>(sum) | 0xFF000000u;
    for (std::uint32_t& pixel : s.image)
        pixel = color;
    sum = Mix(sum, std::string(reinterpret_cast<const char*>(&s.image[s.image.size() / 2]), 4));
    counts.checksum = sum;
    return counts;
}

} // namespace ws::bench
