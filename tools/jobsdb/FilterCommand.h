#pragma once

#include "data/FilterExpr.h"
#include "engine/Types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ws::jobsdb {

struct FilterCommandResult {
    std::string output;
    int exitStatus = 0;
};

// jobsdb filter TABLE TEXT: the expression buffer a table view would hand the engine for TEXT, as
// lower-case hexadecimal bytes, 16 to a line; or the builder's message and exit status 1.
FilterCommandResult FilterCommand(const TExprFields& fields, const std::string& text);

// The same for a table of the database in directory dir, with the fields the engine reports.
FilterCommandResult FilterCommandForTable(const std::string& dir, const std::string& table,
                                          const std::string& text);

std::string HexLines(std::span<const std::uint8_t> bytes);

} // namespace ws::jobsdb
