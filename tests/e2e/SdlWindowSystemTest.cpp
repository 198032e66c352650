// The SDL window system on a real X server. Each test starts its own Xvfb (1200 x 1920, no
// window manager), so what is checked is what the window system itself does to the X server:
// placement, frame, stacking above other clients' windows, pixels, and input from xdotool.

#include "platform/sdl/SdlWindowSystem.h"

#include "base/Exception.h"
#include "e2e/X11Probe.h"
#include "e2e/XvfbServer.h"
#include "platform/MessageBoxView.h"
#include "platform/PixelCanvas.h"
#include "platform/sdl/CreateWindowSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ws::platform {

namespace {

using ws::test::X11Probe;
using ws::test::XdoToolCommands;
using ws::test::XvfbServer;

constexpr Rect MainBounds{0, 0, 1094, 1895};

class SdlOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb); these tests need a real X server";
        m_Server = std::make_unique<XvfbServer>(1200, 1920);
        ASSERT_TRUE(m_Server->Running()) << m_Server->Error();
        x = std::make_unique<X11Probe>(m_Server->Display());
        ASSERT_TRUE(x->Connected());
        ws = std::make_unique<SdlWindowSystem>();
    }
    void TearDown() override {
        ws.reset();
        x.reset();
        m_Server.reset();
    }

    // Runs the event loop until 'done' holds or five seconds have passed.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            ws->ProcessMessages();
            x->Sync();
            ::usleep(10'000);
        }
        return true;
    }
    void PumpFor(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        PumpUntil([&] { return std::chrono::steady_clock::now() > until; });
    }

    // Runs xdotool on our server without waiting for it.
    static void XdoTool(const std::string& arguments) {
        const std::string command = "(" + XdoToolCommands(arguments) + ") >/dev/null 2>&1 &";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // The wall screen's shape: a top-most pop-up with a sky-blue header band.
    WindowId CreateMain(WindowEvents events) {
        events.paint = [](PixelCanvas& canvas, const Rect&) {
            canvas.FillRect(Rect{0, 0, 1094, 1895}, clBtnFace);
        };
        const WindowId main = ws->CreatePopup(MainBounds, events, "Active Jobs");
        WindowEvents header;
        header.paint = [](PixelCanvas& canvas, const Rect&) {
            canvas.FillRect(Rect{0, 0, 1093, 33}, clSkyBlue);
        };
        header.click = [this](Point) { log.push_back("header click"); };
        const WindowId band = ws->CreateChild(main, Rect{0, 0, 1093, 33}, header);
        ws->SetVisible(band, true);
        ws->SetTopMost(main, true);
        ws->SetVisible(main, true);
        ws->ProcessMessages();
        return main;
    }

    std::unique_ptr<SdlWindowSystem> ws;
    std::vector<std::string> log;
    std::unique_ptr<X11Probe> x;

private:
    std::unique_ptr<XvfbServer> m_Server;
};

TEST_F(SdlOnXvfb, TheMainWindowIsBorderlessAtTheOriginWithItsSizeAndPaintedPixels) {
    const WindowId main = CreateMain({});
    const unsigned long window = ws->NativeWindowId(main);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(PumpUntil([&] { return x->Facts(window).viewable; }));

    const auto facts = x->Facts(window);
    EXPECT_EQ(facts.x, 0);
    EXPECT_EQ(facts.y, 0);
    EXPECT_EQ(facts.width, 1094);
    EXPECT_EQ(facts.height, 1895);
    EXPECT_EQ(facts.borderWidth, 0);
    // A managed window, not an override-redirect one: a window manager, where there is one,
    // keeps it above through its "above" state. With none, as here, nothing frames it.
    EXPECT_FALSE(facts.overrideRedirect);
    EXPECT_TRUE(facts.parentIsRoot);

    // What was painted reached the screen: the header band and the window's face.
    EXPECT_EQ(x->PixelAt(window, 10, 10), 0xA6CAF0u); // clSkyBlue
    EXPECT_EQ(x->PixelAt(window, 1093, 10), x->PixelAt(window, 10, 60));
    EXPECT_NE(x->PixelAt(window, 10, 60), 0xA6CAF0u);

    // The application window carries the program's text and is never mapped.
    const WindowId app = ws->CreateApplicationWindow("Brellow Database Wall Screen");
    PumpFor(100);
    EXPECT_FALSE(x->Facts(ws->NativeWindowId(app)).viewable);
    EXPECT_EQ(x->Name(ws->NativeWindowId(app)), "Brellow Database Wall Screen");
}

TEST_F(SdlOnXvfb, TheMainWindowStaysAboveAnotherProgramsWindow) {
    const WindowId main = CreateMain({});
    const unsigned long ours = ws->NativeWindowId(main);
    PumpFor(200);

    // Another program maps an ordinary window over ours, then raises it again.
    const unsigned long other = x->CreateOrdinaryWindow(100, 100, 400, 300);
    EXPECT_TRUE(PumpUntil([&] { return x->IsAbove(ours, other); }));
    x->Raise(other);
    EXPECT_TRUE(PumpUntil([&] { return x->IsAbove(ours, other); }));

    // Not top-most any more: the other window may stay above it.
    ws->SetTopMost(main, false);
    x->Raise(other);
    PumpFor(300);
    EXPECT_TRUE(x->IsAbove(other, ours));
}

TEST_F(SdlOnXvfb, MinimisingTheProgramTakesItsWindowAwayAndRestoringPutsItBackOnTop) {
    const WindowId main = CreateMain({});
    const unsigned long ours = ws->NativeWindowId(main);
    ASSERT_TRUE(PumpUntil([&] { return x->Facts(ours).viewable; }));

    ws->MinimizeApplication();
    EXPECT_TRUE(PumpUntil([&] { return !x->Facts(ours).viewable; }));
    // Meanwhile another program opens a window where ours was.
    const unsigned long other = x->CreateOrdinaryWindow(0, 0, 300, 300);
    PumpFor(200);

    ws->RestoreApplication();
    EXPECT_TRUE(PumpUntil([&] { return x->Facts(ours).viewable && x->IsAbove(ours, other); }));
    EXPECT_EQ(x->Facts(ours).x, 0);
    EXPECT_EQ(x->Facts(ours).y, 0);
    EXPECT_TRUE(PumpUntil([&] { return x->PixelAt(ours, 10, 10) == 0xA6CAF0u; })); // painted again
}

TEST_F(SdlOnXvfb, ClicksFromTheMouseReachTheWindowUnderThePointer) {
    WindowEvents events;
    events.click = [this](Point p) {
        log.push_back("click " + std::to_string(p.x) + "," + std::to_string(p.y));
    };
    events.doubleClick = [this](Point) { log.push_back("double-click"); };
    CreateMain(events);
    PumpFor(200);

    XdoTool("mousemove 500 10 click 1");
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 1; }));
    XdoTool("mousemove 500 900 click 1");
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
    XdoTool("mousemove 600 1000 click --repeat 2 --delay 80 1");
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 4; }));
    PumpFor(300);
    EXPECT_EQ(log,
              (std::vector<std::string>{"header click", "click 500,900", "click 600,1000", "double-click"}));
}

TEST_F(SdlOnXvfb, TimersTickWhileAMessageBoxIsOpenAndItsOkButtonClosesIt) {
    const WindowId main = CreateMain({});
    const MessageBoxRequest request{"Brellow Database Wall Screen", "Colour bands are missing.",
                                    MessageBoxIcon::Error};
    const MessageBoxView layout(request, ws->ScreenSize());
    const Rect ok = layout.OkButton().Offset(layout.Bounds().left, layout.Bounds().top);

    int ticksInBox = 0;
    bool mainLeftTheLayer = false;
    ws->SetTimer(100, [&] {
        if (!ws->IsMessageBoxOpen())
            return;
        mainLeftTheLayer = !ws->IsInTopMostLayer(main);
        // Press OK once a few ticks have run inside the box.
        if (++ticksInBox == 5) {
            XdoTool("mousemove " + std::to_string((ok.left + ok.right) / 2) + " " +
                    std::to_string((ok.top + ok.bottom) / 2) + " click 1");
        }
    });
    // Should the click never arrive, ending the program closes the box too.
    ws->SetTimer(8000, [&] { ws->Terminate(); });
    const auto opened = std::chrono::steady_clock::now();
    ws->ShowMessageBox(request);

    EXPECT_LT(std::chrono::steady_clock::now() - opened, std::chrono::seconds(10));
    EXPECT_GE(ticksInBox, 5);
    EXPECT_TRUE(mainLeftTheLayer);
    EXPECT_TRUE(ws->IsInTopMostLayer(main));
    EXPECT_FALSE(ws->IsMessageBoxOpen());
    EXPECT_FALSE(ws->Terminated());
}

// Xlib's default error handler ends the process. The window system's tolerant handler must be in
// force while it runs and after it has gone, also once SDL has put back the handler it found at
// start-up; in a child process, so that an ended process is seen as a failure, not as the end of
// this test program.
TEST(SdlXErrors, NoXErrorEndsTheProgramWhileTheWindowSystemRunsOrAfterItHasGone) {
    if (!XvfbServer::Installed())
        GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
    XvfbServer server(800, 600);
    ASSERT_TRUE(server.Running()) << server.Error();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        X11Probe probe(server.Display());
        auto system = std::make_unique<SdlWindowSystem>();
        const WindowId window = system->CreatePopup(Rect{0, 0, 200, 100}, {});
        system->SetVisible(window, true);
        system->ProcessMessages();
        probe.RaiseMissingWindow();
        system.reset();
        probe.RaiseMissingWindow();
        ::_exit(probe.Connected() ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "an X error ended the process";
}

TEST(SdlWithoutDisplay, SaysSoInsteadOfFailingObscurely) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    ::unsetenv("DISPLAY");
    try {
        CreateWindowSystem("sdl");
        ADD_FAILURE() << "expected EOSError";
    } catch (const EOSError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("No display: set DISPLAY or run under Xvfb", 0), 0u)
            << e.what();
    }
    if (display != nullptr)
        ::setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_THROW(CreateWindowSystem("wayland"), EInvalidOperation);
}

} // namespace
} // namespace ws::platform
