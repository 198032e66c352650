#pragma once

// What controls paint with: a font, a brush and a pen over the platform's drawing surface. The
// canvas does not own the surface; it lives for one paint pass (or one measurement).

#include "platform/PixelCanvas.h"
#include "ui/Brush.h"
#include "ui/Font.h"
#include "ui/Pen.h"

#include <string_view>

namespace ws {

using TRect = platform::Rect;
using TPoint = platform::Point;

class TCanvas {
public:
    explicit TCanvas(platform::PixelCanvas& surface) : m_Surface(surface) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    platform::PixelCanvas& Handle() { return m_Surface; }
    TFont& Font() { return m_Font; }
    TBrush& Brush() { return m_Brush; }
    TPen& Pen() { return m_Pen; }

    // Fills with the brush; a cleared brush fills nothing.
    void FillRect(const TRect& r);
    // One-pixel lines in the pen's colour, the end point excluded.
    void MoveTo(int x, int y) { m_PenPos = TPoint{x, y}; }
    void LineTo(int x, int y);
    TPoint PenPos() const { return m_PenPos; }
    void DrawFocusRect(const TRect& r) { m_Surface.DrawFocusRect(r); }

    // Text in the font; TextOut and TextRect fill behind it with the brush unless it is cleared.
    void TextOut(int x, int y, std::string_view text);
    // The text at (x, y), cut at 'r', whose whole area takes the brush first.
    void TextRect(const TRect& r, int x, int y, std::string_view text);
    // Platform text drawing (platform::TextFlags), on a transparent background.
    int DrawText(std::string_view text, TRect& r, unsigned flags);
    platform::Size TextExtent(std::string_view text);
    int TextWidth(std::string_view text) { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) { return TextExtent(text).cy; }

private:
    platform::PixelCanvas& SurfaceWithFont();
    bool BrushPaints() const;

    platform::PixelCanvas& m_Surface;
    TFont m_Font;
    TBrush m_Brush;
    TPen m_Pen;
    TPoint m_PenPos;
};

} // namespace ws
