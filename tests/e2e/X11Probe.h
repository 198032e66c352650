#pragma once

// Looks at an X server the way another client would: where a window is, what lies above what,
// what pixels it shows. Kept apart from the tests so that Xlib's macros stay out of them.

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace ws::test {

struct XWindowFacts {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int borderWidth = 0;
    bool overrideRedirect = false;
    bool viewable = false;
    bool parentIsRoot = false;
};

class X11Probe {
public:
    explicit X11Probe(const std::string& display);
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    bool Connected() const { return m_Display != nullptr; }
    void Sync();

    XWindowFacts Facts(unsigned long window);
    std::string Name(unsigned long window);
    // 0x00RRGGBB of one pixel of the window as the screen shows it.
    std::uint32_t PixelAt(unsigned long window, int x, int y);
    // 0x00RRGGBB of every pixel of a rectangle of the window, row by row; empty when the
    // window cannot be read.
    std::vector<std::uint32_t> Grab(unsigned long window, int x, int y, int width, int height);

    // Children of the root window, bottom first.
    std::vector<unsigned long> Stacking();
    bool IsAbove(unsigned long upper, unsigned long lower);

    // An ordinary window of "another program", mapped and raised.
    unsigned long CreateOrdinaryWindow(int x, int y, int width, int height);
    void Raise(unsigned long window);
    // Raises a window that does not exist and waits for the server's answer: the BadWindow
    // error goes to whatever X error handler the process has in force.
    void RaiseMissingWindow();

private:
    _XDisplay* m_Display = nullptr;
};

// The shell commands for "xdotool ARGUMENTS", with "mousemove X Y click ..." split in two: chained
// after a move, xdotool sends the click to the window it found under the pointer, which fails
// when that window has just gone away; on its own, the click is pressed where the pointer is.
std::string XdoToolCommands(const std::string& arguments);

} // namespace ws::test
