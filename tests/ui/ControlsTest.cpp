// Controls, forms and the application object on the headless window system: what reaches which
// handler, what is painted, when timers run, how windows are created and re-created, and how
// errors are reported.

#include "platform/HeadlessWindowSystem.h"
#include "platform/SystemColors.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/Label.h"
#include "ui/Timer.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace ws {
namespace {

using platform::HeadlessWindowSystem;
using platform::MessageBoxIcon;
using platform::MessageBoxRequest;
using platform::Point;

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        system.SetMessageBoxResponder([this](const MessageBoxRequest& r) { boxes.push_back(r); });
        app = std::make_unique<TApplication>(system);
        app->SetTitle("Wall");
    }
    void TearDown() override { app.reset(); }

    // A form at the origin, 400 x 300, with a header label and a child control below it.
    TForm* MakeForm() {
        auto* form = new TForm(app.get());
        form->SetPosition(TPosition::poDefault);
        form->SetBounds(50, 60, 400, 300);
        form->SetColor(clBtnFace);
        form->OnClick = [this](TObject*) { log.push_back("form click"); };
        header = new TLabel(form);
        header->SetParent(form);
        header->SetAutoSize(false);
        header->SetBounds(0, 0, 399, 33);
        child = new TWinControl(form);
        child->SetParent(form);
        child->SetBounds(0, 40, 400, 100);
        child->OnDblClick = [this](TObject*) { log.push_back("child dblclick"); };
        form->AfterConstruction();
        return form;
    }

    HeadlessWindowSystem system;
    std::unique_ptr<TApplication> app;
    std::vector<MessageBoxRequest> boxes;
    std::vector<std::string> log;
    TLabel* header = nullptr;
    TWinControl* child = nullptr;
};

TEST_F(ControlsTest, ClicksReachOnlyTheControlUnderThePointer) {
    TForm* form = MakeForm();
    form->Show();
    const auto window = form->Handle();

    system.Click(window, Point{200, 10}); // the header: a label without OnClick
    system.Click(window, Point{200, 80}); // a single click on the child
    EXPECT_TRUE(log.empty());
    system.DoubleClick(window, Point{200, 80});
    EXPECT_EQ(log, (std::vector<std::string>{"child dblclick"}));
    system.Click(window, Point{200, 250}); // the free area below
    EXPECT_EQ(log.back(), "form click");

    // A hidden control does not cover the form.
    log.clear();
    child->Hide();
    system.Click(window, Point{200, 80});
    EXPECT_EQ(log, (std::vector<std::string>{"form click"}));
}

TEST_F(ControlsTest, AFormsWindowIsAHiddenPopupUntilShownAndShowRunsOnShowFirst) {
    TForm* form = MakeForm();
    ASSERT_TRUE(form->HandleAllocated());
    EXPECT_EQ(system.Kind(form->Handle()), platform::WindowKind::Popup);
    // poDefault leaves the place to the platform, which puts a pop-up at the origin.
    EXPECT_EQ(system.Bounds(form->Handle()), (platform::Rect{0, 0, 400, 300}));
    EXPECT_FALSE(system.IsShowing(form->Handle()));

    bool visibleDuringShow = true;
    form->OnShow = [&](TObject*) { visibleDuringShow = system.IsShowing(form->Handle()); };
    form->Show();
    EXPECT_FALSE(visibleDuringShow);
    EXPECT_TRUE(system.IsShowing(form->Handle()));
    EXPECT_TRUE(system.IsShowing(header->Handle()));
}

TEST_F(ControlsTest, AnErrorInOnShowIsReportedAndTheWindowShownAllTheSame) {
    TForm* form = MakeForm();
    form->OnShow = [](TObject*) { throw EInvalidOperation("Show failed"); };
    form->Show();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], (MessageBoxRequest{"Wall", "Show failed.", MessageBoxIcon::Error}));
    EXPECT_TRUE(system.IsShowing(form->Handle()));
}

TEST_F(ControlsTest, FormStyleRecreatesTheWindowOnlyWhenItChanges) {
    TForm* form = MakeForm();
    form->Show();
    const auto first = form->Handle();
    const auto headerFirst = header->Handle();
    EXPECT_FALSE(system.IsTopMost(first));

    form->SetFormStyle(TFormStyle::fsNormal); // the style it has: nothing at all happens
    EXPECT_EQ(form->Handle(), first);

    form->SetFormStyle(TFormStyle::fsStayOnTop);
    const auto second = form->Handle();
    EXPECT_NE(second, first);
    EXPECT_FALSE(system.Exists(first));
    EXPECT_FALSE(system.Exists(headerFirst));
    EXPECT_TRUE(system.IsTopMost(second));
    // Re-created as it was: visible, with its controls inside.
    EXPECT_TRUE(system.IsShowing(second));
    EXPECT_TRUE(system.IsShowing(header->Handle()));
    EXPECT_EQ(system.Parent(header->Handle()), second);

    form->SetFormStyle(TFormStyle::fsStayOnTop);
    EXPECT_EQ(form->Handle(), second);
}

TEST_F(ControlsTest, ATopMostFormLeavesItsLayerWhileAMessageBoxIsOpen) {
    TForm* form = MakeForm();
    form->SetFormStyle(TFormStyle::fsStayOnTop);
    form->Show();
    bool inLayerDuringBox = true;
    system.SetMessageBoxResponder(
        [&](const MessageBoxRequest&) { inLayerDuringBox = system.IsInTopMostLayer(form->Handle()); });
    app->ShowMessage("Bands are missing");
    EXPECT_FALSE(inLayerDuringBox);
    EXPECT_TRUE(system.IsInTopMostLayer(form->Handle()));
}

TEST_F(ControlsTest, AnOpaqueCentredLabelPaintsItsColorAndCentresItsText) {
    TForm* form = MakeForm();
    header->SetColor(clSkyBlue);
    header->SetAlignment(TAlignment::taCenter);
    header->Font().SetName("Tahoma");
    header->Font().SetHeight(-19);
    header->Font().SetStyle(TFontStyles{TFontStyle::fsBold});
    header->SetCaption("Active Jobs - Jewish(Top) : 4");
    form->Show();
    system.ProcessMessages();
    const platform::Image& image = system.WindowImage(form->Handle());

    // The same text drawn straight onto a sky-blue band, centred, in bold Tahoma.
    platform::Image expected(399, 33, platform::ResolveColor(clSkyBlue));
    platform::PixelCanvas canvas(expected);
    canvas.SetFont(platform::FontSpec{"Tahoma", -19, platform::FontStyle::Bold, clWindowText});
    platform::Rect r{0, 0, 399, 33};
    canvas.DrawText("Active Jobs - Jewish(Top) : 4", r, platform::tfCenter | platform::tfExpandTabs);
    int differing = 0;
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 399; ++x)
            differing += image.At(x, y) != expected.At(x, y);
    }
    EXPECT_EQ(differing, 0);

    // A transparent label leaves its parent's colour alone.
    header->SetTransparent(true);
    header->SetCaption("");
    system.ProcessMessages();
    EXPECT_EQ(system.WindowImage(form->Handle()).At(2, 2), platform::ResolveColor(clBtnFace));
}

TEST_F(ControlsTest, AnAutoSizedLabelTakesTheSizeOfItsText) {
    TForm* form = MakeForm();
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption("W");
    const int narrow = label->Width();
    label->SetCaption("WWWW");
    EXPECT_GT(label->Width(), 3 * narrow);
    EXPECT_GT(label->Height(), 0);
}

TEST_F(ControlsTest, TimersTickOnTheVirtualClockFromLoadingAndStopWhenFreedOrDisabled) {
    auto* timer = new TTimer(app.get());
    timer->SetLoading(); // as when read from a description: nothing runs until loaded
    timer->SetInterval(5000);
    int ticks = 0;
    timer->OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, timer);
        ++ticks;
    };
    system.AdvanceTime(10'000);
    EXPECT_EQ(ticks, 0);
    timer->Loaded();
    system.AdvanceTime(10'000);
    EXPECT_EQ(ticks, 2);

    timer->SetEnabled(false);
    system.AdvanceTime(10'000);
    EXPECT_EQ(ticks, 2);
    timer->SetEnabled(true);
    system.AdvanceTime(5'000);
    EXPECT_EQ(ticks, 3);

    TComponent::Free(timer);
    system.AdvanceTime(20'000);
    EXPECT_EQ(ticks, 3);
}

TEST_F(ControlsTest, AnErrorInATimerIsReportedAndTheTimerGoesOn) {
    auto* timer = new TTimer(app.get());
    timer->SetInterval(5000);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) {
        if (++ticks == 1)
            throw EInvalidOperation("Table is busy");
    };
    system.AdvanceTime(10'000);
    EXPECT_EQ(ticks, 2);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], (MessageBoxRequest{"Wall", "Table is busy.", MessageBoxIcon::Error}));
}

TEST(ErrorReportText, AddsAFullStopOnlyAfterACharacterThatSortsAfterIt) {
    auto text = [](const char* message) { return TApplication::ErrorReportText(EInvalidOperation(message)); };
    EXPECT_EQ(text("Table is busy"), "Table is busy.");
    EXPECT_EQ(text("Done."), "Done.");
    EXPECT_EQ(text("Stop!"), "Stop!");
    EXPECT_EQ(text("Value (3)"), "Value (3)");
    EXPECT_EQ(text("Path /"), "Path /.");
    EXPECT_EQ(text(""), "");
}

TEST_F(ControlsTest, TheTitleIsTheApplicationWindowsText) {
    EXPECT_EQ(system.Text(app->Handle()), "Wall");
    app->SetTitle("Brellow Database Wall Screen");
    EXPECT_EQ(system.Text(app->Handle()), "Brellow Database Wall Screen");
    EXPECT_EQ(system.Kind(app->Handle()), platform::WindowKind::Application);
}

// A form built from code, created as the program creates its roots.
class TPlainForm : public TForm {
public:
    using TForm::TForm;
    static inline std::function<void(TPlainForm&)> OnBuilt;
    void AfterConstruction() override {
        if (OnBuilt)
            OnBuilt(*this);
        TForm::AfterConstruction();
    }
};
TPlainForm* PlainForm = nullptr;
TPlainForm* SecondForm = nullptr;

TEST_F(ControlsTest, RunShowsTheFirstFormCreatedAndClosingItEndsTheLoop) {
    int shows = 0;
    TPlainForm::OnBuilt = [&](TPlainForm& f) { f.OnShow = [&](TObject*) { ++shows; }; };
    app->CreateForm(PlainForm);
    app->CreateForm(SecondForm);
    TPlainForm::OnBuilt = nullptr;
    EXPECT_EQ(app->MainForm(), PlainForm);

    app->ShowMainFormAtStart();
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(system.IsShowing(PlainForm->Handle()));
    EXPECT_FALSE(system.IsShowing(SecondForm->Handle()));

    SecondForm->Close(); // not the main form: only hidden
    EXPECT_FALSE(app->Terminated());
    PlainForm->Close();
    EXPECT_TRUE(app->Terminated());
    app->Run(); // returns at once
}

TEST_F(ControlsTest, WithoutShowMainFormNothingIsShown) {
    app->CreateForm(PlainForm);
    app->SetShowMainForm(false);
    app->ShowMainFormAtStart();
    EXPECT_FALSE(system.IsShowing(PlainForm->Handle()));
}

TEST_F(ControlsTest, StartedMinimisedTheMainFormIsShownOnlyWhenRestored) {
    int shows = 0;
    TPlainForm::OnBuilt = [&](TPlainForm& f) { f.OnShow = [&](TObject*) { ++shows; }; };
    app->CreateForm(PlainForm);
    TPlainForm::OnBuilt = nullptr;
    system.SetStartupShowRequest(platform::StartupShow::MinimizedNoActivate);
    app->ShowMainFormAtStart();
    EXPECT_TRUE(app->IsMinimized());
    EXPECT_EQ(shows, 0);
    EXPECT_FALSE(system.IsShowing(PlainForm->Handle()));

    // Shown by the loop once the handler that restored the program has returned.
    app->Restore();
    EXPECT_EQ(shows, 0);
    system.ProcessMessages();
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(system.IsShowing(PlainForm->Handle()));
}

TEST_F(ControlsTest, StartedMaximisedTheMainFormFillsTheScreen) {
    app->CreateForm(PlainForm);
    system.SetStartupShowRequest(platform::StartupShow::Maximized);
    app->ShowMainFormAtStart();
    const platform::Size screen = system.ScreenSize();
    EXPECT_EQ(system.Bounds(PlainForm->Handle()), (platform::Rect{0, 0, screen.cx, screen.cy}));
}

TEST_F(ControlsTest, AFailedStartUpShowsTheApplicationErrorBoxAfterFreeingTheRoots) {
    int ticksDuringBox = 0;
    system.SetMessageBoxResponder([&](const MessageBoxRequest& r) {
        boxes.push_back(r);
        system.AdvanceTime(20'000); // nobody answers for a while
    });
    const int code = app->Execute([&] {
        app->CreateForm(PlainForm);
        auto* timer = new TTimer(PlainForm);
        timer->OnTimer = [&](TObject*) { ++ticksDuringBox; };
        throw EInvalidOperation("Cannot open the job database");
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(ticksDuringBox, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Error);
    const std::regex pattern("Exception EInvalidOperation in module controls_tests at [0-9A-F]{8}\\.\n"
                             "Cannot open the job database\\.");
    EXPECT_TRUE(std::regex_match(boxes[0].text, pattern)) << boxes[0].text;
    EXPECT_EQ(app->ComponentCount(), 0);
}

TEST_F(ControlsTest, AStartUpErrorMessageKeepsItsOwnFullStop) {
    app->Execute([] { throw EInvalidOperation("Missing TableName property."); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.ends_with("\nMissing TableName property.")) << boxes[0].text;
    EXPECT_EQ(app->Execute([] {}), 0);
}

TEST_F(ControlsTest, FreeingAParentFirstLeavesItsControlsWhole) {
    auto* form = new TForm(app.get());
    auto* outside = new TLabel(nullptr); // owned elsewhere
    outside->SetParent(form);
    form->AfterConstruction();
    ASSERT_TRUE(outside->HandleAllocated());
    TComponent::Free(form);
    EXPECT_EQ(outside->Parent(), nullptr);
    EXPECT_FALSE(outside->HandleAllocated());
    outside->SetCaption("still usable");
    TComponent::Free(outside);
}

TEST(ImageListData, RoundTripsAndRejectsDataThatDoesNotFit) {
    TComponentPtr<TImageList> list(new TImageList(nullptr));
    platform::Image strip(32, 16, platform::MakePixel(0, 0, 0, 0));
    strip.Set(3, 4, platform::MakePixel(200, 10, 20));
    strip.Set(20, 5, platform::MakePixel(10, 200, 20));
    ASSERT_EQ(list->Add(strip), 0);
    ASSERT_EQ(list->Count(), 2);
    const std::vector<std::uint8_t> data = list->Bitmap();

    TComponentPtr<TImageList> copy(new TImageList(nullptr));
    copy->SetBitmap(data);
    ASSERT_EQ(copy->Count(), 2);
    EXPECT_EQ(copy->List().At(0), list->List().At(0));
    EXPECT_EQ(copy->List().At(1), list->List().At(1));

    auto rejects = [&](std::vector<std::uint8_t> bad) {
        EXPECT_THROW(copy->SetBitmap(bad), EInvalidOperation);
        EXPECT_EQ(copy->Count(), 2); // left as it was
    };
    rejects({});
    rejects(std::vector<std::uint8_t>(data.begin(), data.end() - 1)); // truncated
    std::vector<std::uint8_t> wrongMagic = data;
    wrongMagic[0] = 'X';
    rejects(wrongMagic);
    std::vector<std::uint8_t> hugeCount = data;
    hugeCount[8] = 0xFF;
    hugeCount[9] = 0xFF;
    rejects(hugeCount);
    TComponentPtr<TImageList> other(new TImageList(nullptr));
    other->SetWidth(34);
    EXPECT_THROW(other->SetBitmap(data), EInvalidOperation); // 16 x 16 images in a 34 x 16 list
}

} // namespace
} // namespace ws
