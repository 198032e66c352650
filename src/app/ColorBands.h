#pragma once

// The due-date colour bands of the top list: the colour texts the business keeps in Options.DB
// ("Band 1" to "Band 5"), their conversion into colours, and the warning shown when bands are
// missing at the first showing of the main window.

#include "app/ColorText.h"
#include "base/Color.h"

#include <array>
#include <string>
#include <string_view>

namespace ws {

// Index k holds the text of the settings row "Band k+1".
using TBandColors = std::array<std::string, 5>;

// The band colour texts of the running program; empty until the main window is first shown.
extern TBandColors BandColours;

// Looks up "Band 1" to "Band 5" in JobsDM's OptionsTable (exact, case-sensitive) and copies each
// row found into its entry; entries of missing rows keep their text. Returns the rows found.
int LoadColourBands();

// The warning for 'count' (0 to 4) bands found: its text, a line feed, "Please use the Custom
// Color utility", a line feed and " in the program to correct this error".
std::string BandWarningText(int count);

} // namespace ws
