#include "app/BoardComparison.h"

#include "app/frmJobs.h"
#include "ui/Label.h"

#include <cstdio>

namespace ws::test {

namespace {

std::string Hex(std::uint32_t color) {
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", color);
    return text;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
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

    differs("page", expected.page + 1, grid.Page() + 1);
    differs("pages", expected.pages, grid.PageCount());
    if (expected.pages > 1)
        ++out.pagedLists;
    if (expected.page > 0)
        ++out.laterPages;

    // The rows of the page shown (all the list's rows when it is not paged): every one of them
    // that the window shows whole is painted. Rows the window's bottom edge cuts or hides may be
    // painted too (the grid paints its whole client area off-screen), never more rows than the
    // page holds.
    const std::vector<TwsPaintedRow>& painted = grid.PaintedRows();
    const int k = static_cast<int>(painted.size());
    const int m = expected.shown;
    const auto at = [&](int i) -> const model::Row& {
        return expected.rows[static_cast<std::size_t>(expected.first + i)];
    };
    const int windowBottom = form.ClientHeight() - grid.Top();
    int whole = 0;
    while (whole < m && model::RowTop(whole) + model::kDataRowHeight <= windowBottom)
        ++whole;
    if (whole < m)
        ++out.cutLists;
    if (k < whole)
        out.lines.push_back(name + ": " + std::to_string(k) + " rows painted, expected " +
                            std::to_string(whole) +
                            (whole < m ? " (of " + std::to_string(m) + ", the rest below the window)" : "") +
                            "; first missing: job " + at(k).orderNo);
    if (k > m) {
        out.lines.push_back(name + ": " + std::to_string(k) + " rows painted, the page holds " +
                            std::to_string(m));
        for (int i = m; i < k && i < m + 3; ++i) {
            const auto& cells = painted[static_cast<std::size_t>(i)].Cells;
            out.lines.push_back(name + " row " + std::to_string(i) + ": painted " +
                                Quoted(cells.empty() ? std::string() : cells.front().Text) +
                                ", expected none");
        }
    }
    // The painted rows are the page's rows, in the list's order.
    for (int i = 0; i < k && i < m; ++i) {
        const model::Row& row = at(i);
        CompareRow(name + " row " + std::to_string(expected.first + i) + " (job " + row.orderNo + ")",
                   painted[static_cast<std::size_t>(i)], row, out.lines);
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
