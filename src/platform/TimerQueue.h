#pragma once

// The periodic timers of one window system, measured on its own millisecond clock. A tick is
// dispatched from the event loop on the user-interface thread; a timer never overlaps itself
// (while its callback runs, for example inside a modal message box, it is not dispatched again),
// and ticks that fall due while it is late are merged into one instead of piling up.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace ws::platform {

using TimerId = std::uint32_t; // 0 is no timer

class TimerQueue {
public:
    using Callback = std::function<void()>;
    using MillisecondClock = std::function<std::int64_t()>;

    // Intervals below this are raised to it, so that a zero interval cannot starve the loop.
    static constexpr unsigned MinimumInterval = 10;

    explicit TimerQueue(MillisecondClock now) : m_Now(std::move(now)) {}

    // Starts a timer whose first tick falls one interval from now.
    TimerId Add(unsigned intervalMs, Callback callback);
    // Stops a timer, also from inside its own callback; false for an unknown id.
    bool Kill(TimerId id);
    bool Contains(TimerId id) const { return m_Timers.contains(id); }
    bool Empty() const { return m_Timers.empty(); }

    // The earliest moment at which some timer that is not running falls due.
    std::optional<std::int64_t> NextDue() const;
    // Runs the callback of the timer that fell due first (at or before now; ties go to the older
    // timer) and reschedules it. False when no timer is due. Exceptions from the callback pass
    // through, and the timer stays scheduled.
    bool DispatchOne();

private:
    struct Timer {
        unsigned interval = 0;
        std::int64_t due = 0;
        Callback callback;
        bool running = false;
        bool killed = false;
    };

    void Reschedule(TimerId id, std::int64_t dueTick);

    MillisecondClock m_Now;
    std::map<TimerId, Timer> m_Timers;
    TimerId m_NextId = 1;
};

} // namespace ws::platform
