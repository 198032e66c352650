#pragma once

#include "base/Color.h"

#include <string_view>

namespace ws {

// A colour identifier ("clRed" in any letter case, the same 52 names the stored layouts use) or a
// 32-bit integer in decimal or with a hexadecimal prefix; anything else raises EConvertError
// "'%s' is not a valid integer value".
TColor ColourFromText(std::string_view text);

} // namespace ws
