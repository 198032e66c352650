#include "platform/FontFace.h"

#include "base/Strings.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

namespace ws::platform {

namespace {

// Height 0 asks for the default size; absurd heights are capped so one glyph cannot take
// gigabytes.
constexpr int kDefaultHeight = -12;
constexpr int kMaxHeight = 1000;

int NormaliseHeight(int height) {
    if (height == 0)
        return kDefaultHeight;
    return std::clamp(height, -kMaxHeight, kMaxHeight);
}

int Round(double v) {
    return static_cast<int>(std::lround(v));
}

bool IsControl(char32_t code) {
    return code < 0x20 || code == 0x7F;
}

// Ascent and descent in font units: the OS/2 clipping metrics where the file has them (the cell
// heights our layouts were designed with come from them), else the horizontal header.
std::pair<int, int> CellUnits(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
        return {os2->usWinAscent, os2->usWinDescent};
    return {face->ascender, -face->descender};
}

int AverageCharUnits(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    return os2 != nullptr && os2->version != 0xFFFF ? os2->xAvgCharWidth : 0;
}

} // namespace

class FontRegistry {
public:
    FontRegistry() {
        if (FT_Init_FreeType(&m_Library) != 0)
            throw EFontError("The font rasteriser could not be started");
    }
    ~FontRegistry() {
        m_ByFile.clear(); // faces before their library
        FT_Done_FreeType(m_Library);
    }

    FontFace& Get(const FontSpec& font) {
        const bool bold = HasStyle(font.style, FontStyle::Bold);
        const bool italic = HasStyle(font.style, FontStyle::Italic);
        const int height = NormaliseHeight(font.height);
        std::lock_guard lock(m_Mutex);
        const auto specKey = std::make_tuple(UpperCase(font.family), bold, italic, height);
        if (auto it = m_BySpec.find(specKey); it != m_BySpec.end())
            return *it->second;

        const FontFile file = FontResolver::Resolve(font.family, bold, italic);
        const auto fileKey =
            std::make_tuple(file.path, file.index, file.syntheticBold, file.syntheticItalic, height);
        auto it = m_ByFile.find(fileKey);
        if (it == m_ByFile.end()) {
            std::unique_ptr<FontFace> face(new FontFace(m_Library, m_Mutex, file, height));
            it = m_ByFile.emplace(fileKey, std::move(face)).first;
        }
        m_BySpec.emplace(specKey, it->second.get());
        return *it->second;
    }

private:
    FT_Library m_Library = nullptr;
    std::mutex m_Mutex;
    std::map<std::tuple<std::string, int, bool, bool, int>, std::unique_ptr<FontFace>> m_ByFile;
    std::map<std::tuple<std::string, bool, bool, int>, FontFace*> m_BySpec;
};

FontFace& FontFace::For(const FontSpec& font) {
    static FontRegistry registry;
    return registry.Get(font);
}

FontFace::FontFace(FT_LibraryRec_* library, std::mutex& mutex, const FontFile& file, int height)
    : m_Library(library), m_File(file), m_Mutex(mutex) {
    if (FT_New_Face(m_Library, file.path.c_str(), file.index, &m_Face) != 0)
        throw EFontError(Format("The font file \"%s\" cannot be read", file.path.c_str()));
    try {
        if (FT_IS_SCALABLE(m_Face))
            SizeScalable(height);
        else
            SizeStrike(height);
    } catch (...) {
        FT_Done_Face(m_Face); // the destructor does not run for a half-built face
        throw;
    }
    m_Metrics.height = m_Metrics.ascent + m_Metrics.descent;
    if (m_Metrics.avgCharWidth <= 0)
        m_Metrics.avgCharWidth = std::max(1, GlyphLocked(U'x').advance);
}

FontFace::~FontFace() {
    FT_Done_Face(m_Face);
}

// A negative height is the em; a positive one is the cell, and the em follows from it. Ascent
// and descent are rounded each (not raised): Tahoma at a 19-pixel em then has the 23-pixel cell
// the grid layouts were designed with.
void FontFace::SizeScalable(int height) {
    const auto [ascUnits, descUnits] = CellUnits(m_Face);
    const double upem = m_Face->units_per_EM;
    const double cellUnits = std::max(1, ascUnits + descUnits);
    double em = 0;
    if (height < 0) {
        em = -height;
        FT_Set_Pixel_Sizes(m_Face, 0, static_cast<FT_UInt>(-height));
        m_Metrics.ascent = Round(ascUnits * em / upem);
        m_Metrics.descent = Round(descUnits * em / upem);
    } else {
        em = height * upem / cellUnits;
        FT_Set_Char_Size(m_Face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
        m_Metrics.ascent = Round(height * ascUnits / cellUnits);
        m_Metrics.descent = height - m_Metrics.ascent;
    }
    m_PixelSize = Round(em);
    m_Metrics.avgCharWidth = Round(AverageCharUnits(m_Face) * em / upem);
    m_Metrics.lineThickness = std::max(1, Round(m_Face->underline_thickness * em / upem));
    m_Metrics.underlineOffset = std::max(1, Round(-m_Face->underline_position * em / upem));
    m_Metrics.underlineOffset =
        std::clamp(m_Metrics.underlineOffset, 1, std::max(1, m_Metrics.descent - m_Metrics.lineThickness));
}

// A file of bitmap strikes only cannot be scaled: take the strike nearest the requested em (or
// cell) height, the smaller one on a tie.
void FontFace::SizeStrike(int height) {
    if (m_Face->num_fixed_sizes <= 0)
        throw EFontError(
            Format("The font file \"%s\" has neither outlines nor bitmaps", m_File.path.c_str()));
    int best = 0;
    int bestDistance = -1;
    for (int i = 0; i < m_Face->num_fixed_sizes; ++i) {
        const auto& strike = m_Face->available_sizes[i];
        const int size = height < 0 ? static_cast<int>((strike.y_ppem + 32) >> 6) : strike.height;
        const int distance = std::abs(size - std::abs(height));
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    FT_Select_Size(m_Face, best);
    const auto& metrics = m_Face->size->metrics;
    m_PixelSize = static_cast<int>((m_Face->available_sizes[best].y_ppem + 32) >> 6);
    m_Metrics.ascent = static_cast<int>((metrics.ascender + 63) >> 6);
    m_Metrics.descent = static_cast<int>((-metrics.descender + 63) >> 6);
    const int avgUnits = AverageCharUnits(m_Face);
    if (avgUnits > 0 && m_Face->units_per_EM > 0)
        m_Metrics.avgCharWidth = Round(avgUnits * static_cast<double>(m_PixelSize) / m_Face->units_per_EM);
    m_Metrics.lineThickness = 1;
    m_Metrics.underlineOffset = std::max(1, m_Metrics.descent / 2);
}

int FontFace::Advance(char32_t code) {
    std::lock_guard lock(m_Mutex);
    return GlyphLocked(code).advance;
}

int FontFace::Measure(std::u32string_view text) {
    std::lock_guard lock(m_Mutex);
    int width = 0;
    for (char32_t code : text)
        width += GlyphLocked(code).advance;
    return width;
}

const GlyphBitmap& FontFace::Glyph(char32_t code) {
    std::lock_guard lock(m_Mutex);
    return GlyphLocked(code);
}

const GlyphBitmap& FontFace::GlyphLocked(char32_t code) {
    if (code < m_Latin1.size() && m_Latin1[code] != nullptr)
        return *m_Latin1[code];
    auto it = m_Glyphs.find(code);
    if (it == m_Glyphs.end())
        it = m_Glyphs.emplace(code, Render(code)).first;
    if (code < m_Latin1.size())
        m_Latin1[code] = &it->second;
    return it->second;
}

// Grey-scale coverage with the font's own hinting (and its embedded bitmaps at small sizes).
// A glyph that fails to load is drawn as nothing rather than failing the paint.
GlyphBitmap FontFace::Render(char32_t code) {
    GlyphBitmap glyph;
    if (IsControl(code))
        return glyph;
    const FT_UInt index = FT_Get_Char_Index(m_Face, code);
    if (FT_Load_Glyph(m_Face, index, FT_LOAD_DEFAULT) != 0)
        return glyph;
    FT_GlyphSlot slot = m_Face->glyph;
    if (m_File.syntheticItalic && slot->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_GlyphSlot_Oblique(slot);
    if (m_File.syntheticBold)
        FT_GlyphSlot_Embolden(slot);
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return glyph;

    FT_Bitmap gray;
    FT_Bitmap_Init(&gray);
    if (FT_Bitmap_Convert(m_Library, &slot->bitmap, &gray, 1) == 0 && gray.num_grays > 1) {
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(gray.width);
        glyph.height = static_cast<int>(gray.rows);
        glyph.coverage.resize(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.height));
        const int levels = gray.num_grays - 1;
        for (int y = 0; y < glyph.height; ++y) {
            const unsigned char* row = gray.buffer + static_cast<std::ptrdiff_t>(y) * gray.pitch;
            for (int x = 0; x < glyph.width; ++x)
                glyph.coverage[static_cast<size_t>(y * glyph.width + x)] =
                    static_cast<std::uint8_t>(row[x] * 255 / levels);
        }
    }
    FT_Bitmap_Done(m_Library, &gray);
    return glyph;
}

} // namespace ws::platform
