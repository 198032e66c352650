// Column widths, row heights, the rows that fit and the row window they ask of the view.

#include "grid/GridErrors.h"
#include "grid/GridFixture.h"

#include <numeric>

namespace ws::test {
namespace {

class GridGeometryTest : public GridFixture {};

TEST_F(GridGeometryTest, ProportionalWidthsFillTheClientWidthInWholeCharacters) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    ASSERT_EQ(grid.ClientWidth(), 1089);
    ASSERT_EQ(grid.CharWidth(), 11);
    EXPECT_EQ(Widths(grid), (std::vector<int>{257, 26, 114, 81, 312, 158, 133}));
    EXPECT_EQ(SelectedWidths(grid), (std::vector<int>{23, 2, 10, 7, 28, 14, 11}));
    EXPECT_EQ(grid.Selected()[1], "Invoiced\t2\tInv\tF");
    // Widths and their lines end one pixel short of the client width.
    const std::vector<int> widths = Widths(grid);
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0) + 7, grid.ClientWidth() - 1);

    // Another pass re-bases on the widths in force and lands on the same widths.
    grid.LayoutPass();
    EXPECT_EQ(Widths(grid), (std::vector<int>{257, 26, 114, 81, 312, 158, 133}));
    EXPECT_EQ(SelectedWidths(grid), (std::vector<int>{23, 2, 10, 7, 28, 14, 11}));
    // So does a change of height, which rescales.
    grid.SetHeight(330);
    EXPECT_EQ(Widths(grid), (std::vector<int>{257, 26, 114, 81, 312, 158, 133}));
}

TEST_F(GridGeometryTest, WhenTheSharesLeaveNothingTheLastColumnIsZeroWide) {
    TwsDBGrid& grid =
        MakeGrid(JobsDM->JobsDS(), 223, Lines({"Name|3|N|F", "Invoiced|3|I|F", "DueDate|3|D|F"}));
    grid.SetWidth(50);
    // Every column but the last is held at two characters; the last gets what is left: nothing.
    EXPECT_EQ(Widths(grid), (std::vector<int>{26, 26, 0}));
    EXPECT_EQ(SelectedWidths(grid), (std::vector<int>{2, 2, 0}));
}

TEST_F(GridGeometryTest, AUserWidthChangeIsWrittenBackAndTheColumnsRescaled) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    grid.SetColWidths(0, 400);
    EXPECT_GT(SelectedWidths(grid)[0], 23);
    EXPECT_GT(grid.ColWidths(0), 257);
    const std::vector<int> widths = Widths(grid);
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0) + 7, grid.ClientWidth() - 1);
}

TEST_F(GridGeometryTest, WithoutScalingAColumnIsAtLeastAsWideAsTheWidestLineOfItsTitle) {
    const std::vector<std::string> lines =
        Lines({"Name|2|A long title|F", "Invoiced|3|Long~x|F", "DueDate|11|D|F"});
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223, lines);
    TwsDBGridOptions options = grid.Options();
    options.Exclude(TwsDBGridOption::dgProportionalColResize);
    options.Include(TwsDBGridOption::dgIndicator);
    grid.SetOptions(options);
    grid.SetSelected(lines);
    grid.LayoutPass();
    ASSERT_EQ(grid.IndicatorOffset(), 1);
    EXPECT_EQ(Widths(grid),
              (std::vector<int>{11, 12 * CharWidth + 4, 4 * CharWidth + 4, 11 * CharWidth + 4}));
    // The widths stay as the lines give them: nothing is written back.
    EXPECT_EQ(SelectedWidths(grid), (std::vector<int>{2, 3, 11}));
    EXPECT_EQ(grid.ColumnByIndex(0).FieldName(), "Name");
    EXPECT_EQ(grid.FixedCols(), 0);
    EXPECT_EQ(grid.TCustomGrid::FixedCols(), 1);
}

TEST_F(GridGeometryTest, RowHeightsComeFromTheFonts) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    EXPECT_EQ(grid.DefaultRowHeight(), DataTextHeight + 3);
    EXPECT_EQ(grid.RowHeights(0), TitleTextHeight + 4);
    EXPECT_EQ(grid.CellRect(0, 1), (TRect{0, 29, 257, 55}));
    grid.SetRowHeightPercent(0);
    EXPECT_EQ(grid.RowHeightPercent(), 100);
    grid.SetRowHeightPercent(200);
    EXPECT_EQ(grid.DefaultRowHeight(), 2 * (DataTextHeight + 3));
}

TEST_F(GridGeometryTest, OnlyRowsThatFitFullyAreShownAndFetched) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33);
    TwsTable& view = *JobsDM->JobsTable();
    const int records = view.RecordCount();
    ASSERT_GT(records, 1) << "the demo database should have several jobs";
    struct Case {
        int pitch, n, rows;
    };
    for (const Case& c : {Case{33, 1, 1}, Case{33, 2, 1}, Case{33, 3, 2}, Case{33, 5, 4}, Case{33, 6, 6},
                          Case{33, 10, 11}, Case{28, 5, 4}, Case{28, 10, 9}, Case{28, 33, 33}}) {
        SCOPED_TRACE(std::to_string(c.pitch) + " x " + std::to_string(c.n));
        grid.SetHeight(c.pitch * c.n);
        EXPECT_EQ(grid.Height(), c.pitch * c.n);
        EXPECT_EQ(grid.DataRowsVisible(), c.rows);
        EXPECT_EQ(grid.DataLink().BufferCount(), c.rows);
        // The view holds just the rows the grid shows, and the grid one row per record held.
        EXPECT_EQ(view.WindowRowCount(), std::min(c.rows, records));
        EXPECT_EQ(grid.RowCount(), 1 + std::min(c.rows, records));
    }
}

TEST_F(GridGeometryTest, AFooterTakesItsHeightFromTheRows) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 10);
    ASSERT_EQ(grid.DataRowsVisible(), 11);
    grid.SetOptions(grid.Options() + TwsDBGridOptions{TwsDBGridOption::dgShowFooter});
    // A footer of 23 + 6 pixels leaves (326 - 29 - 28) / 27 rows; one of 60 pixels fewer still.
    EXPECT_EQ(grid.DataRowsVisible(), 9);
    EXPECT_EQ(grid.DataLink().BufferCount(), 9);
    grid.SetFooterHeight(60);
    EXPECT_EQ(grid.DataRowsVisible(), 8);
    EXPECT_EQ(grid.DataLink().BufferCount(), 8);
}

TEST_F(GridGeometryTest, AGridShorterThanItsTitleStillFetchesOneRecord) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 20);
    EXPECT_EQ(grid.DataRowsVisible(), 1);
    EXPECT_EQ(grid.DataLink().BufferCount(), 1);
    EXPECT_EQ(JobsDM->JobsTable()->WindowRowCount(), 1);
    grid.SetHeight(0);
    EXPECT_EQ(grid.DataLink().RecordCount(), 1);
}

TEST_F(GridGeometryTest, HeightForRowsFitsExactlyThatManyRows) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 100);
    for (int n : {1, 2, 7}) {
        grid.SetHeight(grid.HeightForRows(n));
        EXPECT_EQ(grid.DataRowsVisible(), n);
        // The last row's own line may be cut off; one pixel more and the row does not fit.
        grid.SetHeight(grid.HeightForRows(n) - 1);
        EXPECT_EQ(grid.DataRowsVisible(), n);
        grid.SetHeight(grid.HeightForRows(n) - 2);
        EXPECT_EQ(grid.DataRowsVisible(), std::max(1, n - 1));
    }
    EXPECT_EQ(grid.HeightForRows(4), 4 + 29 + 4 * 27);
}

TEST_F(GridGeometryTest, MovingAGridKeepsItsWidthsAndItsRowWindow) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 4);
    const std::vector<int> widths = Widths(grid);
    const std::vector<std::string> selected = grid.Selected();
    const int buffers = grid.DataLink().BufferCount();
    const int first = grid.DataLink().FirstRecord();
    grid.SetTop(500);
    grid.SetLeft(3);
    EXPECT_EQ(grid.Top(), 500);
    EXPECT_EQ(Widths(grid), widths);
    EXPECT_EQ(grid.Selected(), selected);
    EXPECT_EQ(grid.DataLink().BufferCount(), buffers);
    EXPECT_EQ(grid.DataLink().FirstRecord(), first);
}

TEST_F(GridGeometryTest, ARefreshKeepsTheRowWindowAtTheGridsSize) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 3);
    TwsTable& view = *JobsDM->JobsTable();
    view.Refresh();
    EXPECT_EQ(grid.DataLink().BufferCount(), 2);
    EXPECT_EQ(view.WindowRowCount(), std::min(2, view.RecordCount()));
    EXPECT_EQ(grid.Row(), 1 + grid.DataLink().ActiveRecord());
}

TEST_F(GridGeometryTest, ABadWidthTokenStopsTheLayoutButNotTheNextOne) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    std::vector<std::string> lines = JobsGridLines();
    lines[2] = "DueDate\twide\tDue Date\tF";
    grid.SetSelected(lines);
    EXPECT_THROW(grid.LayoutPass(), EConvertError);
    lines[2] = "DueDate";
    grid.SetSelected(lines);
    EXPECT_THROW(grid.LayoutPass(), EStringListError);
    grid.SetSelected(JobsGridLines());
    grid.LayoutPass();
    EXPECT_EQ(grid.ColCount(), 7);
    EXPECT_EQ(grid.ColWidths(6), 133);
}

} // namespace
} // namespace ws::test
