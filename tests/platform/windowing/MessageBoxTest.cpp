#include "platform/HeadlessWindowSystem.h"
#include "platform/MessageBoxView.h"
#include "platform/WindowRegistry.h"
#include "support/TempDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ws::platform {
namespace {

TEST(HeadlessMessageBox, TicksRunWhileABoxIsOpenAndItsAnswerEndsIt) {
    HeadlessWindowSystem ws;
    std::vector<std::string> log;
    ws.SetTimer(5000, [&] {
        log.push_back("tick " + std::to_string(ws.Milliseconds()) + (ws.IsMessageBoxOpen() ? " in box" : ""));
    });
    ws.SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        log.push_back("box " + request.text);
        ws.AdvanceTime(12'000);
        log.push_back("ok");
    });
    const WindowId main = ws.CreatePopup(Rect{0, 0, 1094, 1895}, {});
    WindowEvents events;
    events.click = [&](Point) {
        ws.ShowMessageBox({"Title", "Colour bands are missing.", MessageBoxIcon::None});
        log.push_back("after box");
    };
    ws.SetEvents(main, events);
    ws.SetVisible(main, true);

    ws.Click(main, Point{500, 1000});

    EXPECT_EQ(log, (std::vector<std::string>{"box Colour bands are missing.", "tick 5000 in box",
                                             "tick 10000 in box", "ok", "after box"}));
    ASSERT_EQ(ws.MessageBoxes().size(), 1u);
    EXPECT_EQ(ws.MessageBoxes()[0].request,
              (MessageBoxRequest{"Title", "Colour bands are missing.", MessageBoxIcon::None}));
    EXPECT_FALSE(ws.IsMessageBoxOpen());
}

TEST(HeadlessMessageBox, ATopMostMainWindowLeavesItsLayerWhileABoxIsOpen) {
    HeadlessWindowSystem ws;
    std::vector<std::string> log;
    ws.SetApplicationEvents(
        {nullptr, nullptr, [&] { log.push_back("opened"); }, [&] { log.push_back("closed"); }});
    int mainClicks = 0;
    WindowEvents events;
    events.click = [&](Point) { ++mainClicks; };
    const WindowId main = ws.CreatePopup(Rect{0, 0, 1094, 1895}, events);
    const WindowId other = ws.CreatePopup(Rect{0, 0, 50, 50}, {});
    ws.SetTopMost(main, true);
    ws.SetVisible(main, true);
    ws.SetVisible(other, true);
    EXPECT_EQ(ws.ScreenOrder(), (std::vector<WindowId>{other, main}));

    ws.SetMessageBoxResponder([&](const MessageBoxRequest&) {
        const auto order = ws.ScreenOrder();
        ASSERT_EQ(order.size(), 3u);
        const WindowId box = order.back();
        EXPECT_EQ(ws.Kind(box), WindowKind::MessageBox);
        EXPECT_FALSE(ws.IsInTopMostLayer(main));
        EXPECT_TRUE(ws.IsTopMost(main)); // it still wants to be, and will be again
        // Centred on the screen, with the OK button inside.
        const Rect r = ws.Bounds(box);
        EXPECT_LE(std::abs(r.left + r.right - 1920), 1);
        EXPECT_LE(std::abs(r.top + r.bottom - 2000), 1);
        // The box takes all input: the main window under it hears no click.
        ws.Click(main, Point{10, 10});
        log.push_back("answered");
    });
    ws.ShowMessageBox({"Caption", "Text", MessageBoxIcon::Error});

    EXPECT_EQ(log, (std::vector<std::string>{"opened", "answered", "closed"}));
    EXPECT_EQ(mainClicks, 0);
    EXPECT_TRUE(ws.IsInTopMostLayer(main));
    EXPECT_EQ(ws.ScreenOrder(), (std::vector<WindowId>{other, main}));
    ws.Click(main, Point{10, 10});
    EXPECT_EQ(mainClicks, 1);
}

TEST(HeadlessMessageBox, ABoxIsShownAndPaintedEvenWhileTheProgramIsMinimised) {
    HeadlessWindowSystem ws;
    ws.MinimizeApplication();
    WindowId box = 0;
    ws.SetPresentListener([&](WindowId window, const Image& image, const Rect&) {
        if (ws.Kind(window) != WindowKind::MessageBox)
            return;
        box = window;
        // The error icon's red disc, below the caption bar.
        const Rect icon =
            MessageBoxView({"Caption", "Text", MessageBoxIcon::Error}, ws.ScreenSize()).IconRect();
        EXPECT_EQ(image.At(icon.left + 16, icon.top + 4), MakePixel(255, 0, 0));
    });
    ws.ShowMessageBox({"Caption", "Text", MessageBoxIcon::Error});
    EXPECT_NE(box, 0u);
    EXPECT_FALSE(ws.Exists(box));
}

TEST(MessageBoxView, LayoutFitsTheTextAndStaysOnSmallScreens) {
    const MessageBoxView plain({"Brellow", "A short text.", MessageBoxIcon::None}, Size{1920, 2000});
    EXPECT_TRUE(plain.IconRect().IsEmpty());
    EXPECT_GT(plain.TextRect().Width(), 0);
    EXPECT_GE(plain.OkButton().top, plain.TextRect().bottom);
    EXPECT_LE(plain.OkButton().bottom, plain.Bounds().Height());
    const int okCentre = plain.OkButton().left + plain.OkButton().right;
    EXPECT_LE(std::abs(okCentre - plain.Bounds().Width()), 1);

    const std::string longText(3000, 'x');
    const MessageBoxView tiny({"Caption", longText + " " + longText, MessageBoxIcon::Error}, Size{300, 200});
    const Rect r = tiny.Bounds();
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 300);
    EXPECT_LE(r.bottom, 200);
}

// A private registry directory for one test.
class RegistryDirectory : public ws::test::TempDirectory {
public:
    RegistryDirectory() : TempDirectory("ws-windowing") {}
};

TEST(HeadlessRegistry, AnotherProcessFindsTheProgramAndRestoresIt) {
    RegistryDirectory directory;
    ASSERT_FALSE(directory.Path().empty());
    HeadlessOptions options;
    options.registryDirectory = directory.Path();
    HeadlessWindowSystem ws(options);
    const WindowId app = ws.CreateApplicationWindow("Wall Screen Test");
    const WindowId main = ws.CreatePopup(Rect{0, 0, 100, 100}, {}, "Active Jobs");
    ws.SetVisible(main, true);
    ws.MinimizeApplication();

    WindowRegistry requester(directory.Path());
    auto found = requester.Find("Wall Screen Test");
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(requester.IsIconic(*found));
    EXPECT_FALSE(requester.Find("Wall Screen").has_value());

    // Same process: the request is queued and carried out when our loop looks at it.
    requester.Restore(*found, std::chrono::milliseconds(0));
    EXPECT_TRUE(ws.IsApplicationMinimized());
    ws.ProcessMessages();
    EXPECT_FALSE(ws.IsApplicationMinimized());
    EXPECT_TRUE(ws.IsShowing(main));
    EXPECT_FALSE(requester.IsIconic(*found));

    requester.SetForeground(*found, std::chrono::milliseconds(0));
    ws.ProcessMessages();
    EXPECT_EQ(ws.Foreground(), main);

    // A changed text is what others search for from then on.
    ws.SetText(app, "");
    EXPECT_FALSE(requester.Find("Wall Screen Test").has_value());
    ws.Destroy(main);
    EXPECT_FALSE(requester.Find("Active Jobs").has_value());
}

TEST(HeadlessEventLoop, TerminatingFromATickInsideABoxEndsTheBoxAndTheLoop) {
    HeadlessWindowSystem ws;
    int ticks = 0;
    ws.SetTimer(5000, [&] {
        ++ticks;
        ws.Terminate();
    });
    ws.SetMessageBoxResponder([&](const MessageBoxRequest&) { ws.AdvanceTime(60'000); });
    ws.ShowMessageBox({"Caption", "Text", MessageBoxIcon::None});
    EXPECT_EQ(ticks, 1); // nothing is dispatched once the program is ending
    EXPECT_FALSE(ws.IsMessageBoxOpen());
    ws.Run(); // returns at once
}

} // namespace
} // namespace ws::platform
