#include "platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace ws::platform {

namespace {

class LocalSystemClock final : public Clock {
public:
    TDateTime Now() const override {
        using namespace std::chrono;
        const auto now = system_clock::now();
        const auto sinceEpoch = duration_cast<milliseconds>(now.time_since_epoch()).count();
        const std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
        const int msec = static_cast<int>(sinceEpoch % 1000);
        std::tm local{};
        if (localtime_r(&seconds, &local) == nullptr)
            return 0.0;
        return EncodeDateTime(DateParts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                              // A leap second reads as the last ordinary second of its minute.
                              TimeParts{local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), msec});
    }
};

Clock* g_Current = nullptr;

} // namespace

Clock& SystemClock() {
    static LocalSystemClock clock;
    return clock;
}

Clock& CurrentClock() {
    return g_Current != nullptr ? *g_Current : SystemClock();
}

Clock* SetCurrentClock(Clock* clock) {
    Clock* previous = g_Current;
    g_Current = clock;
    return previous;
}

} // namespace ws::platform
