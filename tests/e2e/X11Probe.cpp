#include "e2e/X11Probe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>

namespace ws::test {

X11Probe::X11Probe(const std::string& display) {
    m_Display = XOpenDisplay(display.c_str());
}

X11Probe::~X11Probe() {
    if (m_Display != nullptr)
        XCloseDisplay(m_Display);
}

void X11Probe::RaiseMissingWindow() {
    XRaiseWindow(m_Display, static_cast<Window>(0x1FFFFF01));
    XSync(m_Display, False);
}

void X11Probe::Sync() {
    XSync(m_Display, False);
}

XWindowFacts X11Probe::Facts(unsigned long window) {
    XWindowFacts facts;
    XWindowAttributes a;
    if (XGetWindowAttributes(m_Display, window, &a) == 0)
        return facts;
    facts = XWindowFacts{
        a.x,  a.y, a.width, a.height, a.border_width, a.override_redirect != 0, a.map_state == IsViewable,
        false};
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(m_Display, window, &root, &parent, &children, &count) != 0)
        facts.parentIsRoot = parent == root;
    if (children != nullptr)
        XFree(children);
    return facts;
}

std::string X11Probe::Name(unsigned long window) {
    char* name = nullptr;
    if (XFetchName(m_Display, window, &name) == 0 || name == nullptr)
        return {};
    std::string result = name;
    XFree(name);
    return result;
}

std::uint32_t X11Probe::PixelAt(unsigned long window, int x, int y) {
    XImage* image = XGetImage(m_Display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return 0xFFFFFFFF;
    const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

std::vector<std::uint32_t> X11Probe::Grab(unsigned long window, int x, int y, int width, int height) {
    std::vector<std::uint32_t> pixels;
    XImage* image = XGetImage(m_Display, window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return pixels;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col)
            pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, row) & 0xFFFFFF));
    }
    XDestroyImage(image);
    return pixels;
}

std::vector<unsigned long> X11Probe::Stacking() {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<unsigned long> order;
    if (XQueryTree(m_Display, DefaultRootWindow(m_Display), &root, &parent, &children, &count) != 0)
        order.assign(children, children + count);
    if (children != nullptr)
        XFree(children);
    return order;
}

bool X11Probe::IsAbove(unsigned long upper, unsigned long lower) {
    const auto order = Stacking();
    const auto u = std::find(order.begin(), order.end(), upper);
    const auto l = std::find(order.begin(), order.end(), lower);
    return u != order.end() && l != order.end() && u > l;
}

unsigned long X11Probe::CreateOrdinaryWindow(int x, int y, int width, int height) {
    const Window w =
        XCreateSimpleWindow(m_Display, DefaultRootWindow(m_Display), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, 0, 0xFFFFFF);
    XMapRaised(m_Display, w);
    XSync(m_Display, False);
    return w;
}

void X11Probe::Raise(unsigned long window) {
    XRaiseWindow(m_Display, window);
    XSync(m_Display, False);
}

std::string XdoToolCommands(const std::string& arguments) {
    const std::size_t click = arguments.find(" click ");
    if (click == std::string::npos)
        return "xdotool " + arguments;
    return "xdotool " + arguments.substr(0, click) + " && xdotool" + arguments.substr(click);
}

} // namespace ws::test
