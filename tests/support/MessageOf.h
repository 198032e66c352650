#pragma once

#include "base/Exception.h"

#include <functional>
#include <string>

namespace ws::test {

// The message of the system's exception that the action raises, or "<no error>" when it raises
// none; any other exception goes on to the test.
inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "<no error>";
}

} // namespace ws::test
