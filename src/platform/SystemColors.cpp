#include "platform/SystemColors.h"

#include <array>
#include <cstdint>

namespace ws::platform {

namespace {

// The classic grey desktop scheme, by system colour index.
constexpr std::array<Pixel, 31> kClassicScheme = {
    MakePixel(212, 208, 200), // 0 scroll bar
    MakePixel(58, 110, 165),  // 1 desktop background
    MakePixel(10, 36, 106),   // 2 active caption
    MakePixel(128, 128, 128), // 3 inactive caption
    MakePixel(212, 208, 200), // 4 menu
    MakePixel(255, 255, 255), // 5 window
    MakePixel(0, 0, 0),       // 6 window frame
    MakePixel(0, 0, 0),       // 7 menu text
    MakePixel(0, 0, 0),       // 8 window text
    MakePixel(255, 255, 255), // 9 caption text
    MakePixel(212, 208, 200), // 10 active border
    MakePixel(212, 208, 200), // 11 inactive border
    MakePixel(128, 128, 128), // 12 application workspace
    MakePixel(10, 36, 106),   // 13 highlight
    MakePixel(255, 255, 255), // 14 highlight text
    MakePixel(212, 208, 200), // 15 button face
    MakePixel(128, 128, 128), // 16 button shadow
    MakePixel(128, 128, 128), // 17 grey text
    MakePixel(0, 0, 0),       // 18 button text
    MakePixel(212, 208, 200), // 19 inactive caption text
    MakePixel(255, 255, 255), // 20 button highlight
    MakePixel(64, 64, 64),    // 21 3-D dark shadow
    MakePixel(212, 208, 200), // 22 3-D light
    MakePixel(0, 0, 0),       // 23 tooltip text
    MakePixel(255, 255, 225), // 24 tooltip background
    MakePixel(0, 0, 0),       // 25 not assigned
    MakePixel(0, 0, 128),     // 26 hot-tracked item
    MakePixel(166, 202, 240), // 27 gradient of the active caption
    MakePixel(192, 192, 192), // 28 gradient of the inactive caption
    MakePixel(10, 36, 106),   // 29 highlighted menu item
    MakePixel(212, 208, 200), // 30 menu bar
};

} // namespace

Pixel ResolveColor(TColor color) {
    const auto bits = static_cast<std::uint32_t>(color);
    if (IsSystemColor(color)) {
        const std::uint32_t index = bits & 0xFFu;
        return index < kClassicScheme.size() ? kClassicScheme[index] : MakePixel(0, 0, 0);
    }
    return MakePixel(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                     static_cast<int>((bits >> 16) & 0xFFu));
}

bool IsColorMarker(TColor color) {
    return color == clNone || color == clDefault;
}

bool ThemesActive() {
    return false;
}

} // namespace ws::platform
