// The "Inv" columns of the wall screen: each cell painted by the grid's hidden check box as the
// LED of its own row's Invoiced value; and the check box's reading of field values on its own.

#include "app/Program.h"
#include "app/frmJobs.h"
#include "base/Strings.h"
#include "grid/GridFixture.h"
#include "platform/SystemColors.h"

namespace ws::test {
namespace {

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

class CheckBoxStateTest : public GridFixture {};

TEST_F(CheckBoxStateTest, TheStateComesFromTheFieldValue) {
    form = new TForm(nullptr);
    auto* box = new TwsCheckBox(form);
    box->SetState(TCheckBoxState::cbGrayed);
    // Not bound: the box's own state.
    EXPECT_EQ(box->CheckStateFromField(), TCheckBoxState::cbGrayed);
    // Bound to a field the view does not have: the null state.
    box->SetDataSource(JobsDM->JobsDS());
    box->SetDataField("NoSuchField");
    box->SetNullAndBlankState(TCheckBoxState::cbUnchecked);
    EXPECT_EQ(box->CheckStateFromField(), TCheckBoxState::cbUnchecked);

    // A text field is matched against the lists, item by item, trimmed and in any letter case.
    box->SetDataField("LocationABV");
    TwsTable& view = *JobsDM->JobsTable();
    box->SetValueChecked("xxxx; ");
    box->SetValueUnchecked("yyyy");
    box->SetNullAndBlankState(TCheckBoxState::cbGrayed);
    bool checkedSeen = false;
    for (view.First(); !view.Eof(); view.Next()) {
        const std::string text = view.FieldNamed("LocationABV")->AsString();
        if (text.empty())
            continue;
        EXPECT_EQ(box->CheckStateFromField(), TCheckBoxState::cbGrayed) << text;
        box->SetValueChecked("xxxx; " + LowerCase(text) + " ");
        EXPECT_EQ(box->CheckStateFromField(), TCheckBoxState::cbChecked) << text;
        box->SetValueChecked("xxxx");
        box->SetValueUnchecked("yyyy;" + text);
        EXPECT_EQ(box->CheckStateFromField(), TCheckBoxState::cbUnchecked) << text;
        box->SetValueUnchecked("yyyy");
        checkedSeen = true;
        break;
    }
    EXPECT_TRUE(checkedSeen);
}

TEST_F(CheckBoxStateTest, ThePictureGoesTwoPixelsInAndMissingPicturesShowAFaceSquare) {
    form = new TForm(nullptr);
    form->SetBounds(0, 0, 200, 200);
    auto* images = new TImageList(form);
    images->SetWidth(16);
    images->SetHeight(16);
    images->Add(platform::Image(16, 16, platform::MakePixel(255, 0, 0)));
    auto* grid = new TwsDBGrid(form);
    grid->SetParent(form);
    auto* box = new TwsCheckBox(form);
    box->SetParent(grid);
    box->SetImages(images);
    box->SetBounds(0, 0, 40, 27);
    box->Frame().SetFocusBorders({});
    EXPECT_EQ(box->GlyphRect().left, 2);
    EXPECT_EQ(box->GlyphRect().top, 27 / 2 - 8);

    platform::Image target(40, 27, platform::MakePixel(1, 2, 3));
    platform::Canvas surface(target);
    TCanvas canvas(surface);
    box->SetState(TCheckBoxState::cbUnchecked);
    EXPECT_EQ(box->PaintCopy(canvas), 0);
    EXPECT_EQ(target.At(2, 5), platform::MakePixel(255, 0, 0));
    EXPECT_EQ(target.At(1, 5), platform::MakePixel(1, 2, 3));
    // Checked needs a second picture the list does not have.
    box->SetState(TCheckBoxState::cbChecked);
    EXPECT_EQ(box->PaintCopy(canvas), -1);
    EXPECT_EQ(target.At(2, 5), platform::ResolveColor(clBtnFace));
}

} // namespace
} // namespace ws::test
