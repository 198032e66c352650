#pragma once

// The due-date colour bands of the top list: the colour texts the business keeps in Options.DB
// ("Band 1" to "Band 5"), their conversion into colours, and the warning shown when bands are
// missing at the first showing of the main window.

#include "base/Color.h"

#include <array>
#include <string>
#include <string_view>

namespace ws {

// Index k holds the text of the settings row "Band k+1".
using TBandColours = std::array<std::string, 5>;

// A colour identifier ("clRed" in any letter case) or a 32-bit integer in decimal or with a
// hexadecimal prefix; anything else raises EConvertError "'%s' is not a valid integer value".
TColor ColourFromText(std::string_view text);

// The warning for 'count' (0 to 4) bands found: its text, a line feed, "Please use the Custom
// Color utility", a line feed and " in the program to correct this error".
std::string BandWarningText(int count);

} // namespace ws
