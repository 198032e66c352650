#pragma once

#include "platform/Image.h"
#include "platform/PixelCanvas.h"

namespace ws::platform::test {

constexpr Pixel kWhite = MakePixel(255, 255, 255);
constexpr Pixel kBlack = MakePixel(0, 0, 0);

// The smallest rectangle holding every pixel that differs from 'background'; empty when none.
inline Rect InkBounds(const Image& image, Pixel background = kWhite) {
    Rect r{image.Width(), image.Height(), 0, 0};
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            if (image.At(x, y) == background)
                continue;
            r = Rect{std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                     std::max(r.bottom, y + 1)};
        }
    }
    return r.IsEmpty() ? Rect{} : r;
}

inline int InkCount(const Image& image, const Rect& area, Pixel background = kWhite) {
    int n = 0;
    const Rect r = area.Intersect(image.Bounds());
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x)
            n += image.At(x, y) != background ? 1 : 0;
    }
    return n;
}

inline FontSpec Tahoma19() {
    return FontSpec{"Tahoma", -19, FontStyle::None, clWindowText};
}

} // namespace ws::platform::test
