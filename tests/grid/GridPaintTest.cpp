// What the data grid paints: the highlight of the current cell, the colours a colour handler
// gives a cell and the row lines that follow from them, the rows that fit and the band below,
// and the texts of memo and logical columns. Pixels are read from the form's painted image.

#include "data/FieldType.h"
#include "grid/GridFixture.h"
#include "platform/SystemColors.h"

namespace ws::test {
namespace {

class GridPaintTest : public GridFixture {
protected:
    const platform::Image& Paint(TwsDBGrid& grid) {
        grid.Repaint();
        system->ProcessMessages();
        return system->WindowImage(form->Handle());
    }

    // A pixel of the grid's client area, as painted last.
    static platform::Pixel At(const platform::Image& image, const TwsDBGrid& grid, int x, int y) {
        return image.At(grid.Left() + TCustomGrid::BorderWidth + x,
                        grid.Top() + TCustomGrid::BorderWidth + y);
    }

    static platform::Pixel Rgb(TColor color) { return platform::ResolveColor(color); }

    static const TwsPaintedCell& Cell(const TwsDBGrid& grid, int dataRow, const std::string& field) {
        for (const TwsPaintedRow& row : grid.PaintedRows()) {
            if (row.DataRow != dataRow)
                continue;
            for (const TwsPaintedCell& cell : row.Cells) {
                if (cell.Field == field)
                    return cell;
            }
        }
        static const TwsPaintedCell none;
        ADD_FAILURE() << "no painted cell " << field << " in row " << dataRow;
        return none;
    }

    // A point in the empty right part of a cell, away from its text and lines.
    static platform::Point Inside(const TRect& cell) {
        return {cell.right - 4, cell.top + cell.Height() / 2};
    }
};

TEST_F(GridPaintTest, OnlyTheFocusedGridsCurrentCellIsHighlighted) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 6);
    grid.SetCol(0);
    const TRect current = grid.CellRect(0, grid.Row());
    const TRect beside = grid.CellRect(2, grid.Row());

    const platform::Image& unfocused = Paint(grid);
    platform::Point p = Inside(current);
    EXPECT_EQ(At(unfocused, grid, p.x, p.y), Rgb(clWindow));
    for (const TwsPaintedRow& row : grid.PaintedRows()) {
        for (const TwsPaintedCell& cell : row.Cells)
            EXPECT_NE(cell.Brush, clHighlight) << cell.Field << " in row " << row.DataRow;
    }

    system->SetFocus(grid.Handle());
    const platform::Image& focused = Paint(grid);
    EXPECT_EQ(At(focused, grid, p.x, p.y), Rgb(clHighlight));
    EXPECT_EQ(Cell(grid, 0, "Name").Brush, clHighlight);
    EXPECT_EQ(Cell(grid, 0, "Name").Font, clHighlightText);
    // Never the whole row.
    p = Inside(beside);
    EXPECT_EQ(At(focused, grid, p.x, p.y), Rgb(clWindow));
    EXPECT_EQ(Cell(grid, 0, "DueDate").Brush, clWindow);
    // The two-part focus rectangle: a highlight outline with every other pixel inverted.
    int outline = 0;
    int inverted = 0;
    for (int x = current.left; x < current.right; ++x) {
        const platform::Pixel px = At(focused, grid, x, current.top);
        outline += px == Rgb(clHighlight);
        inverted += px != Rgb(clHighlight);
    }
    EXPECT_GT(outline, current.Width() / 3);
    EXPECT_GT(inverted, current.Width() / 3);
}

TEST_F(GridPaintTest, TheColorHandlerDecidesFillAndRowLines) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 6);
    TwsTable& view = *JobsDM->JobsTable();
    grid.DataLink().SetActiveRecord(0);
    const std::string first = view.FieldNamed("OrderNo")->AsString();
    int calls = 0;
    grid.OnCalcCellColors = [&](TObject* sender, TField*, TGridDrawState state, bool, TFont*, TBrush* brush) {
        EXPECT_EQ(sender, &grid);
        EXPECT_FALSE(state.Contains(TGridDrawStateFlag::gdFixed));
        ++calls;
        brush->SetColor(view.FieldNamed("OrderNo")->AsString() == first ? clBlue : clWindow);
    };
    const platform::Image& image = Paint(grid);
    int cells = 0;
    for (const TwsPaintedRow& row : grid.PaintedRows())
        cells += static_cast<int>(row.Cells.size());
    EXPECT_EQ(calls, cells);
    // The last cell painted was set to the colour it already had.
    EXPECT_FALSE(grid.BrushWasChanged());
    EXPECT_TRUE(grid.LightBackground());

    const TRect blue = grid.CellRect(2, 1);
    const platform::Point p = Inside(blue);
    EXPECT_EQ(At(image, grid, p.x, p.y), Rgb(clBlue));
    EXPECT_EQ(Cell(grid, 0, "DueDate").Brush, clBlue);
    // The blue row stands out: light along its top, shadow under it.
    EXPECT_EQ(At(image, grid, p.x, blue.top), Rgb(clBtnHighlight));
    EXPECT_EQ(At(image, grid, p.x, blue.bottom), Rgb(clBtnShadow));
    // The next row stays white with the single silver line.
    const TRect white = grid.CellRect(2, 2);
    EXPECT_EQ(At(image, grid, p.x, white.top + white.Height() / 2), Rgb(clWindow));
    EXPECT_EQ(At(image, grid, p.x, white.bottom), Rgb(clSilver));
    EXPECT_EQ(Cell(grid, 1, "DueDate").Brush, clWindow);
}

TEST_F(GridPaintTest, ColorsHandedOnAsNoneKeepTheCellsColors) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 4);
    grid.Font().SetColor(clMaroon);
    grid.OnCalcCellColors = [](TObject*, TField*, TGridDrawState, bool, TFont* font, TBrush* brush) {
        font->SetColor(clNone);
        brush->SetColor(clNone);
    };
    const platform::Image& image = Paint(grid);
    EXPECT_EQ(Cell(grid, 0, "Name").Font, clMaroon);
    EXPECT_EQ(Cell(grid, 0, "Name").Brush, clWindow);
    const TRect cell = grid.CellRect(2, 1);
    EXPECT_EQ(At(image, grid, Inside(cell).x, cell.bottom), Rgb(clSilver));
}

TEST_F(GridPaintTest, AGridWithoutHandlerDrawsInItsOwnFontColor) {
    TwsDBGrid& grid = MakeGrid(JobsDM->Jobs2DS(), 33 * 5);
    grid.Font().SetColor(clRed);
    const platform::Image& image = Paint(grid);
    ASSERT_FALSE(grid.PaintedRows().empty());
    bool red = false;
    for (const TwsPaintedRow& row : grid.PaintedRows()) {
        for (const TwsPaintedCell& cell : row.Cells) {
            EXPECT_EQ(cell.Font, clRed);
            EXPECT_EQ(cell.Brush, clWindow);
        }
    }
    // Some text pixel of the first name is pure red.
    const TRect name = grid.CellRect(0, 1);
    for (int y = name.top; y < name.bottom && !red; ++y) {
        for (int x = name.left; x < name.right && !red; ++x)
            red = At(image, grid, x, y) == Rgb(clRed);
    }
    EXPECT_TRUE(red);
}

TEST_F(GridPaintTest, OnlyWholeRowsArePaintedAndTheRestIsARaisedBand) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 8);
    const int title = grid.RowHeights(0) + 1;
    const int row = grid.RowHeights(1) + 1;
    grid.SetHeight(2 * TCustomGrid::BorderWidth + title + 2 * row + row / 2);
    ASSERT_GE(JobsDM->JobsTable()->RecordCount(), 3);
    const platform::Image& image = Paint(grid);
    ASSERT_EQ(grid.PaintedRows().size(), 2u);
    EXPECT_EQ(grid.LastFullRow(), 2);
    const int y = grid.CellRect(0, 2).bottom;
    const int x = grid.ClientWidth() / 2;
    EXPECT_EQ(At(image, grid, x, y), Rgb(clSilver));
    EXPECT_EQ(At(image, grid, x, y + 1), Rgb(clBtnHighlight));
    EXPECT_EQ(At(image, grid, 0, y + 4), Rgb(clBtnHighlight));
    EXPECT_EQ(At(image, grid, x, y + 2), Rgb(clBtnFace));
    EXPECT_EQ(At(image, grid, x, grid.ClientHeight() - 1), Rgb(clBtnFace));
}

// The account of a pass, one line per cell, for comparing two passes.
std::vector<std::string> Account(const TwsDBGrid& grid) {
    std::vector<std::string> lines;
    for (const TwsPaintedRow& row : grid.PaintedRows()) {
        for (const TwsPaintedCell& cell : row.Cells)
            lines.push_back(std::to_string(row.DataRow) + " " + cell.Field + " " + cell.Text + " " +
                            std::to_string(cell.Font) + " " + std::to_string(cell.Brush) + " " +
                            std::to_string(cell.Image) + " " + std::to_string(cell.Rect.left) + "," +
                            std::to_string(cell.Rect.top) + "," + std::to_string(cell.Rect.right) + "," +
                            std::to_string(cell.Rect.bottom));
    }
    return lines;
}

// Pixels of the window's area 'r' in which two images differ.
int Differences(const platform::Image& a, const platform::Image& b, const TRect& r) {
    int differ = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x)
            differ += a.At(x, y) != b.At(x, y);
    }
    return differ;
}

// A grid that reaches far below the bottom of its window: what the window shows of it is painted
// exactly as when the window shows it whole, and the rows below the window's edge are neither
// painted (no colour calls for them) nor listed. The row the edge cuts through is.
TEST_F(GridPaintTest, AGridReachingBelowItsWindowPaintsAndListsOnlyWhatTheWindowShows) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 40);
    const int records = grid.DataLink().RecordCount();
    ASSERT_GE(records, 15);
    int calls = 0;
    grid.OnCalcCellColors = [&](TObject*, TField*, TGridDrawState, bool, TFont*, TBrush*) { ++calls; };
    const platform::Image whole = Paint(grid);
    ASSERT_EQ(grid.PaintedRows().size(), static_cast<std::size_t>(records));
    const std::vector<std::string> wholeAccount = Account(grid);

    constexpr int kWindowHeight = 300;
    form->SetBounds(0, 0, 1094, kWindowHeight);
    calls = 0;
    const platform::Image& cut = Paint(grid);
    EXPECT_EQ(
        Differences(whole, cut, TRect{grid.Left(), grid.Top(), grid.Left() + grid.Width(), kWindowHeight}),
        0);

    const int clientTop = grid.Top() + TCustomGrid::BorderWidth;
    std::vector<std::string> inside;
    for (const std::string& line : wholeAccount) {
        // The cell's top is the second number of its rectangle.
        const std::string rect = line.substr(line.rfind(' ') + 1);
        const int top = std::stoi(rect.substr(rect.find(',') + 1));
        if (clientTop + top < kWindowHeight)
            inside.push_back(line);
    }
    EXPECT_EQ(Account(grid), inside);
    ASSERT_FALSE(grid.PaintedRows().empty());
    const TRect last = grid.PaintedRows().back().Cells.front().Rect;
    EXPECT_GT(clientTop + last.bottom, kWindowHeight) << "the row the window's edge cuts is listed";
    EXPECT_LT(grid.PaintedRows().size(), static_cast<std::size_t>(records) / 2);
    EXPECT_EQ(calls, static_cast<int>(inside.size()));
}

// A repaint of one cell's area paints that cell only; the pixels and the account stay what the
// whole pass before gave.
TEST_F(GridPaintTest, ARepaintOfOneCellPaintsOnlyThatCellAndKeepsTheAccount) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 10);
    std::vector<int> painted;
    grid.OnCalcCellColors = [&](TObject*, TField*, TGridDrawState, bool, TFont*, TBrush*) {
        painted.push_back(grid.DataLink().ActiveRecord());
    };
    const platform::Image whole = Paint(grid);
    const std::vector<std::string> account = Account(grid);
    ASSERT_GE(grid.PaintedRows().size(), 5u);

    painted.clear();
    const TRect cell = grid.CellRect(2, 4);
    system->Invalidate(grid.Handle(), cell.Offset(TCustomGrid::BorderWidth, TCustomGrid::BorderWidth));
    system->ProcessMessages();
    EXPECT_EQ(painted, std::vector<int>{3});
    EXPECT_EQ(Differences(whole, system->WindowImage(form->Handle()), grid.BoundsRect()), 0);
    EXPECT_EQ(Account(grid), account);

    // A repaint that misses the grid's cells (its border only) changes nothing either.
    painted.clear();
    system->Invalidate(grid.Handle(), TRect{0, 0, grid.Width(), 1});
    system->ProcessMessages();
    EXPECT_TRUE(painted.empty());
    EXPECT_EQ(Account(grid), account);
}

TEST_F(GridPaintTest, ATitleWithATildeBreaksIntoALineCutOffBelow) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 4, Lines({"Name|26|Name|F", "DueDate|11|Due~Date|F"}));
    grid.TitleFont().SetColor(clBlue);
    const platform::Image& image = Paint(grid);
    // Bold title pixels in the title font's colour: the first line is there, and nothing of the
    // second one reaches the data row below.
    const TRect title = grid.CellRect(1, 0);
    int blue = 0;
    for (int y = title.top; y < title.bottom; ++y) {
        for (int x = title.left; x < title.right; ++x)
            blue += At(image, grid, x, y) == Rgb(clBlue);
    }
    EXPECT_GT(blue, 10);
    const TRect data = grid.CellRect(1, 1);
    for (int y = data.top; y < data.bottom; ++y) {
        for (int x = data.left; x < data.right; ++x)
            ASSERT_NE(At(image, grid, x, y), Rgb(clBlue)) << x << "," << y;
    }
}

TEST_F(GridPaintTest, AMemoColumnShowsOnlyThatItHoldsAMemo) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 4, Lines({"Name|26|Name|F", "Notes|20|Notes|F"}));
    ASSERT_NE(grid.DataColumnField(1), nullptr);
    ASSERT_EQ(grid.DataColumnField(1)->DataType(), ftMemo);
    Paint(grid);
    EXPECT_EQ(Cell(grid, 0, "Notes").Text, "(Memo)");
}

TEST_F(GridPaintTest, AFailingOwnerDrawHookCostsNothingElse) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 5);
    TwsTable& view = *JobsDM->JobsTable();
    view.First();
    const std::string current = view.FieldNamed("OrderNo")->AsString();
    int drawn = 0;
    grid.OnDrawDataCell = [&](TObject*, const TRect&, TField*, TGridDrawState) {
        ++drawn;
        throw EConvertError("owner draw failed");
    };
    int after = 0;
    grid.OnAfterDrawCell = [&](TObject*, TwsCustomDrawGridCellInfo& info) {
        ++after;
        EXPECT_TRUE(info.PaintText);
    };
    Paint(grid);
    EXPECT_GT(drawn, 7);
    EXPECT_GE(after, drawn);
    EXPECT_EQ(view.FieldNamed("OrderNo")->AsString(), current);
}

} // namespace
} // namespace ws::test
