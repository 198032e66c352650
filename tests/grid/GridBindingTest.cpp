// What painting and clicks on a grid over a demo database do.

#include "grid/GridFixture.h"

namespace ws::test {
namespace {

// The grid hears of its view's changes from its own data link only.
template <typename Grid>
concept OthersCanTellTheGrid = requires(Grid& grid) {
    grid.DataSetChanged({});
};
template <typename Grid>
concept OthersCanScrollTheGrid = requires(Grid& grid) {
    grid.DataSetScrolled({}, 1);
};
static_assert(!OthersCanTellTheGrid<TwsCustomDBGrid>);
static_assert(!OthersCanScrollTheGrid<TwsCustomDBGrid>);

class GridMouseTest : public GridFixture {};

TEST_F(GridMouseTest, PaintingVisitsEveryRowButLeavesTheCurrentRowWhereItWas) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 5);
    TwsTable& view = *JobsDM->JobsTable();
    view.First();
    view.Next();
    const std::string current = view.FieldNamed("OrderNo")->AsString();
    const int active = grid.DataLink().ActiveRecord();
    grid.Repaint();
    system->ProcessMessages();
    EXPECT_EQ(view.FieldNamed("OrderNo")->AsString(), current);
    EXPECT_EQ(grid.DataLink().ActiveRecord(), active);
    // Something was drawn inside the grid: its title row is not plain window colour.
    const platform::Image& image = system->WindowImage(form->Handle());
    ASSERT_FALSE(image.IsEmpty());
    EXPECT_NE(image.At(10, 32 + 5), image.At(10, 32 + 40));
}

TEST_F(GridMouseTest, AClickOnADataCellMakesItCurrentAndNothingElseDoes) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 6);
    int formClicks = 0;
    form->OnClick = [&](TObject*) { ++formClicks; };
    TwsTable& view = *JobsDM->JobsTable();
    ASSERT_GE(grid.RowCount(), 4);
    view.First();
    ASSERT_EQ(grid.Row(), 1);

    // Third data row, fourth column; the grid lies at (0, 32) inside its two-pixel edge.
    const TRect cell = grid.CellRect(3, 3);
    const platform::Point at{cell.left + 5 + 2, 32 + cell.top + 5 + 2};
    grid.DataLink().SetActiveRecord(2);
    const std::string third = view.FieldNamed("OrderNo")->AsString();
    grid.DataLink().SetActiveRecord(0);
    system->Click(form->Handle(), at);
    EXPECT_EQ(view.FieldNamed("OrderNo")->AsString(), third);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(system->Focus(), grid.Handle());

    // The title row and the empty space below the rows change nothing.
    system->Click(form->Handle(), {10, 32 + 5});
    system->Click(form->Handle(), {10, 32 + grid.Height() - 3});
    EXPECT_EQ(view.FieldNamed("OrderNo")->AsString(), third);
    EXPECT_EQ(formClicks, 0);
}

TEST_F(GridMouseTest, ADoubleClickRaisesTheGridsOnDblClick) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 33 * 3);
    int doubles = 0;
    grid.OnDblClick = [&](TObject* sender) {
        EXPECT_EQ(sender, &grid);
        ++doubles;
    };
    system->DoubleClick(form->Handle(), {20, 32 + 5});
    EXPECT_EQ(doubles, 1);
}

} // namespace
} // namespace ws::test
