#include "base/DateTime.h"
#include "base/Exception.h"
#include "platform/Clock.h"
#include "platform/HeadlessWindowSystem.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ws::platform {
namespace {

HeadlessOptions StartingAt(TDateTime start) {
    HeadlessOptions options;
    options.start = start;
    return options;
}

struct Tick {
    std::string timer;
    std::int64_t at;
    friend bool operator==(const Tick&, const Tick&) = default;
};

TEST(HeadlessTimers, TicksComeInOrderEachAtItsDueTimeOnTheClock) {
    HeadlessWindowSystem ws(StartingAt(EncodeDateTime({2025, 3, 1}, {23, 59, 59, 0})));
    std::vector<Tick> ticks;
    std::vector<std::string> clockReadings;
    ws.SetTimer(300, [&] {
        ticks.push_back({"a", ws.Milliseconds()});
        clockReadings.push_back(FormatIso(Now()));
    });
    ws.SetTimer(500, [&] { ticks.push_back({"b", ws.Milliseconds()}); });

    ws.AdvanceTime(1000);

    const std::vector<Tick> expected{{"a", 300}, {"b", 500}, {"a", 600}, {"a", 900}, {"b", 1000}};
    EXPECT_EQ(ticks, expected);
    // The local time inside a tick is the tick's due time, across midnight.
    EXPECT_EQ(clockReadings, (std::vector<std::string>{"2025-03-01 23:59:59.300", "2025-03-01 23:59:59.600",
                                                       "2025-03-01 23:59:59.900"}));
    EXPECT_EQ(FormatIso(ws.Now()), "2025-03-02 00:00:00.000");
}

TEST(HeadlessTimers, KilledTimersStopAlsoFromTheirOwnTick) {
    HeadlessWindowSystem ws;
    int own = 0;
    int other = 0;
    TimerId otherId = ws.SetTimer(100, [&] { ++other; });
    TimerId ownId = 0;
    ownId = ws.SetTimer(100, [&] {
        if (++own == 2) {
            EXPECT_TRUE(ws.KillTimer(ownId));
            EXPECT_TRUE(ws.KillTimer(otherId));
        }
    });
    ws.AdvanceTime(1000);
    EXPECT_EQ(own, 2);
    EXPECT_EQ(other, 2); // the older timer ticked first at 200
    EXPECT_FALSE(ws.KillTimer(ownId));
}

TEST(HeadlessTimers, LateTicksMergeAndTheBeatResumes) {
    HeadlessWindowSystem ws;
    std::vector<std::int64_t> at;
    ws.SetTimer(1000, [&] {
        at.push_back(ws.Milliseconds());
        if (at.size() == 1)
            ws.AdvanceTime(3500); // a tick that takes three and a half intervals
    });
    ws.AdvanceTime(7000);
    // 2000, 3000 and 4000 were missed while the first tick ran: one tick stands for them.
    EXPECT_EQ(at, (std::vector<std::int64_t>{1000, 4500, 5500, 6500}));
}

TEST(HeadlessTimers, ZeroIntervalCannotStarveTheLoop) {
    HeadlessWindowSystem ws;
    int ticks = 0;
    ws.SetTimer(0, [&] { ++ticks; });
    ws.AdvanceTime(100);
    EXPECT_EQ(ticks, 100 / static_cast<int>(TimerQueue::MinimumInterval));
}

TEST(HeadlessTimers, ATickNeverOverlapsItselfButOtherTimersRunInsideIt) {
    HeadlessWindowSystem ws;
    int depth = 0;
    int maxDepth = 0;
    int slowTicks = 0;
    std::vector<std::int64_t> fastTicks;
    ws.SetMessageBoxResponder([&](const MessageBoxRequest&) { ws.AdvanceTime(12'000); });
    ws.SetTimer(5000, [&] {
        maxDepth = std::max(maxDepth, ++depth);
        if (++slowTicks == 1)
            ws.ShowMessageBox({"Title", "Tick error", MessageBoxIcon::Error});
        --depth;
    });
    ws.SetTimer(4000, [&] { fastTicks.push_back(ws.Milliseconds()); });
    ws.AdvanceTime(5000);
    EXPECT_EQ(maxDepth, 1);
    // The first slow tick (5000) held a box open until 17000; the fast timer kept going.
    EXPECT_EQ(fastTicks, (std::vector<std::int64_t>{4000, 8000, 12000, 16000}));
    EXPECT_EQ(slowTicks, 2); // plus the one merged tick at 17000
}

TEST(HeadlessTimers, ErrorsInTicksGoToTheReporterAndTicksContinue) {
    HeadlessWindowSystem ws;
    int ticks = 0;
    ws.SetTimer(100, [&] {
        ++ticks;
        throw EInvalidOperation("engine failure");
    });
    EXPECT_THROW(ws.AdvanceTime(100), EInvalidOperation);

    std::vector<std::string> reported;
    ws.SetErrorReporter([&](const std::exception& e) { reported.push_back(e.what()); });
    ws.AdvanceTime(300);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(reported.size(), 3u);
}

TEST(HeadlessTimers, AFailingTicksReportIsShownAfterTheTickSoTheTimerRunsOnBehindIt) {
    HeadlessWindowSystem ws;
    std::vector<std::int64_t> failing;
    std::vector<std::int64_t> other;
    ws.SetTimer(5000, [&] {
        failing.push_back(ws.Milliseconds());
        throw EInvalidOperation("engine failure");
    });
    ws.SetTimer(4000, [&] { other.push_back(ws.Milliseconds()); });
    // The first report is a modal box that stays open for 20 seconds, as an unattended screen's
    // would; the later ones are answered at once.
    int open = 0;
    int mostOpen = 0;
    ws.SetErrorReporter([&](const std::exception& e) {
        mostOpen = std::max(mostOpen, ++open);
        ws.ShowMessageBox({"Title", e.what(), MessageBoxIcon::Error});
        --open;
    });
    ws.SetMessageBoxResponder([&](const MessageBoxRequest&) {
        if (ws.MessageBoxes().size() == 1)
            ws.AdvanceTime(20'000);
    });

    ws.AdvanceTime(5000);
    // The failing timer kept its beat behind the first report, which was open from 5000 to
    // 25000; each later failure was reported on its own, one box above the first.
    EXPECT_EQ(failing, (std::vector<std::int64_t>{5000, 10000, 15000, 20000, 25000}));
    EXPECT_EQ(ws.MessageBoxes().size(), 5u);
    EXPECT_EQ(mostOpen, 2);
    EXPECT_EQ(other.size(), 6u); // 4000 ... 24000
}

TEST(HeadlessEventLoop, PostedTasksRunInOrderOnceTheirHandlerHasReturned) {
    HeadlessWindowSystem ws;
    std::vector<std::string> log;
    ws.SetTimer(100, [&] {
        if (log.empty()) {
            ws.PostTask([&] { log.push_back("first task"); });
            ws.PostTask([&] { throw EInvalidOperation("failed task"); });
            ws.PostTask([&] { log.push_back("third task"); });
        }
        log.push_back("tick");
    });
    ws.SetErrorReporter([&](const std::exception& e) { log.push_back(e.what()); });
    ws.AdvanceTime(100);
    EXPECT_EQ(log, (std::vector<std::string>{"tick", "first task", "failed task", "third task"}));
}

TEST(HeadlessEventLoop, RunEndsWhenAHandlerTerminatesAndNeedsSomethingToWaitFor) {
    HeadlessWindowSystem ws;
    int ticks = 0;
    ws.SetTimer(5000, [&] {
        if (++ticks == 3)
            ws.Terminate();
    });
    ws.Run();
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(ws.Milliseconds(), 15'000); // virtual time jumped from tick to tick

    HeadlessWindowSystem idle;
    EXPECT_THROW(idle.Run(), EInvalidOperation);
}

TEST(Clock, TheHeadlessSystemInstallsItsVirtualClockForItsLifetime) {
    const TDateTime before = Now();
    {
        HeadlessWindowSystem ws(StartingAt(EncodeDateTime({2024, 2, 29}, {0, 1, 1, 1})));
        EXPECT_EQ(FormatIso(Now()), "2024-02-29 00:01:01.001");
        ws.AdvanceTime(1);
        EXPECT_EQ(FormatIso(Now()), "2024-02-29 00:01:01.002");
        ws.SetDateTime(EncodeDateTime({2024, 3, 1}, {0, 59, 59, 999}));
        EXPECT_EQ(ws.Milliseconds(), 1); // timers do not jump with the date
        EXPECT_EQ(FormatIso(Now()), "2024-03-01 00:59:59.999");
    }
    // The system clock is back, and it reads the local time to the millisecond.
    const TDateTime after = Now();
    EXPECT_GE(CompareDateTime(after, before), 0);
    EXPECT_LT(after - before, 1.0 / 24);
    EXPECT_EQ(&CurrentClock(), &SystemClock());
}

} // namespace
} // namespace ws::platform
