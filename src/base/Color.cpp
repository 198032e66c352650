#include "base/Color.h"

#include <cstdio>

namespace ws {

std::string ColorToHex(TColor c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(static_cast<std::uint32_t>(c)));
    return buf;
}

} // namespace ws
