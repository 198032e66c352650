#include "engine/FaultInjector.h"

#include <atomic>
#include <map>
#include <mutex>

namespace ws::engine {

namespace {

struct FaultState {
    std::mutex mutex;
    int countdown = 0; // 0: no counted fault armed
    DBIResult countedStatus = dbiOk;
    std::map<std::string, DBIResult> operations;
};

// Checked without the mutex on the hot path: tests arm faults rarely, reads are every call.
std::atomic<bool> g_Armed{false};

FaultState& State() {
    static FaultState state;
    return state;
}

} // namespace

void FaultInjector::FailNthCall(int k, DBIResult status) {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    s.countdown = k > 0 ? k : 0;
    s.countedStatus = status;
    g_Armed = true;
}

void FaultInjector::FailOperation(const std::string& operation, DBIResult status) {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    s.operations[operation] = status;
    g_Armed = true;
}

void FaultInjector::Reset() {
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    s.countdown = 0;
    s.operations.clear();
    g_Armed = false;
}

DBIResult FaultInjector::Check(const char* operation) {
    if (!g_Armed)
        return dbiOk;
    FaultState& s = State();
    std::lock_guard lock(s.mutex);
    if (auto it = s.operations.find(operation); it != s.operations.end())
        return it->second;
    if (s.countdown > 0 && --s.countdown == 0)
        return s.countedStatus;
    return dbiOk;
}

} // namespace ws::engine
