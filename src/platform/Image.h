#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <vector>

namespace ws::platform {

// A 32-bit pixel: 0xAARRGGBB. Alpha 0xFF is opaque; the canvas paints opaque pixels only,
// alpha matters for images read from files and for masks.
using Pixel = std::uint32_t;

constexpr Pixel MakePixel(int r, int g, int b, int a = 255) {
    return (static_cast<Pixel>(a & 0xFF) << 24) | (static_cast<Pixel>(r & 0xFF) << 16) |
           (static_cast<Pixel>(g & 0xFF) << 8) | static_cast<Pixel>(b & 0xFF);
}
constexpr int PixelRed(Pixel p) { return static_cast<int>((p >> 16) & 0xFF); }
constexpr int PixelGreen(Pixel p) { return static_cast<int>((p >> 8) & 0xFF); }
constexpr int PixelBlue(Pixel p) { return static_cast<int>(p & 0xFF); }
constexpr int PixelAlpha(Pixel p) { return static_cast<int>(p >> 24); }

// A plain pixel buffer, row-major, no padding.
class Image {
public:
    Image() = default;
    Image(int width, int height, Pixel fill = MakePixel(0, 0, 0))
        : m_Width(width > 0 ? width : 0), m_Height(height > 0 ? height : 0),
          m_Pixels(static_cast<size_t>(m_Width) * static_cast<size_t>(m_Height), fill) {}

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    Rect Bounds() const { return Rect{0, 0, m_Width, m_Height}; }
    bool IsEmpty() const { return m_Pixels.empty(); }

    Pixel At(int x, int y) const { return m_Pixels[Index(x, y)]; }
    void Set(int x, int y, Pixel p) { m_Pixels[Index(x, y)] = p; }
    Pixel* Row(int y) { return m_Pixels.data() + Index(0, y); }
    const Pixel* Row(int y) const { return m_Pixels.data() + Index(0, y); }
    const std::vector<Pixel>& Pixels() const { return m_Pixels; }

    friend bool operator==(const Image&, const Image&) = default;

private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(m_Width) + static_cast<size_t>(x);
    }

    int m_Width = 0;
    int m_Height = 0;
    std::vector<Pixel> m_Pixels;
};

} // namespace ws::platform
