#pragma once

#include "base/Color.h"

#include <string>

namespace ws::platform {

enum class FontStyle : unsigned { None = 0, Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };
constexpr FontStyle operator|(FontStyle a, FontStyle b) {
    return static_cast<FontStyle>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasStyle(FontStyle set, FontStyle s) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(s)) != 0;
}

// What a stored layout says about a font. A negative height is the character (em) height in
// pixels; a positive one is the cell height (ascent plus descent).
struct FontSpec {
    std::string family = "MS Sans Serif";
    int height = -11;
    FontStyle style = FontStyle::None;
    TColor color = clWindowText;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

} // namespace ws::platform
