#include "platform/PixelCanvas.h"

#include "platform/SystemColors.h"
#include "platform/drawing/DrawingTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace ws::platform {
namespace {

using test::InkBounds;
using test::kBlack;
using test::kWhite;

TEST(SystemColorsTest, PlainColorsAreBlueGreenRedAndSystemColorsUseTheClassicScheme) {
    EXPECT_EQ(ResolveColor(ColorValue(0x00123456)), MakePixel(0x56, 0x34, 0x12));
    EXPECT_EQ(ResolveColor(clRed), MakePixel(255, 0, 0));
    EXPECT_EQ(ResolveColor(clWindow), kWhite);
    EXPECT_EQ(ResolveColor(clWindowText), kBlack);
    EXPECT_EQ(ResolveColor(clBtnFace), MakePixel(212, 208, 200));
    EXPECT_EQ(ResolveColor(clHighlight), MakePixel(10, 36, 106));
    EXPECT_EQ(ResolveColor(clHighlightText), kWhite);
    EXPECT_EQ(ResolveColor(clInfoBk), MakePixel(255, 255, 225));
    EXPECT_EQ(ResolveColor(clMenuBar), MakePixel(212, 208, 200));
    EXPECT_EQ(ResolveColor(ColorValue(0xFF000040)), kBlack); // beyond the scheme
    EXPECT_TRUE(IsColorMarker(clNone));
    EXPECT_TRUE(IsColorMarker(clDefault));
    EXPECT_FALSE(IsColorMarker(clBlack));
    EXPECT_FALSE(ThemesActive());
}

TEST(PixelCanvasTest, FillsAndLinesResolveColorsAndMarkersDrawNothing) {
    Image image(10, 10, kWhite);
    PixelCanvas canvas(image);
    canvas.FillRect(Rect{1, 1, 4, 3}, clBtnFace);
    EXPECT_EQ(InkBounds(image), (Rect{1, 1, 4, 3}));
    EXPECT_EQ(image.At(1, 1), MakePixel(212, 208, 200));

    const Image before = image;
    canvas.FillRect(Rect{0, 0, 10, 10}, clNone);
    canvas.FillRect(Rect{0, 0, 10, 10}, clDefault);
    canvas.HLine(0, 10, 5, clNone);
    canvas.FillRect(Rect{5, 5, 2, 2}, clBlack); // inverted rectangle: empty
    EXPECT_EQ(image, before);
}

TEST(PixelCanvasTest, LinesLeaveOutTheirEndPointInEitherDirection) {
    Image image(10, 10, kWhite);
    PixelCanvas canvas(image);
    canvas.HLine(2, 6, 1, clBlack);
    EXPECT_EQ(InkBounds(image), (Rect{2, 1, 6, 2}));

    Image back(10, 10, kWhite);
    PixelCanvas backCanvas(back);
    backCanvas.HLine(6, 2, 1, clBlack); // start pixel 6 drawn, end pixel 2 not
    EXPECT_EQ(InkBounds(back), (Rect{3, 1, 7, 2}));

    Image vertical(10, 10, kWhite);
    PixelCanvas vCanvas(vertical);
    vCanvas.VLine(4, 3, 8, clBlack);
    EXPECT_EQ(InkBounds(vertical), (Rect{4, 3, 5, 8}));
    vCanvas.VLine(0, 5, 5, clBlack); // zero length: nothing
    EXPECT_EQ(InkBounds(vertical), (Rect{4, 3, 5, 8}));
}

TEST(PixelCanvasTest, FocusRectangleInvertsEveryOtherOutlinePixelAndUndoesItself) {
    Image image(12, 8, MakePixel(10, 36, 106));
    const Image before = image;
    PixelCanvas canvas(image);
    const Rect r{2, 1, 9, 6};
    canvas.DrawFocusRect(r);
    const Pixel inverted = MakePixel(255 - 10, 255 - 36, 255 - 106);
    EXPECT_EQ(image.At(2, 1), inverted); // starts with the top-left pixel
    EXPECT_EQ(image.At(3, 1), before.At(3, 1));
    EXPECT_EQ(image.At(4, 1), inverted);
    EXPECT_EQ(image.At(2, 2), before.At(2, 2));
    EXPECT_EQ(image.At(2, 3), inverted);
    EXPECT_EQ(image.At(8, 1), inverted);        // top-right: 6 pixels along
    EXPECT_EQ(image.At(8, 5), inverted);        // bottom-right: 6 + 4 along
    EXPECT_EQ(image.At(5, 3), before.At(5, 3)); // inside untouched
    EXPECT_EQ(InkBounds(image, before.At(0, 0)), r);

    canvas.DrawFocusRect(r);
    EXPECT_EQ(image, before);

    // A one-pixel-high rectangle visits each pixel once, so the second call still restores.
    canvas.DrawFocusRect(Rect{0, 7, 12, 8});
    canvas.DrawFocusRect(Rect{0, 7, 12, 8});
    EXPECT_EQ(image, before);
}

TEST(PixelCanvasTest, OriginAndClipApplyToEveryOperationAndAreSavedAndRestored) {
    Image image(20, 20, kWhite);
    PixelCanvas canvas(image);
    canvas.Save();
    canvas.SetOrigin(Point{5, 5});
    canvas.SetClipRect(Rect{0, 0, 4, 4}); // target (5, 5)-(9, 9)
    EXPECT_EQ(canvas.ClipRect(), (Rect{5, 5, 9, 9}));
    canvas.FillRect(Rect{-10, -10, 30, 30}, clBlack);
    EXPECT_EQ(InkBounds(image), (Rect{5, 5, 9, 9}));
    // Every row of the clipped rectangle is filled whole, and nothing beside it.
    EXPECT_EQ(std::count(image.Pixels().begin(), image.Pixels().end(), MakePixel(0, 0, 0)), 16);

    canvas.Save();
    canvas.IntersectClipRect(Rect{2, 2, 10, 10});
    EXPECT_EQ(canvas.ClipRect(), (Rect{7, 7, 9, 9}));
    canvas.Restore();
    EXPECT_EQ(canvas.ClipRect(), (Rect{5, 5, 9, 9}));

    canvas.Restore();
    EXPECT_EQ(canvas.Origin(), (Point{0, 0}));
    EXPECT_EQ(canvas.ClipRect(), image.Bounds());
    canvas.Restore(); // unbalanced: keeps the state
    canvas.SetPixel(19, 19, clBlack);
    canvas.SetPixel(20, 20, clBlack); // outside the target: ignored
    EXPECT_EQ(image.At(19, 19), kBlack);
    EXPECT_EQ(canvas.GetPixel(-1, 0), 0u);

    canvas.SetClipRect(Rect{-50, -50, 500, 500}); // never beyond the target
    EXPECT_EQ(canvas.ClipRect(), image.Bounds());
}

TEST(PixelCanvasTest, DrawImageSkipsTransparentPixelsBlendsPartialOnesAndClips) {
    Image picture(3, 2, MakePixel(255, 0, 0));
    picture.Set(1, 0, MakePixel(0, 255, 0, 0)); // transparent
    picture.Set(2, 0, MakePixel(0, 0, 0, 128)); // half black
    Image image(6, 6, kWhite);
    PixelCanvas canvas(image);
    canvas.DrawImage(picture, 1, 1);
    EXPECT_EQ(image.At(1, 1), MakePixel(255, 0, 0));
    EXPECT_EQ(image.At(2, 1), kWhite);
    EXPECT_EQ(image.At(3, 1), MakePixel(127, 127, 127));
    EXPECT_EQ(PixelAlpha(image.At(3, 1)), 255);

    Image clipped(4, 4, kWhite);
    PixelCanvas clippedCanvas(clipped);
    clippedCanvas.SetOrigin(Point{1, 1});
    clippedCanvas.SetClipRect(Rect{0, 0, 2, 2});
    clippedCanvas.DrawImage(Image(5, 5, kBlack), -2, -2);
    EXPECT_EQ(InkBounds(clipped), (Rect{1, 1, 3, 3}));

    Image part(4, 4, kWhite);
    PixelCanvas partCanvas(part);
    Image source(4, 1, kBlack);
    source.Set(2, 0, MakePixel(0, 0, 255));
    partCanvas.DrawImage(source, Rect{2, 0, 4, 1}, 0, 3);
    EXPECT_EQ(part.At(0, 3), MakePixel(0, 0, 255));
    EXPECT_EQ(InkBounds(part), (Rect{0, 3, 2, 4}));
}

} // namespace
} // namespace ws::platform
