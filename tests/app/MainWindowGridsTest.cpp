// The wall screen's own grids over a demo database: the hidden check boxes each takes over, the
// heights they keep, and the "Inv" columns, each cell painted by the grid's hidden check box as
// the LED of its own row's Invoiced value.

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

class LedColumnTest : public GridFixture {
protected:
    bool OpenDataModule() const override { return false; }

    TActiveJobsForm& Start() {
        StartWallScreen();
        app->ShowMainFormAtStart();
        system->ProcessMessages();
        return *ActiveJobsForm;
    }

    const platform::Image& Paint(TwsDBGrid& grid) {
        grid.Repaint();
        system->ProcessMessages();
        return system->WindowImage(ActiveJobsForm->Handle());
    }

    // Each painted row's Inv image against the row's own Invoiced value: green (1) only when true.
    static void ExpectLedsFollowTheRows(TwsDBGrid& grid) {
        TDataSet& view = *grid.DataSet();
        ASSERT_FALSE(grid.PaintedRows().empty());
        for (const TwsPaintedRow& row : grid.PaintedRows()) {
            grid.DataLink().SetActiveRecord(row.DataRow);
            TField* invoiced = view.FieldNamed("Invoiced");
            const int expected = !invoiced->IsNull() && invoiced->AsBoolean() ? 1 : 0;
            int seen = -2;
            TColor nameBrush = clNone;
            TColor invBrush = clNone;
            for (const TwsPaintedCell& cell : row.Cells) {
                if (cell.Field == "Invoiced") {
                    seen = cell.Image;
                    invBrush = cell.Brush;
                }
                if (cell.Field == "Name")
                    nameBrush = cell.Brush;
            }
            EXPECT_EQ(seen, expected) << grid.Name() << " row " << row.DataRow;
            // The LED sits on the colour the row's handler gave it.
            EXPECT_EQ(invBrush, nameBrush) << grid.Name() << " row " << row.DataRow;
        }
    }
};

TEST_F(LedColumnTest, EachGridsLedsShowItsOwnRowsInvoicedFlags) {
    TActiveJobsForm& f = Start();
    for (TwsDBGrid* grid : {f.JobsGrid(), f.SpecialDateGrid()}) {
        SCOPED_TRACE(grid->Name());
        Paint(*grid);
        ExpectLedsFollowTheRows(*grid);
    }
    bool red = false;
    bool green = false;
    for (TwsDBGrid* grid : {f.JobsGrid(), f.SpecialDateGrid()}) {
        for (const TwsPaintedRow& row : grid->PaintedRows()) {
            for (const TwsPaintedCell& cell : row.Cells) {
                red = red || cell.Image == 0;
                green = green || cell.Image == 1;
            }
        }
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(green);
}

TEST_F(LedColumnTest, TheLedSitsTwoPixelsInAndVerticallyCentred) {
    TActiveJobsForm& f = Start();
    TwsDBGrid& grid = *f.JobsGrid();
    const platform::Image& image = Paint(grid);
    const TwsPaintedCell* led = nullptr;
    int dataRow = 0;
    for (const TwsPaintedRow& row : grid.PaintedRows()) {
        for (const TwsPaintedCell& cell : row.Cells) {
            if (cell.Field == "Invoiced" && led == nullptr) {
                led = &cell;
                dataRow = row.DataRow;
            }
        }
    }
    ASSERT_NE(led, nullptr);
    ASSERT_GE(led->Image, 0);
    const TRect cell = grid.CellRect(1, dataRow + 1);
    const int left = grid.Left() + TCustomGrid::BorderWidth + cell.left + 2;
    const int top = grid.Top() + TCustomGrid::BorderWidth + cell.top + grid.DefaultRowHeight() / 2 - 8;
    const platform::Image& picture = f.LEDImages()->List().At(led->Image);
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const platform::Pixel p = picture.At(x, y);
            if (platform::PixelAlpha(p) != 255)
                continue;
            ++opaque;
            ASSERT_EQ(image.At(left + x, top + y) & 0xFFFFFFu, p & 0xFFFFFFu) << x << "," << y;
        }
    }
    EXPECT_GT(opaque, 50);
}

TEST_F(LedColumnTest, WithoutItsCheckBoxTheColumnShowsTrueOrFalse) {
    TActiveJobsForm& f = Start();
    TwsTable& view = *JobsDM->SpecialDateTable();
    std::vector<std::string> lines;
    for (const std::string& line : view.ControlType()) {
        if (line.find("wsCheckBox1") == std::string::npos)
            lines.push_back(line);
    }
    view.SetControlType(lines);
    TwsDBGrid& grid = *f.SpecialDateGrid();
    Paint(grid);
    ASSERT_FALSE(grid.PaintedRows().empty());
    for (const TwsPaintedRow& row : grid.PaintedRows()) {
        for (const TwsPaintedCell& cell : row.Cells) {
            if (cell.Field != "Invoiced")
                continue;
            EXPECT_EQ(cell.Image, -1);
            EXPECT_TRUE(cell.Text == "True" || cell.Text == "False" || cell.Text.empty()) << cell.Text;
        }
    }
    // The other grid keeps its LEDs.
    Paint(*f.JobsGrid());
    ExpectLedsFollowTheRows(*f.JobsGrid());
}

} // namespace
} // namespace ws::test
