#include "ui/Canvas.h"

#include "platform/SystemColors.h"

#include <cstdlib>
#include <utility>

namespace ws {

bool TCanvas::BrushPaints() const {
    return m_Brush.Style() != TBrushStyle::bsClear && !platform::IsColorMarker(m_Brush.Color());
}

platform::PixelCanvas& TCanvas::SurfaceWithFont() {
    const platform::FontSpec wanted = m_Font.PlatformFont();
    if (!(m_Surface.Font() == wanted))
        m_Surface.SetFont(wanted);
    return m_Surface;
}

void TCanvas::FillRect(const TRect& r) {
    if (BrushPaints())
        m_Surface.FillRect(r, m_Brush.Color());
}

void TCanvas::LineTo(int x, int y) {
    const TPoint from = std::exchange(m_PenPos, TPoint{x, y});
    const TColor color = m_Pen.Color();
    if (from.y == y) {
        m_Surface.HLine(std::min(from.x, x) + (x < from.x ? 1 : 0),
                        std::max(from.x, x) + (x < from.x ? 1 : 0), y, color);
        return;
    }
    if (from.x == x) {
        m_Surface.VLine(x, std::min(from.y, y) + (y < from.y ? 1 : 0),
                        std::max(from.y, y) + (y < from.y ? 1 : 0), color);
        return;
    }
    // Slanted lines are rare here; step along the longer axis.
    const int dx = x - from.x;
    const int dy = y - from.y;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i < steps; ++i)
        m_Surface.SetPixel(from.x + dx * i / steps, from.y + dy * i / steps, color);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
    platform::PixelCanvas& surface = SurfaceWithFont();
    if (BrushPaints()) {
        const platform::Size extent = surface.TextExtent(text);
        surface.FillRect(TRect::FromSize(x, y, extent.cx, extent.cy), m_Brush.Color());
    }
    surface.TextOut(x, y, text);
    m_PenPos = TPoint{x + surface.TextExtent(text).cx, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
    platform::PixelCanvas& surface = SurfaceWithFont();
    surface.Save();
    surface.IntersectClipRect(r);
    if (BrushPaints())
        surface.FillRect(r, m_Brush.Color());
    surface.TextOut(x, y, text);
    surface.Restore();
}

int TCanvas::DrawText(std::string_view text, TRect& r, unsigned flags) {
    return SurfaceWithFont().DrawText(text, r, flags);
}

platform::Size TCanvas::TextExtent(std::string_view text) {
    return SurfaceWithFont().TextExtent(text);
}

} // namespace ws
