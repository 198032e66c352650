// The in-cell check box on its own: its reading of field values and the picture it paints.

#include "base/Strings.h"
#include "grid/GridFixture.h"
#include "platform/SystemColors.h"

namespace ws::test {
namespace {

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
    platform::PixelCanvas surface(target);
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
