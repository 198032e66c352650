// platform-demo: the wall screen's window on its own, to try a window system out. A borderless
// top-most window 1094 x 1895 at the screen origin with the header band and a clock that ticks
// every second; a click outside the header closes it.
//
//   platform-demo [--system headless|sdl] [--screenshot FILE] [--seconds N]

#include "base/Exception.h"
#include "base/Strings.h"
#include "platform/Clock.h"
#include "platform/PixelCanvas.h"
#include "platform/Png.h"
#include "platform/sdl/CreateWindowSystem.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

namespace {

using namespace ws;
using namespace ws::platform;

constexpr const char* Title = "Brellow Database Wall Screen";
constexpr Rect MainBounds{0, 0, 1094, 1895};
constexpr Rect HeaderBounds{0, 0, 1093, 33};
constexpr Rect ClockArea{0, 60, 1094, 100};

struct Options {
    std::string system = "sdl";
    std::string screenshot;
    std::optional<int> seconds;
};

[[noreturn]] void Usage(const std::string& problem) {
    std::cerr << "platform-demo: " << problem << "\n"
              << "usage: platform-demo [--system headless|sdl] [--screenshot FILE] [--seconds N]\n";
    std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            Usage("missing value after " + arg);
        const std::string value = argv[++i];
        if (arg == "--system") {
            options.system = value;
        } else if (arg == "--screenshot") {
            options.screenshot = value;
        } else if (arg == "--seconds") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != '\0' || n < 1 || n > 86'400 * 365)
                Usage("--seconds wants a whole number of seconds, 1 or more");
            options.seconds = static_cast<int>(n);
        } else {
            Usage("unknown option " + arg);
        }
    }
    // Virtual time runs as fast as the machine can: without an end it would never stop.
    if (options.system == "headless" && !options.seconds)
        Usage("the headless system needs --seconds");
    return options;
}

std::string ClockText() {
    const TDateTime now = Now();
    const DateParts d = DecodeDate(now);
    const TimeParts t = DecodeTime(now);
    return Format("%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, t.hour, t.minute, t.second);
}

int Run(const Options& options) {
    auto ws = CreateWindowSystem(options.system);
    ws->SetErrorReporter([](const std::exception& e) { std::cerr << "platform-demo: " << e.what() << "\n"; });
    ws->CreateApplicationWindow(Title);

    std::string clock = ClockText();
    WindowEvents mainEvents;
    mainEvents.paint = [&clock](PixelCanvas& canvas, const Rect&) {
        canvas.FillRect(Rect{0, 0, MainBounds.Width(), MainBounds.Height()}, clBtnFace);
        canvas.SetFont(FontSpec{"Tahoma", -19, FontStyle::None, clWindowText});
        Rect area = ClockArea;
        canvas.DrawText(clock, area, tfCenter | tfVCenter | tfSingleLine);
    };
    mainEvents.click = [&ws](Point) { ws->Terminate(); };
    const WindowId main = ws->CreatePopup(MainBounds, mainEvents, "Active Jobs");

    WindowEvents headerEvents;
    headerEvents.paint = [](PixelCanvas& canvas, const Rect&) {
        const Rect all{0, 0, HeaderBounds.Width(), HeaderBounds.Height()};
        canvas.FillRect(all, clSkyBlue);
        canvas.SetFont(FontSpec{"Tahoma", -19, FontStyle::Bold, clWindowText});
        Rect text = all;
        canvas.DrawText("Active Jobs - platform demo", text, tfCenter | tfVCenter | tfSingleLine);
    };
    const WindowId header = ws->CreateChild(main, HeaderBounds, headerEvents);
    ws->SetVisible(header, true);

    if (!options.screenshot.empty()) {
        ws->SetPresentListener([&options, main](WindowId window, const Image& image, const Rect&) {
            if (window == main)
                WritePng(image, options.screenshot);
        });
    }
    ws->SetTimer(1000, [&] {
        clock = ClockText();
        ws->Invalidate(main, ClockArea);
    });
    if (options.seconds)
        ws->SetTimer(static_cast<unsigned>(*options.seconds) * 1000u, [&ws] { ws->Terminate(); });

    ws->SetTopMost(main, true);
    ws->SetVisible(main, true);
    ws->Run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    try {
        return Run(options);
    } catch (const ws::Exception& e) {
        std::cerr << "platform-demo: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "platform-demo: " << e.what() << "\n";
        return 1;
    }
}
