// The wall screen's own grids over a demo database: the hidden check boxes they take over, and
// what clicks on a grid do.

#include "app/Program.h"
#include "app/frmJobs.h"
#include "grid/GridFixture.h"

namespace ws::test {
namespace {

class MainWindowGridTest : public GridFixture {
protected:
    bool OpenDataModule() const override { return false; }
    TActiveJobsForm& Start() {
        StartWallScreen();
        return *ActiveJobsForm;
    }
};

TEST_F(MainWindowGridTest, EachGridTakesOverTheCheckBoxesItsViewNames) {
    TActiveJobsForm& f = Start();
    ASSERT_NE(JobsDM, nullptr);
    TwsCheckBox& box1 = *f.wsCheckBox1();
    TwsCheckBox& box2 = *f.wsCheckBox2();
    EXPECT_EQ(box2.Parent(), f.JobsGrid());
    EXPECT_EQ(box2.DataSource(), JobsDM->JobsDS());
    EXPECT_EQ(box2.DataField(), "Invoiced");
    // The top grid bound wsCheckBox1 to TcReceived first; the middle grid took it over last.
    EXPECT_EQ(box1.Parent(), f.SpecialDateGrid());
    EXPECT_EQ(box1.DataSource(), JobsDM->SpecialDateDS());
    EXPECT_EQ(box1.DataField(), "Invoiced");
    for (TwsCheckBox* box : {&box1, &box2}) {
        EXPECT_FALSE(box->Visible());
        EXPECT_FALSE(box->Ctl3D());
        EXPECT_EQ(box->BorderStyle(), TBorderStyle::bsNone);
        EXPECT_EQ(box->Font().PlatformFont(), f.JobsGrid()->Font().PlatformFont());
        EXPECT_EQ(box->Owner(), &f);
    }
    // Each Inv column paints through its own box; IncyCB names nothing and binds nothing.
    EXPECT_EQ(f.JobsGrid()->ColumnCache()[1].Control, &box2);
    EXPECT_EQ(f.JobsGrid()->ColumnCache()[1].ControlKind, "CustomEdit");
    EXPECT_FALSE(f.JobsGrid()->ColumnCache()[1].PaintInAllCells);
    EXPECT_EQ(f.SpecialDateGrid()->ColumnCache()[1].Control, &box1);
    EXPECT_EQ(f.JobsGrid()->FindControlByName("IncyCB"), nullptr);
    EXPECT_EQ(f.RnRGrid()->ControlCount(), 0);
}

TEST_F(MainWindowGridTest, ABoundGridDoesNotBindAgainWhenItsViewReopens) {
    TActiveJobsForm& f = Start();
    TwsTable& view = *JobsDM->JobsTable();
    view.Close();
    view.Open();
    // The views have calculated fields, so the top grid does not take wsCheckBox1 back.
    EXPECT_EQ(f.wsCheckBox1()->Parent(), f.SpecialDateGrid());
    EXPECT_EQ(f.wsCheckBox2()->Parent(), f.JobsGrid());
    EXPECT_EQ(f.JobsGrid()->ColCount(), 7);
}

TEST_F(MainWindowGridTest, TheGridsKeepTheirStoredHeightsAndTheirViewsShowWhatFits) {
    TActiveJobsForm& f = Start();
    for (TwsDBGrid* grid : {f.JobsGrid(), f.SpecialDateGrid(), f.RnRGrid()}) {
        SCOPED_TRACE(grid->Name());
        grid->SetHeight(4 * 33);
        EXPECT_EQ(grid->Height(), 132);
        TDataSet& view = *grid->DataSet();
        EXPECT_EQ(view.WindowRowCount(), std::min(grid->DataRowsVisible(), view.RecordCount()));
        // Widths fill the client width, one pixel short.
        int sum = 0;
        for (int c = 0; c < grid->ColCount(); ++c)
            sum += grid->ColWidths(c) + 1;
        EXPECT_EQ(sum, grid->ClientWidth() - 1);
    }
}

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
