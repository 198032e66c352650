#pragma once

// The current local date and time, to the millisecond. Code that needs "now" asks CurrentClock(),
// never the operating system, so that the headless window system can run the program on a
// virtual clock that tests move forward.

#include "base/DateTime.h"

namespace ws::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time, whole milliseconds.
    virtual TDateTime Now() const = 0;
};

// The operating system's clock in the local time zone.
Clock& SystemClock();

// The process-wide clock: the system clock unless another one is installed.
Clock& CurrentClock();
// Installs 'clock' (which must outlive its installation) and returns the one it replaces;
// nullptr reinstalls the system clock. Call from the user-interface thread only.
Clock* SetCurrentClock(Clock* clock);

// Shorthand for CurrentClock().Now().
inline TDateTime Now() {
    return CurrentClock().Now();
}

} // namespace ws::platform
