#pragma once

// A font file opened at one size, with its cell metrics and a cache of rendered glyphs. Text is
// measured and drawn thousands of times per paint, so faces are shared process-wide and every
// glyph is rasterised once.

#include "platform/FontResolver.h"
#include "platform/FontSpec.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_FaceRec_;
struct FT_LibraryRec_;

namespace ws::platform {

// Cell metrics in whole pixels. height = ascent + descent is the cell height that text extents
// and line spacing use.
struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int height = 0;
    int avgCharWidth = 0;
    int underlineOffset = 1; // below the baseline
    int lineThickness = 1;   // of underline and strike-out
};

// A rendered glyph: 8-bit coverage, placed relative to the pen on the baseline.
struct GlyphBitmap {
    int left = 0; // from the pen to the first column
    int top = 0;  // from the baseline up to the first row
    int width = 0;
    int height = 0;
    int advance = 0;
    std::vector<std::uint8_t> coverage;
};

class FontFace {
public:
    // The shared face for a font description; it lives as long as the process. Safe from any
    // thread. Throws EFontError when no usable file exists.
    static FontFace& For(const FontSpec& font);

    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
    ~FontFace();

    const FontMetrics& Metrics() const { return m_Metrics; }
    const FontFile& File() const { return m_File; }
    // The character (em) height in pixels the glyphs are rendered at.
    int PixelSize() const { return m_PixelSize; }

    // Horizontal advance in whole pixels; control characters advance nothing.
    int Advance(char32_t code);
    // Sum of advances, kerning off.
    int Measure(std::u32string_view text);
    // The glyph, rendered on first use. The reference stays valid for the life of the face.
    const GlyphBitmap& Glyph(char32_t code);

private:
    friend class FontRegistry;
    FontFace(FT_LibraryRec_* library, std::mutex& mutex, const FontFile& file, int height);

    void SizeScalable(int height);
    void SizeStrike(int height);
    const GlyphBitmap& GlyphLocked(char32_t code);
    GlyphBitmap Render(char32_t code);

    FT_LibraryRec_* m_Library; // the registry's
    FT_FaceRec_* m_Face = nullptr;
    FontFile m_File;
    FontMetrics m_Metrics;
    int m_PixelSize = 0;
    std::mutex& m_Mutex; // the registry's lock: FreeType objects are not thread-safe
    std::unordered_map<char32_t, GlyphBitmap> m_Glyphs;
    std::array<const GlyphBitmap*, 256> m_Latin1{}; // most text is Latin-1: skip the hash lookup
};

} // namespace ws::platform
