#include "platform/PixelCanvas.h"
#include "platform/TextLayout.h"
#include "platform/drawing/DrawingTestSupport.h"

#include <gtest/gtest.h>

namespace ws::platform {
namespace {

using test::InkBounds;
using test::InkCount;
using test::kWhite;

std::u32string LineText(const TextLine& line) {
    std::u32string s;
    for (const auto& c : line.chars)
        s.push_back(c.code);
    return s;
}

class TextTest : public ::testing::Test {
protected:
    TextTest() { m_Canvas.SetFont(test::Tahoma19()); }

    FontFace& Face() { return FontFace::For(m_Canvas.Font()); }
    int LineHeight() { return m_Canvas.Metrics().height; }
    std::vector<std::u32string> Lines(std::string_view text, int width, unsigned flags) {
        std::vector<std::u32string> out;
        const TextLayout layout(Face(), text, width, flags);
        for (const auto& line : layout.Lines())
            out.push_back(LineText(line));
        return out;
    }
    // Draws on a fresh white image and returns the ink.
    Rect Draw(std::string_view text, Rect r, unsigned flags) {
        m_Image = Image(300, 200, kWhite);
        m_Canvas.DrawText(text, r, flags);
        return InkBounds(m_Image);
    }

    Image m_Image{300, 200, kWhite};
    PixelCanvas m_Canvas{m_Image};
};

TEST(DecodeTextTest, ReadsUtf8AndKeepsStrayBytesAsLatin1) {
    EXPECT_EQ(DecodeText("a\xC3\xA9z"), U"a\u00E9z");
    EXPECT_EQ(DecodeText("\xE2\x82\xAC"), U"\u20AC");
    EXPECT_EQ(DecodeText("\xE9t\xE9"), U"\u00E9t\u00E9");         // Latin-1 text
    EXPECT_EQ(DecodeText("\xE2\x82"), U"\u00E2\u0082");           // truncated sequence
    EXPECT_EQ(DecodeText("\xC0\xAF"), U"\u00C0\u00AF");           // overlong form
    EXPECT_EQ(DecodeText("\xED\xA0\x80"), U"\u00ED\u00A0\u0080"); // surrogate
}

TEST_F(TextTest, ReturnsTheHeightOfTheLinesAndCalcRectMeasuresWithoutDrawing) {
    Rect r{10, 10, 200, 100};
    EXPECT_EQ(m_Canvas.DrawText("Due Date", r, tfLeft), LineHeight());
    EXPECT_EQ(r, (Rect{10, 10, 200, 100}));

    m_Image = Image(300, 200, kWhite);
    Rect calc{10, 10, 200, 100};
    EXPECT_EQ(m_Canvas.DrawText("one\ntwo\r\nthree", calc, tfCalcRect), 3 * LineHeight());
    EXPECT_EQ(calc, (Rect{10, 10, 10 + m_Canvas.TextWidth("three"), 10 + 3 * LineHeight()}));
    EXPECT_TRUE(InkBounds(m_Image).IsEmpty());

    Rect empty{10, 10, 200, 100};
    EXPECT_EQ(m_Canvas.DrawText("", empty, tfCalcRect), 0);
    EXPECT_EQ(empty, (Rect{10, 10, 10, 10}));
}

TEST_F(TextTest, AlignsLeftRightAndCentreWithTheTopOfTheCellAtTheRectangleTop) {
    const int width = m_Canvas.TextWidth("Hello");
    const Rect left = Draw("Hello", Rect{20, 30, 220, 80}, tfLeft);
    EXPECT_GE(left.left, 20);
    EXPECT_LE(left.left, 22);
    EXPECT_GE(left.top, 30); // the cell starts at the top; ink starts below the ascent's top
    EXPECT_LT(left.top, 30 + m_Canvas.Metrics().ascent);
    EXPECT_LE(left.bottom, 30 + LineHeight());

    const Rect right = Draw("Hello", Rect{20, 30, 220, 80}, tfRight);
    EXPECT_EQ(right.left - left.left, 200 - width);
    const Rect centre = Draw("Hello", Rect{20, 30, 220, 80}, tfCenter);
    EXPECT_EQ(centre.left - left.left, (240 - width) / 2 - 20);
    EXPECT_EQ(centre.top, left.top);
}

TEST_F(TextTest, VerticalPlacementAppliesToSingleLinesOnly) {
    const Rect top = Draw("Hello", Rect{0, 0, 200, 100}, tfSingleLine);
    const Rect middle = Draw("Hello", Rect{0, 0, 200, 100}, tfSingleLine | tfVCenter);
    const Rect bottom = Draw("Hello", Rect{0, 0, 200, 100}, tfSingleLine | tfBottom);
    EXPECT_EQ(middle.top - top.top, (100 - LineHeight()) / 2);
    EXPECT_EQ(bottom.top - top.top, 100 - LineHeight());
    EXPECT_EQ(Draw("Hello", Rect{0, 0, 200, 100}, tfVCenter), top);
}

TEST_F(TextTest, LineBreaksStartNewLinesUnlessSingleLine) {
    EXPECT_EQ(Lines("a\r\nb\nc\rd", 1000, 0), (std::vector<std::u32string>{U"a", U"b", U"c", U"d"}));
    EXPECT_EQ(Lines("a\n", 1000, 0), (std::vector<std::u32string>{U"a"}));
    EXPECT_EQ(Lines("a\n\nb", 1000, 0), (std::vector<std::u32string>{U"a", U"", U"b"}));
    EXPECT_EQ(Lines("a\r\nb", 1000, tfSingleLine), (std::vector<std::u32string>{U"ab"}));
    const Rect two = Draw("Top\nBottom", Rect{0, 0, 200, 100}, 0);
    EXPECT_GT(two.bottom, LineHeight());
}

TEST_F(TextTest, WordBreakFillsLinesGreedilyAndKeepsAnOverlongWordOnItsOwnLine) {
    const int twoWords = m_Canvas.TextWidth("Grey granite");
    EXPECT_EQ(Lines("Grey granite headstone", twoWords, tfWordBreak),
              (std::vector<std::u32string>{U"Grey granite", U"headstone"}));
    EXPECT_EQ(Lines("Grey granite headstone", twoWords - 1, tfWordBreak),
              (std::vector<std::u32string>{U"Grey", U"granite", U"headstone"}));
    EXPECT_EQ(Lines("a Unbreakableinscription b", 30, tfWordBreak),
              (std::vector<std::u32string>{U"a", U"Unbreakableinscription", U"b"}));
    EXPECT_EQ(Lines("  indented", 1000, tfWordBreak), (std::vector<std::u32string>{U"  indented"}));
    EXPECT_EQ(Lines("word   ", m_Canvas.TextWidth("word"), tfWordBreak),
              (std::vector<std::u32string>{U"word"}));

    // The overlong word is cut at the rectangle.
    const Rect ink = Draw("Unbreakableinscription", Rect{10, 10, 40, 100}, tfWordBreak);
    EXPECT_LE(ink.right, 40);
    EXPECT_GE(ink.right, 38);
}

TEST_F(TextTest, TabsAdvanceToMultiplesOfEightAverageCharactersOnlyWhenExpanded) {
    const int stop = 8 * m_Canvas.Metrics().avgCharWidth;
    ASSERT_GT(stop, m_Canvas.TextWidth("ab"));
    TextLayout expanded(Face(), "ab\tc", 1000, tfExpandTabs);
    EXPECT_EQ(expanded.Width(), stop + m_Canvas.TextWidth("c"));
    TextLayout twoStops(Face(), "\t\tc", 1000, tfExpandTabs);
    EXPECT_EQ(twoStops.Width(), 2 * stop + m_Canvas.TextWidth("c"));
    TextLayout plain(Face(), "ab\tc", 1000, 0);
    EXPECT_EQ(plain.Width(), m_Canvas.TextWidth("abc"));
    const Rect ink = Draw("\tc", Rect{0, 0, 300, 50}, tfExpandTabs);
    EXPECT_GE(ink.left, stop);
}

TEST_F(TextTest, AmpersandPrefixesHideUnderlineOrDouble) {
    EXPECT_EQ(Lines("&File", 1000, 0), (std::vector<std::u32string>{U"File"}));
    EXPECT_EQ(Lines("Fish && Chips", 1000, 0), (std::vector<std::u32string>{U"Fish & Chips"}));
    EXPECT_EQ(Lines("Fish && Chips", 1000, tfNoPrefix), (std::vector<std::u32string>{U"Fish && Chips"}));
    EXPECT_EQ(Lines("end&", 1000, 0), (std::vector<std::u32string>{U"end"}));
    TextLayout layout(Face(), "a&bc", 1000, 0);
    const auto& chars = layout.Lines().front().chars;
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_FALSE(chars[0].underline);
    EXPECT_TRUE(chars[1].underline);
    EXPECT_FALSE(chars[2].underline);

    // Drawn, the prefixed text differs from the plain one only by a line under the 'b'.
    Draw("abc", Rect{0, 0, 300, 50}, tfNoPrefix);
    const Image plain = m_Image;
    Draw("a&bc", Rect{0, 0, 300, 50}, 0);
    const int aWidth = m_Canvas.TextWidth("a");
    const int bWidth = m_Canvas.TextWidth("b");
    const int underline = m_Canvas.Metrics().ascent + m_Canvas.Metrics().underlineOffset;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 300; ++x) {
            const bool underB = y == underline && x >= aWidth && x < aWidth + bWidth;
            if (!underB)
                ASSERT_EQ(m_Image.At(x, y), plain.At(x, y)) << x << "," << y;
            else
                ASSERT_EQ(m_Image.At(x, y), test::kBlack) << x;
        }
    }
}

TEST_F(TextTest, EndEllipsisCutsAnOverlongLineToFitWithThreeDots) {
    const int width = m_Canvas.TextWidth("Memorial");
    const auto lines = Lines("Memorial inscription", width, tfEndEllipsis | tfSingleLine);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), U"...");
    TextLayout layout(Face(), "Memorial inscription", width, tfEndEllipsis);
    EXPECT_LE(layout.Width(), width);
    EXPECT_EQ(Lines("Fits", 1000, tfEndEllipsis), (std::vector<std::u32string>{U"Fits"}));
    EXPECT_EQ(Lines("Memorial", 2, tfEndEllipsis), (std::vector<std::u32string>{U"..."}));
}

TEST_F(TextTest, TextIsCutAtTheRectangleUnlessNoClip) {
    const Rect clipped = Draw("Memorial inscription", Rect{10, 10, 60, 20}, 0);
    EXPECT_GE(clipped.left, 10);
    EXPECT_LE(clipped.right, 60);
    EXPECT_LE(clipped.bottom, 20);
    const Rect free = Draw("Memorial inscription", Rect{10, 10, 60, 20}, tfNoClip);
    EXPECT_GT(free.right, 60);
    EXPECT_GT(free.bottom, 20);

    // The canvas clip still holds with tfNoClip, and the rectangle is origin-relative.
    m_Image = Image(300, 200, kWhite);
    m_Canvas.Save();
    m_Canvas.SetOrigin(Point{100, 50});
    m_Canvas.SetClipRect(Rect{0, 0, 30, 30});
    Rect r{0, 0, 200, 100};
    m_Canvas.DrawText("Memorial inscription", r, tfNoClip);
    m_Canvas.Restore();
    const Rect ink = InkBounds(m_Image);
    EXPECT_GE(ink.left, 100);
    EXPECT_LE(ink.right, 130);
    EXPECT_GE(ink.top, 50);
}

TEST_F(TextTest, DrawsInTheResolvedFontColorOnATransparentBackground) {
    FontSpec font = test::Tahoma19();
    font.color = clHighlight;
    m_Canvas.SetFont(font);
    m_Image = Image(300, 200, MakePixel(0, 255, 0));
    Rect r{0, 0, 100, 40};
    m_Canvas.DrawText("I", r, 0);
    const Rect ink = InkBounds(m_Image, MakePixel(0, 255, 0));
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_EQ(InkCount(m_Image, Rect{0, 0, 100, 40}, MakePixel(0, 255, 0)),
              InkCount(m_Image, ink, MakePixel(0, 255, 0)));
    bool solid = false;
    for (int y = ink.top; y < ink.bottom; ++y)
        solid = solid || m_Image.At(ink.left + ink.Width() / 2, y) == MakePixel(10, 36, 106);
    EXPECT_TRUE(solid);

    font.color = clNone;
    m_Canvas.SetFont(font);
    const Image before = m_Image;
    EXPECT_EQ(m_Canvas.DrawText("Nothing", r, 0), LineHeight());
    m_Canvas.TextOut(0, 0, "Nothing");
    EXPECT_EQ(m_Image, before);
}

TEST_F(TextTest, TextOutDrawsOneLineAtTheCellCornerWithFontStyles) {
    m_Canvas.TextOut(5, 5, "Mason");
    const Rect plain = InkBounds(m_Image);
    EXPECT_GE(plain.left, 5);
    EXPECT_LE(plain.right, 5 + m_Canvas.TextWidth("Mason") + 1);

    m_Image = Image(300, 200, kWhite);
    FontSpec underlined = test::Tahoma19();
    underlined.style = FontStyle::Underline;
    m_Canvas.SetFont(underlined);
    m_Canvas.TextOut(5, 5, "Mason");
    const int y = 5 + m_Canvas.Metrics().ascent + m_Canvas.Metrics().underlineOffset;
    EXPECT_EQ(InkCount(m_Image, Rect{5, y, 5 + m_Canvas.TextWidth("Mason"), y + 1}),
              m_Canvas.TextWidth("Mason"));
}

// The image TextOut(x, y, text) should give, worked out here from the glyphs' coverage: each
// covered pixel blended towards the colour by its coverage, rounded to nearest, and made opaque.
Image ExpectedTextOut(Image image, FontFace& face, int x, int y, std::string_view text, Pixel color) {
    const int baseline = y + face.Metrics().ascent;
    int pen = x;
    for (char c : text) {
        const GlyphBitmap& glyph = face.Glyph(static_cast<unsigned char>(c));
        for (int gy = 0; gy < glyph.height; ++gy) {
            for (int gx = 0; gx < glyph.width; ++gx) {
                const int a = glyph.coverage[static_cast<std::size_t>(gy * glyph.width + gx)];
                const int px = pen + glyph.left + gx;
                const int py = baseline - glyph.top + gy;
                if (a == 0 || !image.Bounds().Contains(Point{px, py}))
                    continue;
                const Pixel d = image.At(px, py);
                const auto mix = [a](int dc, int sc) {
                    const int t = (sc - dc) * a;
                    return dc + (t >= 0 ? (t + 127) / 255 : -((-t + 127) / 255));
                };
                image.Row(py)[px] = a == 255 ? (color | 0xFF000000u)
                                             : MakePixel(mix(PixelRed(d), PixelRed(color)),
                                                         mix(PixelGreen(d), PixelGreen(color)),
                                                         mix(PixelBlue(d), PixelBlue(color)));
            }
        }
        pen += glyph.advance;
    }
    return image;
}

// Glyphs are blended once per colour and background and then copied: every change of colour,
// background (whole or under part of the text) or face must still show exactly.
TEST_F(TextTest, TextDrawnAgainIsBlendedForItsOwnColorBackgroundAndFace) {
    const Pixel green = MakePixel(0, 160, 0);
    const Pixel grey = MakePixel(128, 128, 128);
    Image halfGreen(300, 60, kWhite);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 150; ++x)
            halfGreen.Row(y)[x] = green;
    struct Case {
        const char* what;
        FontStyle style;
        TColor color;
        Pixel resolved;
        Image background;
    };
    const std::vector<Case> cases{
        {"black on white", FontStyle::None, clBlack, MakePixel(0, 0, 0), Image(300, 60, kWhite)},
        {"again, red on white", FontStyle::None, clRed, MakePixel(255, 0, 0), Image(300, 60, kWhite)},
        {"black on grey", FontStyle::None, clBlack, MakePixel(0, 0, 0), Image(300, 60, grey)},
        {"black across green and white", FontStyle::None, clBlack, MakePixel(0, 0, 0), halfGreen},
        {"bold, black on white", FontStyle::Bold, clBlack, MakePixel(0, 0, 0), Image(300, 60, kWhite)},
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            FontSpec font = test::Tahoma19();
            font.style = c.style;
            font.color = c.color;
            Image image = c.background;
            PixelCanvas canvas(image);
            canvas.SetFont(font);
            canvas.TextOut(120, 10, "Mason&Wq");
            const Image expected =
                ExpectedTextOut(c.background, FontFace::For(font), 120, 10, "Mason&Wq", c.resolved);
            ASSERT_NE(expected, c.background);
            EXPECT_EQ(image, expected);
        }
    }
}

} // namespace
} // namespace ws::platform
