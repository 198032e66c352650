// Text is measured for every column and drawn for every cell of three grids every five seconds;
// these keep an eye on what that costs once the glyph caches are warm.

#include "platform/PixelCanvas.h"

#include <benchmark/benchmark.h>

namespace ws::platform {
namespace {

FontSpec DataFont() {
    return FontSpec{"Tahoma", -19, FontStyle::None, clWindowText};
}

void TextExtentOfACell(benchmark::State& state) {
    Image image(8, 8);
    PixelCanvas canvas(image);
    canvas.SetFont(DataFont());
    for (auto _ : state)
        benchmark::DoNotOptimize(canvas.TextExtent("Grey granite headstone, 3 lines"));
}
BENCHMARK(TextExtentOfACell);

void DrawTextOfACell(benchmark::State& state) {
    Image image(300, 30);
    PixelCanvas canvas(image);
    canvas.SetFont(DataFont());
    for (auto _ : state) {
        Rect r{2, 2, 290, 28};
        benchmark::DoNotOptimize(
            canvas.DrawText("Grey granite headstone, 3 lines", r, tfLeft | tfExpandTabs));
    }
}
BENCHMARK(DrawTextOfACell);

void CalcRectOfAWrappedCell(benchmark::State& state) {
    Image image(8, 8);
    PixelCanvas canvas(image);
    canvas.SetFont(DataFont());
    for (auto _ : state) {
        Rect r{2, 2, 120, 28};
        benchmark::DoNotOptimize(
            canvas.DrawText("Grey granite headstone, 3 lines", r, tfWordBreak | tfCalcRect));
    }
}
BENCHMARK(CalcRectOfAWrappedCell);

void FaceLookupAfterFontChange(benchmark::State& state) {
    Image image(8, 8);
    PixelCanvas canvas(image);
    FontSpec title{"MS Sans Serif", -21, FontStyle::Bold, clBlue};
    for (auto _ : state) {
        canvas.SetFont(title);
        benchmark::DoNotOptimize(canvas.TextHeight("W"));
        canvas.SetFont(DataFont());
        benchmark::DoNotOptimize(canvas.TextHeight("W"));
    }
}
BENCHMARK(FaceLookupAfterFontChange);

} // namespace
} // namespace ws::platform
