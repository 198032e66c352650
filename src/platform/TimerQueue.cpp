#include "platform/TimerQueue.h"

#include <algorithm>

namespace ws::platform {

TimerId TimerQueue::Add(unsigned intervalMs, Callback callback) {
    const unsigned interval = std::max(intervalMs, MinimumInterval);
    const TimerId id = m_NextId++;
    m_Timers[id] = Timer{interval, m_Now() + interval, std::move(callback), false, false};
    return id;
}

bool TimerQueue::Kill(TimerId id) {
    auto it = m_Timers.find(id);
    if (it == m_Timers.end())
        return false;
    // A running callback still holds its std::function; erase it once the callback returns.
    if (it->second.running)
        it->second.killed = true;
    else
        m_Timers.erase(it);
    return true;
}

std::optional<std::int64_t> TimerQueue::NextDue() const {
    std::optional<std::int64_t> next;
    for (const auto& [id, timer] : m_Timers) {
        if (timer.running || timer.killed)
            continue;
        if (!next || timer.due < *next)
            next = timer.due;
    }
    return next;
}

bool TimerQueue::DispatchOne() {
    const std::int64_t now = m_Now();
    TimerId chosen = 0;
    std::int64_t chosenDue = 0;
    for (const auto& [id, timer] : m_Timers) {
        if (timer.running || timer.killed || timer.due > now)
            continue;
        if (chosen == 0 || timer.due < chosenDue) {
            chosen = id;
            chosenDue = timer.due;
        }
    }
    if (chosen == 0)
        return false;

    Timer& timer = m_Timers[chosen];
    timer.running = true;
    struct Finish {
        TimerQueue* queue;
        TimerId id;
        std::int64_t due;
        ~Finish() { queue->Reschedule(id, due); }
    } finish{this, chosen, chosenDue};
    timer.callback();
    return true;
}

void TimerQueue::Reschedule(TimerId id, std::int64_t dueTick) {
    auto it = m_Timers.find(id);
    if (it == m_Timers.end())
        return;
    Timer& timer = it->second;
    timer.running = false;
    if (timer.killed) {
        m_Timers.erase(it);
        return;
    }
    // Stay on the timer's own beat; when the beat has already passed (a long callback, a modal
    // box inside it) the missed ticks merge into one that is due at once.
    timer.due = std::max(dueTick + timer.interval, m_Now());
}

} // namespace ws::platform
