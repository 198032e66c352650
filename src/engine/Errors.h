#pragma once

#include "engine/Status.h"

#include <string>

namespace ws::engine {

// The calling thread's error stack, filled by failing operations.
class Errors {
public:
    static void Clear();
    // Records a failure (and, when given, its context as a further entry) and returns the code.
    static EngineStatus Fail(EngineStatus code, const std::string& context = {}, int nativeCode = 0);
    // Adds one more context entry to the current failure.
    static void AddContext(const std::string& context);
    static std::vector<ErrorEntry> Entries();
};

} // namespace ws::engine
