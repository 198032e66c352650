#pragma once

// What the grid remembers per column about the in-cell control that paints it, rebuilt at the end
// of every column width layout.

#include <string>

namespace ws {

class TWinControl;

struct TwsCacheColInfoItem {
    TWinControl* Control = nullptr;
    std::string ControlKind;
    std::string ControlParams;
    bool PaintInAllCells = false;
};

} // namespace ws
