#pragma once

// Compares what the running wall screen shows with what the board model says it should show:
// the header line, each list's place, visibility and count, and every row its grid painted last,
// cell by cell (text, font colour, brush colour, LED picture).

#include "app/BoardModel.h"

#include <string>
#include <vector>

namespace ws {
class TActiveJobsForm;
}

namespace ws::test {

struct BoardDifferences {
    // One line per difference, naming the grid, the row, the job, the field, what the model
    // expected and what the board showed.
    std::vector<std::string> lines;
    // Lists cut off by the window's bottom edge, so that only some of their rows were painted.
    int cutLists = 0;
    bool Empty() const { return lines.empty(); }
    std::string Text(std::size_t most = 12) const;
};

BoardDifferences CompareBoard(const TActiveJobsForm& form, const model::Board& expected);

} // namespace ws::test
