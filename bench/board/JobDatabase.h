#pragma once

// Job databases of a chosen size for measuring the board: the engine creates the four empty
// tables, then the rows go in with SQLite directly, one transaction per table, so that even
// 100,000 orders take seconds rather than minutes.

#include <string>

namespace ws::bench {

struct JobDatabaseShape {
    int orders = 1000;
    // Orders with IsActive set: spread evenly through the table; all of them when >= orders.
    int active = 130;
};

// What was written, for the report.
struct JobDatabaseFacts {
    int orders = 0;
    int active = 0;
    int jewishRows = 0;
    int rnrRows = 0;
};

// The local day the databases' due dates are spread around (2024-03-01), and the time of day
// the board is started at on it.
inline constexpr const char* kBenchStart = "2024-03-01 10:00:00.000";

// Fills the empty directory 'dir' with OrderHead.DB, Options.DB (the five colour bands),
// Jewish.DB and RNR.DB. About a third of the orders are Jewish, a sixth special-date, a sixth
// interment; most Jewish and interment orders have a detail row, some two. Throws
// std::runtime_error on any failure.
JobDatabaseFacts BuildJobDatabase(const std::string& dir, const JobDatabaseShape& shape);

} // namespace ws::bench
