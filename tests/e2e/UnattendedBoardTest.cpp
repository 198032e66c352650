// The whole board on the real window system under a private Xvfb, left alone as on the workshop's
// wall: nobody answers an error report, yet the board goes on refreshing and still closes itself
// at night. Real time passes; the local clock is the system's, moved to the moment a test needs.
// The engine's fault seam makes one tick fail with an engine error.

#include "app/Program.h"
#include "app/frmJobs.h"
#include "e2e/X11Probe.h"
#include "e2e/XvfbServer.h"
#include "jobs/JobsDMTestSupport.h"
#include "platform/Clock.h"
#include "platform/WindowRegistry.h"
#include "platform/sdl/SdlWindowSystem.h"
#include "ui/Application.h"
#include "ui/Label.h"

#include <chrono>
#include <memory>
#include <string>

namespace ws::test {
namespace {

using namespace std::chrono_literals;
using engine::FaultInjector;
using SteadyClock = std::chrono::steady_clock;

// The local clock, started at a chosen moment and running in real time from there.
class ClockFrom final : public platform::Clock {
public:
    explicit ClockFrom(TDateTime start) : m_StartMs(DateTimeToMSecs(start)), m_Began(SteadyClock::now()) {}
    TDateTime Now() const override {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - m_Began);
        return MSecsToDateTime(m_StartMs + elapsed.count());
    }

private:
    std::int64_t m_StartMs;
    SteadyClock::time_point m_Began;
};

class UnattendedBoard : public JobsDbTest {
protected:
    static constexpr const char* kToday = "2026-03-02";

    void SetUp() override {
        JobsDbTest::SetUp();
        if (!XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        Jobsdb({"init"});
        for (int band = 1; band <= 5; ++band)
            Put("Options.DB", {{"OptionName", "Band " + std::to_string(band)}, {"OptionValue", "clRed"}});
        AddJob();
        // The mutex and the window registry are the test's own.
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        m_PreviousRuntime = runtime ? runtime : "";
        ::setenv("XDG_RUNTIME_DIR", m_Dir.c_str(), 1);
        m_Server = std::make_unique<XvfbServer>(1200, 1920);
        ASSERT_TRUE(m_Server->Running()) << m_Server->Error();
        x = std::make_unique<X11Probe>(m_Server->Display());
        ASSERT_TRUE(x->Connected());
        ws = std::make_unique<platform::SdlWindowSystem>();
        ws->AttachRegistry(std::make_unique<platform::WindowRegistry>(m_Dir + "/windows"));
    }
    void TearDown() override {
        platform::SetCurrentClock(nullptr);
        ws.reset();
        x.reset();
        m_Server.reset();
        if (m_PreviousRuntime.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", m_PreviousRuntime.c_str(), 1);
        JobsDbTest::TearDown();
    }

    // One more active Jewish job, as the office would enter it.
    void AddJob() {
        ++m_Jobs;
        PutJob("J" + std::to_string(m_Jobs), "2026-03-20", {{"IsActive", "True"}, {"IsJewish", "True"}});
    }
    int Jobs() const { return m_Jobs; }

    static TDateTime At(const std::string& time) { return ParseIso(std::string(kToday) + " " + time); }

    static bool MainWindowShowing() {
        return ActiveJobsForm != nullptr && ActiveJobsForm->HandleAllocated() && JobsDM != nullptr &&
               Application != nullptr && Application->Platform().IsShowing(ActiveJobsForm->Handle());
    }
    static std::string Header() {
        return ActiveJobsForm != nullptr ? ActiveJobsForm->HeaderLbl()->Caption() : std::string();
    }
    // The program's boxes as another X client sees them: viewable windows captioned with the title
    // (the application window carries the title too, but is never mapped).
    int BoxesOnScreen() {
        int boxes = 0;
        x->Sync();
        for (unsigned long w : x->Stacking()) {
            if (x->Name(w) == WallScreenTitle && x->Facts(w).viewable)
                ++boxes;
        }
        return boxes;
    }

    std::unique_ptr<platform::SdlWindowSystem> ws;
    std::unique_ptr<X11Probe> x;

private:
    int m_Jobs = 0;
    std::string m_PreviousRuntime;
    std::unique_ptr<XvfbServer> m_Server;
};

TEST_F(UnattendedBoard, AFailedTicksReportLeftOpenForAMinuteDoesNotStopTheRefresh) {
    enum class Phase { Starting, Failing, BoxOpen, Done } phase = Phase::Starting;
    SteadyClock::time_point opened;
    int refreshes = 0;     // header changes to a job count the office had just entered
    int mostBoxes = 0;     // boxes seen on the screen at once
    bool boxStayed = true; // the report stayed on the screen all the minute
    const SteadyClock::time_point began = SteadyClock::now();
    FaultInjector::Scope faults;
    ws->SetTimer(200, [&] {
        if (SteadyClock::now() - began > 150s) {
            ADD_FAILURE() << "the test ran out of time";
            ws->Terminate();
            return;
        }
        switch (phase) {
        case Phase::Starting:
            if (!MainWindowShowing())
                return;
            // The next tick's refresh of the first list fails in the engine.
            faults.FailOperation("ForceReread", engine::esIOError);
            phase = Phase::Failing;
            return;
        case Phase::Failing:
            if (!ws->IsMessageBoxOpen())
                return;
            faults.Clear();
            opened = SteadyClock::now();
            phase = Phase::BoxOpen;
            AddJob();
            return;
        case Phase::BoxOpen: {
            const int boxes = BoxesOnScreen();
            mostBoxes = std::max(mostBoxes, boxes);
            boxStayed = boxStayed && boxes >= 1 && ws->IsMessageBoxOpen();
            if (Header().find("Jewish(Top) : " + std::to_string(Jobs()) + " ") != std::string::npos) {
                ++refreshes;
                AddJob();
            }
            if (SteadyClock::now() - opened >= 60s) {
                phase = Phase::Done;
                ws->Terminate();
            }
            return;
        }
        case Phase::Done:
            return;
        }
    });

    EXPECT_EQ(RunWallScreen(*ws), 0);
    EXPECT_EQ(phase, Phase::Done);
    EXPECT_TRUE(boxStayed);
    EXPECT_EQ(mostBoxes, 1); // one failure, one box
    EXPECT_GE(refreshes, 10);
}

TEST_F(UnattendedBoard, TheNightlyCloseEndsTheProgramWhileAFailedTicksReportIsOpen) {
    ClockFrom clock(At("00:00:50.000"));
    platform::SetCurrentClock(&clock);
    TDateTime openedAt = 0;
    TDateTime lastSeenOpen = 0;
    bool armed = false;
    FaultInjector::Scope faults;
    ws->SetTimer(100, [&] {
        const TDateTime now = clock.Now();
        if (now > At("00:01:40.000")) {
            ws->Terminate(); // the close never came
            return;
        }
        if (!armed && MainWindowShowing()) {
            faults.FailOperation("ForceReread", engine::esIOError);
            armed = true;
        }
        if (ws->IsMessageBoxOpen()) {
            if (openedAt == 0) {
                openedAt = now;
                faults.Clear();
            }
            lastSeenOpen = now;
        }
    });

    EXPECT_EQ(RunWallScreen(*ws), 0);
    const TDateTime ended = clock.Now();
    ASSERT_NE(openedAt, 0) << "no tick failed";
    EXPECT_LT(openedAt, At("00:01:01.001")) << FormatIso(openedAt);
    // Nobody answered: the box was still open when the first tick after 00:01:01.001 closed it all.
    EXPECT_GT(lastSeenOpen, At("00:01:01.001")) << FormatIso(lastSeenOpen);
    EXPECT_GT(ended, At("00:01:01.001")) << FormatIso(ended);
    EXPECT_LT(ended, At("00:01:15.000")) << FormatIso(ended);
}

} // namespace
} // namespace ws::test
