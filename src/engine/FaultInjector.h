#pragma once

#include "engine/Status.h"

#include <string>

namespace ws::engine {

// Test seam: makes engine operations fail on purpose, so that every caller's error path can be
// driven. Process-wide and thread-safe; Reset() between tests.
class FaultInjector {
public:
    // Where a counted fault strikes: before the operation does anything, or once its work is
    // done (a lock freed, a row written, a file opened) so that only its answer is the failure.
    enum class Point { OnEntry, AfterWork };

    // The k-th engine operation from now (k >= 1) fails with the status; later ones succeed.
    static void FailNthCall(int k, EngineStatus status, Point point = Point::OnEntry);
    // Every call of the named operation ("OpenTable", "GetNextRecord", ...) fails.
    static void FailOperation(const std::string& operation, EngineStatus status);
    static void Reset();

    // Called by each operation on entry: the status to fail with, or esOk.
    static EngineStatus Check(const char* operation);
    // Called by an operation that did its work: the status to answer with instead, or esOk.
    static EngineStatus CheckAfterWork(const char* operation);
    // The operation the counted fault struck since it was armed, or empty.
    static std::string CountedFaultStruck();

    // Faults armed for one scope: its end clears every fault, also when a test leaves it early
    // (a failed assertion, an exception), so that none outlives the test that armed it.
    class Scope {
    public:
        Scope() = default;
        ~Scope() { FaultInjector::Reset(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        void FailNthCall(int k, EngineStatus status, Point point = Point::OnEntry) {
            FaultInjector::FailNthCall(k, status, point);
        }
        void FailOperation(const std::string& operation, EngineStatus status) {
            FaultInjector::FailOperation(operation, status);
        }
        // Clears the faults before the scope ends.
        void Clear() { FaultInjector::Reset(); }
    };
};

} // namespace ws::engine
