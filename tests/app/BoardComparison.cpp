#include "app/BoardComparison.h"

#include "app/frmJobs.h"
#include "ui/Label.h"

#include <algorithm>
#include <cstdio>

namespace ws::test {

namespace {

std::string Hex(std::uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", colour);
    return text;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool SameCell(const TwsPaintedCell& actual, const model::Cell& expected) {
    return actual.Field == expected.field && actual.Text == expected.text &&
           static_cast<std::uint32_t>(actual.Font) == expected.font &&
           static_cast<std::uint32_t>(actual.Brush) == expected.brush && actual.Image == expected.image;
}

bool SameRow(const TwsPaintedRow& actual, const model::Row& expected) {
    if (actual.Cells.size() != expected.cells.size())
        return false;
    for (std::size_t c = 0; c < actual.Cells.size(); ++c) {
        if (!SameCell(actual.Cells[c], expected.cells[c]))
            return false;
    }
    return true;
}

void CompareRow(const std::string& where, const TwsPaintedRow& actual, const model::Row& expected,
                std::vector<std::string>& lines) {
    if (actual.Cells.size() != expected.cells.size()) {
        lines.push_back(where + ": " + std::to_string(actual.Cells.size()) + " cells painted, expected " +
                        std::to_string(expected.cells.size()));
        return;
    }
    for (std::size_t c = 0; c < actual.Cells.size(); ++c) {
        const TwsPaintedCell& a = actual.Cells[c];
        const model::Cell& e = expected.cells[c];
        const std::string cell = where + " field " + e.field;
        if (a.Field != e.field)
            lines.push_back(cell + ": column shows field " + Quoted(a.Field));
        if (a.Text != e.text)
            lines.push_back(cell + ": text expected " + Quoted(e.text) + ", actual " + Quoted(a.Text));
        if (static_cast<std::uint32_t>(a.Font) != e.font)
            lines.push_back(cell + ": font expected " + Hex(e.font) + ", actual " +
                            Hex(static_cast<std::uint32_t>(a.Font)));
        if (static_cast<std::uint32_t>(a.Brush) != e.brush)
            lines.push_back(cell + ": brush expected " + Hex(e.brush) + ", actual " +
                            Hex(static_cast<std::uint32_t>(a.Brush)));
        if (a.Image != e.image)
            lines.push_back(cell + ": LED image expected " + std::to_string(e.image) + ", actual " +
                            std::to_string(a.Image));
    }
}

void CompareGrid(const TActiveJobsForm& form, const TwsDBGrid& grid, const model::Grid& expected,
                 BoardDifferences& out) {
    const std::string name = expected.name;
    auto differs = [&](const char* what, long long e, long long a) {
        if (e != a)
            out.lines.push_back(name + ": " + what + " expected " + std::to_string(e) + ", actual " +
                                std::to_string(a));
    };
    differs("top", expected.top, grid.Top());
    differs("height", expected.height, grid.Height());
    differs("visible", expected.visible, grid.Visible());
    TDataSet* view = grid.DataSet();
    differs("recordCount", expected.recordCount, view != nullptr && view->Active() ? view->RecordCount() : 0);
    if (!expected.visible || !grid.Visible())
        return;

    const std::vector<TwsPaintedRow>& painted = grid.PaintedRows();
    const std::size_t k = painted.size();
    const std::size_t m = expected.rows.size();
    if (k > m) {
        out.lines.push_back(name + ": " + std::to_string(k) + " rows painted, the list holds " +
                            std::to_string(m));
        for (std::size_t i = m; i < k && i < m + 3; ++i) {
            const std::string first = painted[i].Cells.empty() ? std::string() : painted[i].Cells[0].Text;
            out.lines.push_back(name + " row " + std::to_string(i) + ": painted " + Quoted(first) +
                                ", expected none");
        }
    }
    if (k == 0) {
        out.lines.push_back(name + ": no row painted, the list holds " + std::to_string(m));
        return;
    }
    // Where the painted rows start in the list: at its first row, unless not every row fits and
    // the view's row window stayed on a current row further down.
    std::size_t offset = 0;
    if (k < m && !SameRow(painted[0], expected.rows[0])) {
        for (std::size_t s = 1; s + k <= m; ++s) {
            if (SameRow(painted[0], expected.rows[s])) {
                offset = s;
                ++out.scrolledLists;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < k && offset + i < m; ++i) {
        const model::Row& row = expected.rows[offset + i];
        CompareRow(name + " row " + std::to_string(i) + " (job " + row.orderNo + ")", painted[i], row,
                   out.lines);
    }
    // A row left out although it would fit in the grid and in the window.
    if (offset + k < m && !painted.back().Cells.empty()) {
        const TRect last = painted.back().Cells.front().Rect;
        const int nextBottom = last.bottom + 1 + last.Height();
        const int windowBottom = form.Height() - grid.Top() - TCustomGrid::BorderWidth;
        if (nextBottom <= std::min(grid.ClientHeight(), windowBottom))
            out.lines.push_back(name + ": row " + std::to_string(k) + " (job " +
                                expected.rows[offset + k].orderNo + ") not painted although it fits");
    }
}

} // namespace

std::string BoardDifferences::Text(std::size_t most) const {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < most; ++i)
        text += "  " + lines[i] + "\n";
    if (lines.size() > most)
        text += "  ... and " + std::to_string(lines.size() - most) + " more\n";
    return text;
}

BoardDifferences CompareBoard(const TActiveJobsForm& form, const model::Board& expected) {
    BoardDifferences out;
    const std::string header = form.HeaderLbl()->Caption();
    if (header != expected.header)
        out.lines.push_back("header: expected " + Quoted(expected.header) + ", actual " + Quoted(header));
    const TwsDBGrid* grids[] = {form.JobsGrid(), form.SpecialDateGrid(), form.RnRGrid()};
    for (std::size_t g = 0; g < 3; ++g) {
        if (grids[g] == nullptr)
            out.lines.push_back(expected.grids[g].name + ": missing");
        else
            CompareGrid(form, *grids[g], expected.grids[g], out);
    }
    return out;
}

} // namespace ws::test
