// The main window as the program builds it: its stored appearance and children, FormCreate, the
// ways it closes, and what happens when its creation or a tick fails.

#include "app/AppFixture.h"
#include "app/OneInstance.h"
#include "grid/wsCheckBox.h"
#include "jobs/JobsDM.h"
#include "platform/SystemColors.h"
#include "support/Lines.h"
#include "ui/ComponentRoots.h"
#include "ui/ImageList.h"
#include "ui/Label.h"
#include "ui/Timer.h"

#include <algorithm>
#include <regex>

namespace ws::test {
namespace {

using platform::Point;

class MainWindowTest : public AppFixture {
protected:
    TActiveJobsForm& Start() {
        StartWallScreen();
        EXPECT_NE(ActiveJobsForm, nullptr);
        return *ActiveJobsForm;
    }
    platform::WindowId Window() const { return ActiveJobsForm->Handle(); }
};

TEST_F(MainWindowTest, ChildrenAreCreatedInStoredOrder) {
    TActiveJobsForm& form = Start();
    std::vector<std::string> children;
    for (int i = 0; i < form.ComponentCount(); ++i)
        children.push_back(form.Components(i)->Name() + ":" + form.Components(i)->ClassName());
    EXPECT_EQ(children, (std::vector<std::string>{
                            "HeaderLbl:TLabel", "JobsGrid:TwsDBGrid", "wsCheckBox1:TwsCheckBox",
                            "wsCheckBox2:TwsCheckBox", "RnRGrid:TwsDBGrid", "SpecialDateGrid:TwsDBGrid",
                            "LEDImages:TImageList", "Timer1:TTimer", "OneInstance1:TOneInstance"}));
    // Later grids lie above earlier ones: the middle grid covers the top grid's lowest rows.
    const auto& z = system->Children(Window());
    const auto at = [&](TControl* c) { return std::find(z.begin(), z.end(), c->Handle()) - z.begin(); };
    EXPECT_LT(at(form.JobsGrid()), at(form.SpecialDateGrid()));
}

TEST_F(MainWindowTest, TheWindowKeepsItsStoredLookAndTakesItsRunTimeGeometry) {
    TActiveJobsForm& form = Start();
    EXPECT_EQ(form.Caption(), "Active Jobs");
    EXPECT_EQ(form.BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_TRUE(form.BorderIcons().Empty());
    EXPECT_EQ(form.Position(), TPosition::poDefault);
    EXPECT_EQ(form.Color(), clBtnFace);
    EXPECT_EQ(form.Font().PlatformFont(),
              (platform::FontSpec{"MS Sans Serif", -16, platform::FontStyle::None, clWindowText}));
    EXPECT_EQ(form.Font().Charset(), DEFAULT_CHARSET);
    EXPECT_FALSE(form.HorzScrollBar().Visible());
    EXPECT_FALSE(form.VertScrollBar().Visible());
    EXPECT_EQ(form.PixelsPerInch(), 96);
    EXPECT_FALSE(form.OldCreateOrder());

    // FormCreate's size and style, the platform's place; created hidden.
    EXPECT_TRUE(form.FirstShow());
    EXPECT_EQ(form.FormStyle(), TFormStyle::fsStayOnTop);
    ASSERT_TRUE(form.HandleAllocated());
    EXPECT_EQ(system->Bounds(Window()), (platform::Rect{0, 0, 1094, 1895}));
    EXPECT_EQ(system->Kind(Window()), platform::WindowKind::Popup);
    EXPECT_EQ(system->Text(Window()), "Active Jobs");
    EXPECT_TRUE(system->IsTopMost(Window()));
    EXPECT_FALSE(system->IsShowing(Window()));
    EXPECT_EQ(system->Text(app->Handle()), "Brellow Database Wall Screen");
    EXPECT_EQ(app->MainForm(), &form);
}

TEST_F(MainWindowTest, TheHeaderAndTheHiddenControlsKeepTheirStoredProperties) {
    TActiveJobsForm& form = Start();
    TLabel& header = *form.HeaderLbl();
    EXPECT_EQ(header.BoundsRect(), (TRect{0, 0, 1093, 33}));
    EXPECT_FALSE(header.AutoSize());
    EXPECT_EQ(header.Alignment(), TAlignment::taCenter);
    EXPECT_FALSE(header.Transparent());
    EXPECT_EQ(header.Color(), clSkyBlue);
    EXPECT_EQ(header.Caption(), "HeaderLbl");
    EXPECT_EQ(header.Font().PlatformFont(),
              (platform::FontSpec{"Tahoma", -19, platform::FontStyle::Bold, clWindowText}));
    EXPECT_EQ(header.Font().Charset(), ANSI_CHARSET);

    for (TwsCheckBox* box : {form.wsCheckBox1(), form.wsCheckBox2()}) {
        EXPECT_FALSE(box->Visible());
        EXPECT_EQ(box->Width(), 34);
        EXPECT_EQ(box->Height(), 26);
        EXPECT_EQ(box->DataField(), "Invoiced");
        EXPECT_EQ(box->Images(), form.LEDImages());
        EXPECT_FALSE(system->IsShowing(box->Handle()));
    }

    TImageList& leds = *form.LEDImages();
    ASSERT_EQ(leds.Count(), 2);
    EXPECT_EQ(leds.Width(), 16);
    EXPECT_EQ(leds.Height(), 16);
    // Red dome for "not invoiced", green for "invoiced"; the corner is transparent.
    const platform::Pixel red = leds.List().At(0).At(10, 8);
    const platform::Pixel green = leds.List().At(1).At(10, 8);
    EXPECT_GT(platform::PixelRed(red), platform::PixelGreen(red));
    EXPECT_GT(platform::PixelGreen(green), platform::PixelRed(green));
    EXPECT_EQ(platform::PixelAlpha(leds.List().At(0).At(15, 0)), 0);

    EXPECT_EQ(form.Timer1()->Interval(), 5000u);
    EXPECT_TRUE(form.Timer1()->Running());
    EXPECT_TRUE(form.OneInstance1()->SwitchToPrevious());
}

TEST_F(MainWindowTest, TheGridsCarryTheirFullStoredConfiguration) {
    TActiveJobsForm& form = Start();
    struct Expected {
        TwsDBGrid* grid;
        TRect bounds;
        TColor fontColor;
        int titleHeight;
        std::vector<std::string> selected;
        bool colors;
    };
    const std::vector<Expected> grids{
        {form.JobsGrid(), TRect::FromSize(0, 32, 1093, 223), clWindowText, -21,
         Lines({"Name|26|Name|F", "Invoiced|3|Inv|F", "DueDate|11|Due Date|F", "LocationABV|8|Location|F",
                "Memorial|30|Memorial|F", "Section|15|Section|F", "GraveNo|12|Grave|F"}),
         true},
        {form.SpecialDateGrid(), TRect::FromSize(0, 112, 1093, 384), clWindowText, -19,
         Lines({"Name|27|Name|F", "Invoiced|3|Inv|F", "DueDate|11|Due Date|F", "Location|39|Location|F",
                "Section|15|Section|F", "GraveNo|10|GraveNo|F"}),
         true},
        {form.RnRGrid(), TRect::FromSize(0, 576, 1092, 249), clRed, -19,
         Lines({"Name|20|Ordered By|F", "NameOnStone|16|Name On Stone|F", "DueDate|10|Remove By|F",
                "Burial|10|Burial|F", "Cem|30|Cemetery|F", "CurentLocation|19|Current Location|F"}),
         false},
    };
    const TwsDBGridOptions options{
        TwsDBGridOption::dgTitles,        TwsDBGridOption::dgColLines,
        TwsDBGridOption::dgRowLines,      TwsDBGridOption::dgWordWrap,
        TwsDBGridOption::dgPerfectRowFit, TwsDBGridOption::dgProportionalColResize};
    for (const Expected& e : grids) {
        SCOPED_TRACE(e.grid->Name());
        TwsDBGrid& g = *e.grid;
        EXPECT_EQ(g.BoundsRect(), e.bounds);
        EXPECT_EQ(g.Font().PlatformFont(),
                  (platform::FontSpec{"Tahoma", -19, platform::FontStyle::None, e.fontColor}));
        EXPECT_FALSE(g.ParentFont());
        EXPECT_EQ(g.TitleFont().PlatformFont(),
                  (platform::FontSpec{"MS Sans Serif", e.titleHeight, platform::FontStyle::Bold, clBlue}));
        EXPECT_EQ(g.Options(), options);
        EXPECT_TRUE(g.KeyOptions().Empty());
        EXPECT_TRUE(g.ReadOnly());
        EXPECT_EQ(g.FixedCols(), 0);
        EXPECT_FALSE(g.ShowHorzScrollBar());
        EXPECT_FALSE(g.ShowVertScrollBar());
        EXPECT_EQ(g.TitleAlignment(), TAlignment::taCenter);
        EXPECT_EQ(g.TitleLines(), 1);
        EXPECT_FALSE(g.TitleButtons());
        EXPECT_EQ(g.TitleColor(), clBtnFace);
        EXPECT_FALSE(g.UseTFields());
        EXPECT_EQ(g.IndicatorIconColor(), clNone);
        EXPECT_EQ(g.PaintOptions().BackgroundDrawStyle(), TBackgroundDrawStyle::bdsCenter);
        EXPECT_EQ(g.IniAttributes().Delimiter(), ";;");
        EXPECT_EQ(g.Selected(), e.selected);
        EXPECT_TRUE(g.OnDblClick);
        EXPECT_EQ(static_cast<bool>(g.OnCalcCellColors), e.colors);
    }
    EXPECT_EQ(form.JobsGrid()->BoundHandlerName("OnDblClick"), "JobsGridDblClick");
    EXPECT_EQ(form.SpecialDateGrid()->BoundHandlerName("OnDblClick"), "RnRGridDblClick");
    EXPECT_EQ(form.RnRGrid()->BoundHandlerName("OnDblClick"), "RnRGridDblClick");
    EXPECT_EQ(form.JobsGrid()->BoundHandlerName("OnCalcCellColors"), "JobsGridCalcCellColors");
}

TEST_F(MainWindowTest, DataSourcesAreBoundOnceTheDataModuleExists) {
    TActiveJobsForm& form = Start();
    ASSERT_NE(JobsDM, nullptr);
    EXPECT_TRUE(TComponentRoots::Instance().Pending().empty());
    EXPECT_EQ(form.JobsGrid()->DataSource(), JobsDM->JobsDS());
    EXPECT_EQ(form.SpecialDateGrid()->DataSource(), JobsDM->SpecialDateDS());
    EXPECT_EQ(form.RnRGrid()->DataSource(), JobsDM->Jobs2DS());
    app.reset();
    EXPECT_EQ(ActiveJobsForm, nullptr);
    EXPECT_EQ(JobsDM, nullptr);
}

TEST_F(MainWindowTest, TheHeaderIsPaintedOpaqueSkyBlue) {
    Start();
    app->ShowMainFormAtStart();
    system->ProcessMessages();
    const platform::Image& image = system->WindowImage(Window());
    EXPECT_EQ(image.At(3, 3), platform::ResolveColor(clSkyBlue));
    EXPECT_EQ(image.At(1092, 30), platform::ResolveColor(clSkyBlue));
    EXPECT_EQ(image.At(500, 1800), platform::ResolveColor(clBtnFace));
    EXPECT_FALSE(ActiveJobsForm->FirstShow());
}

TEST_F(MainWindowTest, OnlyAClickOnTheFreeAreaOrADoubleClickOnAGridCloses) {
    Start();
    app->ShowMainFormAtStart();
    system->Click(Window(), Point{500, 10});  // header
    system->Click(Window(), Point{500, 100}); // a grid
    EXPECT_FALSE(app->Terminated());
    // Between the grids, where a hidden check box lies: the window's own free area.
    system->Click(Window(), Point{240, 505});
    EXPECT_TRUE(app->Terminated());
}

TEST_F(MainWindowTest, ADoubleClickOnAnyGridCloses) {
    for (int grid = 0; grid < 3; ++grid) {
        if (grid > 0) {
            // A fresh program: the terminate request belongs to the window system.
            app.reset();
            platform::HeadlessOptions options;
            options.installClock = false;
            system = std::make_unique<platform::HeadlessWindowSystem>(options);
            app = std::make_unique<TApplication>(*system);
        }
        TActiveJobsForm& form = Start();
        app->ShowMainFormAtStart();
        TwsDBGrid* const grids[] = {form.JobsGrid(), form.SpecialDateGrid(), form.RnRGrid()};
        ASSERT_TRUE(grids[grid]->Visible()) << grid;
        const Point at{500, grids[grid]->Top() + grids[grid]->Height() / 2};
        system->Click(Window(), at);
        EXPECT_FALSE(app->Terminated()) << grid;
        system->DoubleClick(Window(), at);
        EXPECT_TRUE(app->Terminated()) << grid;
    }
}

TEST_F(MainWindowTest, StartedMinimisedNothingShowsUntilTheProgramIsRestored) {
    system->SetStartupShowRequest(platform::StartupShow::MinimizedNoActivate);
    Start();
    app->ShowMainFormAtStart();
    system->AdvanceTime(4000);
    EXPECT_FALSE(system->IsShowing(Window()));
    EXPECT_TRUE(ActiveJobsForm->FirstShow()); // FormShow has not run
    app->Restore();
    system->ProcessMessages();
    EXPECT_TRUE(system->IsShowing(Window()));
    EXPECT_FALSE(ActiveJobsForm->FirstShow());
    EXPECT_TRUE(system->IsInTopMostLayer(Window()));
}

TEST_F(MainWindowTest, AnErrorInATickIsReportedAndTheProgramKeepsRunning) {
    Start();
    app->ShowMainFormAtStart();
    ActiveJobsForm->Timer1()->OnTimer = [](TObject*) { throw EInvalidOperation("Table does not exist"); };
    system->AdvanceTime(10'000);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], (platform::MessageBoxRequest{"Brellow Database Wall Screen", "Table does not exist.",
                                                     platform::MessageBoxIcon::Error}));
    EXPECT_FALSE(app->Terminated());
}

// A main window whose stored description does not fit its classes.
class TBrokenForm : public TActiveJobsForm {
public:
    using TActiveJobsForm::TActiveJobsForm;
    std::string_view StoredDescription() const override {
        return "object ActiveJobsForm: TActiveJobsForm\n  Colour = clRed\nend\n";
    }
};
TBrokenForm* BrokenForm = nullptr;

TEST_F(MainWindowTest, AnErrorWhileTheMainWindowIsCreatedEndsWithTheApplicationErrorBox) {
    const int code = app->Execute([&] {
        app->Initialize();
        app->SetTitle(WallScreenTitle);
        app->CreateForm(BrokenForm);
        ADD_FAILURE() << "created";
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(BrokenForm, nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_EQ(boxes[0].icon, platform::MessageBoxIcon::Error);
    const std::regex pattern("Exception EReadError in module app_tests at [0-9A-F]{8}\\.\n.*Colour.*\\.");
    EXPECT_TRUE(std::regex_match(boxes[0].text, pattern)) << boxes[0].text;
}

} // namespace
} // namespace ws::test
