#include "platform/FontFace.h"
#include "platform/FontResolver.h"
#include "platform/PixelCanvas.h"
#include "platform/drawing/DrawingTestSupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace ws::platform {
namespace {

const char* const kWineFonts = "/usr/share/wine/fonts";

bool WineFontsInstalled() {
    return std::filesystem::exists(std::string(kWineFonts) + "/tahoma.ttf");
}

// The Debian package that owns a file, as dpkg reports it.
std::string OwningPackage(const std::string& path) {
    const std::string command = "dpkg -S '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return {};
    char line[512] = {};
    if (fgets(line, sizeof line, pipe.get()) == nullptr)
        return {};
    std::string text(line);
    return text.substr(0, text.find(':'));
}

// What FreeType itself says about a file at an em height, computed independently of FontFace:
// the cell (rounded OS/2 clipping ascent and descent) and the hinted advance of a character.
struct Reference {
    int ascent = 0;
    int descent = 0;
    int advance = 0;
};

Reference ReadReference(const std::string& path, int em, char32_t code, bool embolden) {
    FT_Library library = nullptr;
    FT_Init_FreeType(&library);
    FT_Face face = nullptr;
    Reference ref;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        FT_Done_FreeType(library);
        ADD_FAILURE() << "cannot open " << path;
        return ref;
    }
    if (FT_IS_SCALABLE(face)) {
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        ref.ascent = static_cast<int>(std::lround(os2->usWinAscent * em / double(face->units_per_EM)));
        ref.descent = static_cast<int>(std::lround(os2->usWinDescent * em / double(face->units_per_EM)));
    } else {
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i) {
            if (std::abs((face->available_sizes[i].y_ppem >> 6) - em) <
                std::abs((face->available_sizes[best].y_ppem >> 6) - em))
                best = i;
        }
        FT_Select_Size(face, best);
        ref.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
        ref.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    }
    FT_Load_Char(face, code, FT_LOAD_DEFAULT);
    if (embolden)
        FT_GlyphSlot_Embolden(face->glyph);
    ref.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ref;
}

TEST(FontResolverTest, LayoutFamiliesResolveToTheMetricCompatibleFilesOfTheFontPackage) {
    if (!WineFontsInstalled())
        GTEST_SKIP() << "fonts-wine is not installed";
    const FontFile tahoma = FontResolver::Resolve("Tahoma", false, false);
    EXPECT_EQ(tahoma.path, std::string(kWineFonts) + "/tahoma.ttf");
    EXPECT_FALSE(tahoma.syntheticBold);
    EXPECT_EQ(OwningPackage(tahoma.path), "fonts-wine");

    const FontFile tahomaBold = FontResolver::Resolve("tahoma", true, false); // family case does not matter
    EXPECT_EQ(tahomaBold.path, std::string(kWineFonts) + "/tahomabd.ttf");
    EXPECT_FALSE(tahomaBold.syntheticBold);

    // The package has no bold MS Sans Serif: the regular file is emboldened.
    const FontFile sans = FontResolver::Resolve("MS Sans Serif", true, false);
    EXPECT_EQ(sans.path, std::string(kWineFonts) + "/ms_sans_serif.ttf");
    EXPECT_TRUE(sans.syntheticBold);
    EXPECT_EQ(OwningPackage(sans.path), "fonts-wine");
    EXPECT_EQ(FontFilePath(FontSpec{"MS Sans Serif", -19, FontStyle::Bold, clBlue}), sans.path);
}

TEST(FontResolverTest, UnknownFamiliesFallBackToDejaVuSansWithItsBoldFile) {
    const FontFile regular = FontResolver::Resolve("No Such Family Anywhere", false, false);
    const FontFile bold = FontResolver::Resolve("No Such Family Anywhere", true, false);
    EXPECT_EQ(std::filesystem::path(regular.path).filename(), "DejaVuSans.ttf");
    EXPECT_EQ(std::filesystem::path(bold.path).filename(), "DejaVuSans-Bold.ttf");
    EXPECT_FALSE(bold.syntheticBold);
}

class FontMetricsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WineFontsInstalled())
            GTEST_SKIP() << "fonts-wine is not installed";
    }
    Image m_Image{4, 4};
    PixelCanvas m_Canvas{m_Image};
};

TEST_F(FontMetricsTest, GridDataFontMeasuresFromTheTahomaFile) {
    m_Canvas.SetFont(test::Tahoma19());
    const std::string path = FontFilePath(m_Canvas.Font());
    const Reference w = ReadReference(path, 19, U'W', false);
    const Reference zero = ReadReference(path, 19, U'0', false);
    EXPECT_EQ(m_Canvas.TextHeight("W"), w.ascent + w.descent);
    EXPECT_EQ(m_Canvas.TextWidth("0"), zero.advance);
    EXPECT_EQ(m_Canvas.TextWidth("W"), w.advance);
    // The cell height the grid layouts were designed with; digits add up without rounding drift.
    EXPECT_EQ(m_Canvas.TextHeight("W"), 23);
    EXPECT_EQ(m_Canvas.TextWidth("000"), 3 * zero.advance);
}

TEST_F(FontMetricsTest, BoldTitleFontsMeasureFromTheEmboldenedMsSansSerifStrikes) {
    for (int em : {21, 19}) {
        SCOPED_TRACE(em);
        m_Canvas.SetFont(FontSpec{"MS Sans Serif", -em, FontStyle::Bold, clBlue});
        const std::string path = FontFilePath(m_Canvas.Font());
        const Reference w = ReadReference(path, em, U'W', true);
        const Reference zero = ReadReference(path, em, U'0', true);
        EXPECT_EQ(m_Canvas.TextHeight("W"), w.ascent + w.descent);
        EXPECT_EQ(m_Canvas.TextWidth("0"), zero.advance);
        EXPECT_EQ(m_Canvas.TextWidth("W"), w.advance);

        m_Canvas.SetFont(FontSpec{"MS Sans Serif", -em, FontStyle::None, clBlue});
        EXPECT_EQ(m_Canvas.TextWidth("0"), ReadReference(path, em, U'0', false).advance);
        EXPECT_LT(m_Canvas.TextWidth("0"), zero.advance);
    }
}

TEST_F(FontMetricsTest, PositiveHeightIsTheCellHeight) {
    for (int cell : {13, 23, 40}) {
        m_Canvas.SetFont(FontSpec{"Tahoma", cell, FontStyle::None, clBlack});
        EXPECT_EQ(m_Canvas.TextHeight("W"), cell);
        m_Canvas.SetFont(FontSpec{"No Such Family Anywhere", cell, FontStyle::Bold, clBlack});
        EXPECT_EQ(m_Canvas.TextHeight("W"), cell);
    }
    m_Canvas.SetFont(FontSpec{"Tahoma", 23, FontStyle::None, clBlack});
    const int fromCell = m_Canvas.TextWidth("0");
    m_Canvas.SetFont(test::Tahoma19());
    EXPECT_EQ(fromCell, m_Canvas.TextWidth("0")); // a 23-pixel cell is the 19-pixel em
}

TEST_F(FontMetricsTest, ExtentsIgnoreTheTextButNotItsWidthAndSkipControlCharacters) {
    m_Canvas.SetFont(test::Tahoma19());
    EXPECT_EQ(m_Canvas.TextExtent("").cy, m_Canvas.TextHeight("W"));
    EXPECT_EQ(m_Canvas.TextHeight("gÅ"), m_Canvas.TextHeight("W")); // the cell, not the ink
    EXPECT_EQ(m_Canvas.TextWidth(""), 0);
    EXPECT_EQ(m_Canvas.TextWidth("a\tb\n"), m_Canvas.TextWidth("ab"));
    EXPECT_EQ(m_Canvas.TextWidth("AV"), m_Canvas.TextWidth("A") + m_Canvas.TextWidth("V")); // no kerning
}

TEST_F(FontMetricsTest, FacesAreSharedAcrossColorsAndCanvases) {
    FontSpec blue = test::Tahoma19();
    blue.color = clBlue;
    FontFace& face = FontFace::For(test::Tahoma19());
    EXPECT_EQ(&face, &FontFace::For(blue));
    FontSpec otherCase = blue;
    otherCase.family = "TAHOMA";
    EXPECT_EQ(&face, &FontFace::For(otherCase));
    EXPECT_NE(&face, &FontFace::For(FontSpec{"Tahoma", -19, FontStyle::Bold, clBlack}));
    EXPECT_EQ(face.PixelSize(), 19);
    EXPECT_EQ(&face.Glyph(U'x'), &face.Glyph(U'x'));
}

} // namespace
} // namespace ws::platform
