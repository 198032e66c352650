#include "engine/FaultInjector.h"

#include <atomic>
#include <map>
#include <mutex>

namespace ws::engine {

namespace {

struct FaultState {
    std::mutex mutex;
    int countdown = 0; // 0: no counted fault armed
    EngineStatus countedStatus = esOk;
    FaultInjector::Point point = FaultInjector::Point::OnEntry;
    std::string struck;
    std::map<std::string, EngineStatus> operations;
};

// Checked without the mutex on the hot path: tests arm faults rarely, reads are every call.
std::atomic<bool> g_Armed{false};

FaultState& State() {
    static FaultState state;
    return state;
}

} // namespace

void FaultInjector::FailNthCall(int k, EngineStatus status, Point point) {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    s.countdown = k > 0 ? k : 0;
    s.countedStatus = status;
    s.point = point;
    s.struck.clear();
    g_Armed = true;
}

void FaultInjector::FailOperation(const std::string& operation, EngineStatus status) {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    s.operations[operation] = status;
    g_Armed = true;
}

void FaultInjector::Reset() {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    s.countdown = 0;
    s.struck.clear();
    s.operations.clear();
    g_Armed = false;
}

EngineStatus FaultInjector::Check(const char* operation) {
    if (!g_Armed)
        return esOk;
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto it = s.operations.find(operation); it != s.operations.end())
        return it->second;
    // Each operation counts once: on entry when the fault strikes there, else after its work.
    if (s.point == Point::OnEntry && s.countdown > 0 && --s.countdown == 0) {
        s.struck = operation;
        return s.countedStatus;
    }
    return esOk;
}

EngineStatus FaultInjector::CheckAfterWork(const char* operation) {
    if (!g_Armed)
        return esOk;
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.point == Point::AfterWork && s.countdown > 0 && --s.countdown == 0) {
        s.struck = operation;
        return s.countedStatus;
    }
    return esOk;
}

std::string FaultInjector::CountedFaultStruck() {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    return s.struck;
}

} // namespace ws::engine
