#pragma once

#include "engine/Status.h"

#include <string>

namespace ws::engine {

// Test seam: makes engine operations fail on purpose, so that every caller's error path can be
// driven. Process-wide and thread-safe; Reset() between tests.
class FaultInjector {
public:
    // The k-th engine operation from now (k >= 1) fails with the status; later ones succeed.
    static void FailNthCall(int k, EngineStatus status);
    // Every call of the named operation ("OpenTable", "GetNextRecord", ...) fails.
    static void FailOperation(const std::string& operation, EngineStatus status);
    static void Reset();

    // Called by each operation on entry: the status to fail with, or esOk.
    static EngineStatus Check(const char* operation);
};

} // namespace ws::engine
