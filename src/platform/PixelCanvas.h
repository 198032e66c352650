#pragma once

// Contract of the drawing surface. Everything the upper layers paint goes through this class,
// so the same pixels come out on every window system and pictures can be compared in tests.

#include "base/Color.h"
#include "platform/FontFace.h"
#include "platform/FontSpec.h"
#include "platform/Geometry.h"
#include "platform/Image.h"

#include <string_view>
#include <vector>

namespace ws::platform {

class ImageStrip;
class TextLayout;
struct TextLine;

// Flags of DrawText, combinable with |.
enum TextFlags : unsigned {
    tfLeft = 0x0000,
    tfCenter = 0x0001,
    tfRight = 0x0002,
    tfVCenter = 0x0004,     // single line only
    tfBottom = 0x0008,      // single line only
    tfWordBreak = 0x0010,   // break lines at word boundaries to fit the width
    tfSingleLine = 0x0020,  // line breaks are drawn as nothing; one line
    tfExpandTabs = 0x0040,  // a tab advances to the next multiple of eight average character widths
    tfNoClip = 0x0100,      // do not cut at the rectangle
    tfCalcRect = 0x0400,    // measure only: the rectangle's bottom (and right) become the text's extent
    tfNoPrefix = 0x0800,    // '&' is an ordinary character
    tfEndEllipsis = 0x8000, // a line too long for the width ends in "..."
};

class PixelCanvas {
public:
    // Paints into 'target', which must outlive the canvas.
    explicit PixelCanvas(Image& target);

    Image& Target() { return *m_Target; }

    // Fills with a resolved colour; clNone and clDefault fill nothing.
    void FillRect(const Rect& r, TColor color);
    // One-pixel lines; the end point is not drawn (x2 / y2 exclusive).
    void HLine(int x1, int x2, int y, TColor color);
    void VLine(int x, int y1, int y2, TColor color);
    // The dotted focus rectangle: every other pixel of its outline inverted.
    void DrawFocusRect(const Rect& r);
    // Copies an image; pixels with alpha 0 are left alone, partly transparent ones are blended.
    void DrawImage(const Image& image, int x, int y);
    // The same for the part 'source' of the image, whose top-left corner lands at (x, y).
    void DrawImage(const Image& image, const Rect& source, int x, int y);
    void SetPixel(int x, int y, TColor color);
    Pixel GetPixel(int x, int y) const; // in target coordinates, ignoring origin and clip

    // Device-context state: origin (added to every coordinate) and clip (in target coordinates).
    Point Origin() const { return m_State.origin; }
    void SetOrigin(Point origin) { m_State.origin = origin; }
    Rect ClipRect() const { return m_State.clip; }
    // Clips are given in current (origin-relative) coordinates and never reach beyond the target.
    void SetClipRect(const Rect& clip);
    void IntersectClipRect(const Rect& clip); // narrows the current clip
    void Save();
    void Restore();

    // Text, in the current font; drawn with a transparent background in the font colour.
    void SetFont(const FontSpec& font) { m_State.font = font; }
    const FontSpec& Font() const { return m_State.font; }
    // Cell metrics of the current font: height is the line spacing and the cy of every extent.
    const FontMetrics& Metrics() { return Face().Metrics(); }
    // Extent of the text as drawn by TextOut: no prefixes, tabs and line breaks take no room.
    Size TextExtent(std::string_view text);
    int TextWidth(std::string_view text) { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) { return TextExtent(text).cy; }
    // One line whose cell's top-left corner is (x, y).
    void TextOut(int x, int y, std::string_view text);
    // Returns the height of the text drawn; with tfCalcRect adjusts r instead of drawing.
    int DrawText(std::string_view text, Rect& r, unsigned flags);

private:
    FontFace& Face();
    Rect ToTarget(const Rect& r) const { return r.Offset(m_State.origin.x, m_State.origin.y); }
    void Fill(const Rect& targetRect, Pixel pixel);
    void DrawGlyph(const GlyphBitmap& glyph, int penX, int baseline, Pixel pixel);
    void DrawLine(const TextLayout& layout, const TextLine& line, int x, int y, Pixel pixel);

    struct State {
        Point origin;
        Rect clip;
        FontSpec font;
    };
    Image* m_Target;
    State m_State;
    std::vector<State> m_Saved;
    FontFace* m_Face = nullptr; // face of m_FaceSpec, looked up again only when the font changes
    FontSpec m_FaceSpec;
};

} // namespace ws::platform
