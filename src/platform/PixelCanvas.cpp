#include "platform/PixelCanvas.h"

#include "platform/SystemColors.h"
#include "platform/TextLayout.h"

#include <climits>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace ws::platform {

namespace {

// Source-over blend of 'src' with weight alpha / 255 onto 'dst'; the result is opaque.
Pixel Blend(Pixel dst, Pixel src, int alpha) {
    if (alpha >= 255)
        return src | 0xFF000000u;
    auto mix = [alpha](int d, int s) { return d + ((s - d) * alpha + (s >= d ? 127 : -127)) / 255; };
    return MakePixel(mix(PixelRed(dst), PixelRed(src)), mix(PixelGreen(dst), PixelGreen(src)),
                     mix(PixelBlue(dst), PixelBlue(src)));
}

// A glyph blended in one colour onto one background, pixel for pixel as Blend gives it. A board
// draws the same few dozen characters in a handful of colours on a handful of backgrounds many
// times a refresh, so each such picture is worked out once and copied wherever the glyph falls on
// that background; pixels that differ from it are blended one by one as before. Glyphs live as
// long as their face, which lives as long as the process, so a glyph's address names it.
struct TintKey {
    const GlyphBitmap* glyph;
    Pixel color;
    Pixel background;
    bool operator==(const TintKey&) const = default;
};

struct TintKeyHash {
    std::size_t operator()(const TintKey& k) const {
        const std::size_t h = std::hash<const void*>{}(k.glyph);
        return h ^ ((static_cast<std::size_t>(k.color) << 32 | k.background) * 0x9E3779B97F4A7C15ull);
    }
};

// Enough for every character of several faces in every colour pair a screen uses; beyond it the
// pictures are dropped and made again as they are met, so the memory stays bounded.
constexpr std::size_t kMostTints = 2048;

const std::vector<Pixel>& TintedGlyph(const GlyphBitmap& glyph, Pixel color, Pixel background) {
    // Each thread its own: faces are shared across threads, canvases are not.
    thread_local std::unordered_map<TintKey, std::vector<Pixel>, TintKeyHash> tints;
    const TintKey key{&glyph, color, background};
    if (auto it = tints.find(key); it != tints.end())
        return it->second;
    if (tints.size() >= kMostTints)
        tints.clear();
    std::vector<Pixel> tint(glyph.coverage.size(), background);
    for (std::size_t i = 0; i < tint.size(); ++i) {
        if (glyph.coverage[i] != 0)
            tint[i] = Blend(background, color, glyph.coverage[i]);
    }
    return tints.emplace(key, std::move(tint)).first->second;
}

bool SameFace(const FontSpec& a, const FontSpec& b) {
    return a.height == b.height && a.style == b.style && a.family == b.family;
}

} // namespace

PixelCanvas::PixelCanvas(Image& target) : m_Target(&target) {
    m_State.clip = target.Bounds();
}

void PixelCanvas::Fill(const Rect& targetRect, Pixel pixel) {
    const Rect r = targetRect.Intersect(m_State.clip);
    if (r.IsEmpty())
        return;
    // The first row pixel by pixel, the others as copies of it: a whole window is filled on
    // every refresh, and a block copy is several times faster than a pixel loop.
    Pixel* first = m_Target->Row(r.top) + r.left;
    const std::size_t width = static_cast<std::size_t>(r.right - r.left);
    std::fill_n(first, width, pixel);
    for (int y = r.top + 1; y < r.bottom; ++y)
        std::memcpy(m_Target->Row(y) + r.left, first, width * sizeof(Pixel));
}

void PixelCanvas::FillRect(const Rect& r, TColor color) {
    if (IsColorMarker(color))
        return;
    Fill(ToTarget(r), ResolveColor(color));
}

// Drawn as a line from the start to the end point would be: the start pixel in, the end out, in
// either direction.
void PixelCanvas::HLine(int x1, int x2, int y, TColor color) {
    const int lo = x1 <= x2 ? x1 : x2 + 1;
    const int hi = x1 <= x2 ? x2 : x1 + 1;
    FillRect(Rect{lo, y, hi, y + 1}, color);
}

void PixelCanvas::VLine(int x, int y1, int y2, TColor color) {
    const int lo = y1 <= y2 ? y1 : y2 + 1;
    const int hi = y1 <= y2 ? y2 : y1 + 1;
    FillRect(Rect{x, lo, x + 1, hi}, color);
}

// Inverts the outline pixels whose distance from the top-left corner is even, so the corner is
// always drawn and a second call restores what was there.
void PixelCanvas::DrawFocusRect(const Rect& r) {
    const Rect t = ToTarget(r);
    if (t.IsEmpty())
        return;
    auto invert = [this, &t](int x, int y) {
        if (((x - t.left) + (y - t.top)) % 2 != 0 || !m_State.clip.Contains(Point{x, y}))
            return;
        Pixel& p = m_Target->Row(y)[x];
        p ^= 0x00FFFFFFu;
    };
    for (int x = t.left; x < t.right; ++x) {
        invert(x, t.top);
        if (t.bottom - 1 > t.top)
            invert(x, t.bottom - 1);
    }
    for (int y = t.top + 1; y < t.bottom - 1; ++y) {
        invert(t.left, y);
        if (t.right - 1 > t.left)
            invert(t.right - 1, y);
    }
}

void PixelCanvas::DrawImage(const Image& image, int x, int y) {
    DrawImage(image, image.Bounds(), x, y);
}

void PixelCanvas::DrawImage(const Image& image, const Rect& source, int x, int y) {
    const Rect src = source.Intersect(image.Bounds());
    if (src.IsEmpty())
        return;
    // Where the source lands, cut by the clip, and mapped back onto the source.
    const Rect dest = ToTarget(Rect::FromSize(x + src.left - source.left, y + src.top - source.top,
                                              src.Width(), src.Height()))
                          .Intersect(m_State.clip);
    const int dx = src.left - (x + m_State.origin.x + src.left - source.left);
    const int dy = src.top - (y + m_State.origin.y + src.top - source.top);
    for (int ty = dest.top; ty < dest.bottom; ++ty) {
        const Pixel* in = image.Row(ty + dy);
        Pixel* out = m_Target->Row(ty);
        for (int tx = dest.left; tx < dest.right; ++tx) {
            const Pixel p = in[tx + dx];
            if (PixelAlpha(p) != 0)
                out[tx] = Blend(out[tx], p, PixelAlpha(p));
        }
    }
}

void PixelCanvas::SetPixel(int x, int y, TColor color) {
    FillRect(Rect{x, y, x + 1, y + 1}, color);
}

Pixel PixelCanvas::GetPixel(int x, int y) const {
    if (!m_Target->Bounds().Contains(Point{x, y}))
        return 0;
    return m_Target->At(x, y);
}

void PixelCanvas::SetClipRect(const Rect& clip) {
    m_State.clip = ToTarget(clip).Intersect(m_Target->Bounds());
}

void PixelCanvas::IntersectClipRect(const Rect& clip) {
    m_State.clip = ToTarget(clip).Intersect(m_State.clip);
}

void PixelCanvas::Save() {
    m_Saved.push_back(m_State);
}

// An unbalanced Restore keeps the current state rather than failing the paint.
void PixelCanvas::Restore() {
    if (m_Saved.empty())
        return;
    m_State = std::move(m_Saved.back());
    m_Saved.pop_back();
}

FontFace& PixelCanvas::Face() {
    if (m_Face == nullptr || !SameFace(m_FaceSpec, m_State.font)) {
        m_Face = &FontFace::For(m_State.font);
        m_FaceSpec = m_State.font;
    }
    return *m_Face;
}

Size PixelCanvas::TextExtent(std::string_view text) {
    FontFace& face = Face();
    return Size{face.Measure(DecodeText(text)), face.Metrics().height};
}

void PixelCanvas::TextOut(int x, int y, std::string_view text) {
    const TextLayout layout(Face(), text, INT_MAX, tfSingleLine | tfNoPrefix);
    if (layout.Lines().empty() || IsColorMarker(m_State.font.color))
        return;
    DrawLine(layout, layout.Lines().front(), x, y, ResolveColor(m_State.font.color));
}

int PixelCanvas::DrawText(std::string_view text, Rect& r, unsigned flags) {
    const TextLayout layout(Face(), text, r.Width(), flags);
    const int height = layout.Height();
    if (flags & tfCalcRect) {
        r.right = r.left + layout.Width();
        r.bottom = r.top + height;
        return height;
    }
    if (layout.Lines().empty() || IsColorMarker(m_State.font.color))
        return height;

    int y = r.top;
    if ((flags & tfSingleLine) && (flags & tfVCenter))
        y = r.top + (r.Height() - layout.LineHeight()) / 2;
    else if ((flags & tfSingleLine) && (flags & tfBottom))
        y = r.bottom - layout.LineHeight();
    Save();
    if (!(flags & tfNoClip))
        IntersectClipRect(r);
    const Pixel pixel = ResolveColor(m_State.font.color);
    for (const auto& line : layout.Lines()) {
        int x = r.left;
        if (flags & tfRight)
            x = r.right - line.width;
        else if (flags & tfCenter)
            x = (r.left + r.right - line.width) / 2;
        DrawLine(layout, line, x, y, pixel);
        y += layout.LineHeight();
    }
    Restore();
    return height;
}

void PixelCanvas::DrawGlyph(const GlyphBitmap& glyph, int penX, int baseline, Pixel pixel) {
    const Rect box = Rect::FromSize(penX + glyph.left, baseline - glyph.top, glyph.width, glyph.height);
    const Rect visible = box.Intersect(m_State.clip);
    if (visible.IsEmpty())
        return;
    // The background is taken as the pixel at the glyph's first visible corner; wherever the
    // target holds that pixel the blended picture is copied, elsewhere each pixel is blended.
    const Pixel background = m_Target->Row(visible.top)[visible.left];
    const std::vector<Pixel>& tint = TintedGlyph(glyph, pixel, background);
    for (int y = visible.top; y < visible.bottom; ++y) {
        const std::size_t row = static_cast<std::size_t>((y - box.top) * glyph.width);
        const std::uint8_t* coverage = glyph.coverage.data() + row;
        const Pixel* tinted = tint.data() + row;
        Pixel* out = m_Target->Row(y);
        for (int x = visible.left; x < visible.right; ++x) {
            const Pixel under = out[x];
            if (under == background) {
                out[x] = tinted[x - box.left];
                continue;
            }
            const int alpha = coverage[x - box.left];
            if (alpha != 0)
                out[x] = Blend(under, pixel, alpha);
        }
    }
}

// (x, y) is the top-left corner of the line's cell in origin-relative coordinates.
void PixelCanvas::DrawLine(const TextLayout& layout, const TextLine& line, int x, int y, Pixel pixel) {
    FontFace& face = Face();
    const FontMetrics& m = face.Metrics();
    const int left = x + m_State.origin.x;
    const int baseline = y + m_State.origin.y + m.ascent;
    const int underlineTop = baseline + m.underlineOffset;
    int pen = 0;
    for (const auto& c : line.chars) {
        if (c.code == U'\t') {
            pen = layout.Step(pen, c);
            continue;
        }
        const GlyphBitmap& glyph = face.Glyph(c.code);
        DrawGlyph(glyph, left + pen, baseline, pixel);
        if (c.underline)
            Fill(Rect{left + pen, underlineTop, left + pen + glyph.advance, underlineTop + m.lineThickness},
                 pixel);
        pen += glyph.advance;
    }
    if (HasStyle(m_State.font.style, FontStyle::Underline))
        Fill(Rect{left, underlineTop, left + line.width, underlineTop + m.lineThickness}, pixel);
    if (HasStyle(m_State.font.style, FontStyle::StrikeOut)) {
        const int strikeTop = baseline - m.ascent / 3;
        Fill(Rect{left, strikeTop, left + line.width, strikeTop + m.lineThickness}, pixel);
    }
}

} // namespace ws::platform
