#include "platform/sdl/X11TopLayer.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace ws::platform {

namespace {

// Two programs that both insist on the top would raise each other for ever; we give way after a
// few raises a second.
constexpr int MaxRaisesPerSecond = 5;

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// Xlib's own handler ends the process on any error. An unattended wall screen must not end
// because a window vanished between a request and its use (a message box just closed, another
// program's window destroyed), so such errors are ignored and any other is only told.
int TolerateErrors(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code == BadMatch)
        return 0;
    char text[256] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "X error ignored: %s (request %d)\n", text, static_cast<int>(error->request_code));
    return 0;
}

} // namespace

void InstallTolerantXErrorHandler() {
    XSetErrorHandler(TolerateErrors);
}

X11TopLayer::X11TopLayer() {
    m_Display = XOpenDisplay(nullptr);
    if (m_Display == nullptr)
        return;
    m_Root = DefaultRootWindow(m_Display);
    XSelectInput(m_Display, m_Root, SubstructureNotifyMask);
    XFlush(m_Display);
}

X11TopLayer::~X11TopLayer() {
    if (m_Display != nullptr)
        XCloseDisplay(m_Display);
}

int X11TopLayer::Fd() const {
    return m_Display != nullptr ? ConnectionNumber(m_Display) : -1;
}

void X11TopLayer::Keep(unsigned long window, bool keep) {
    if (keep)
        m_Kept.insert(window);
    else
        m_Kept.erase(window);
    if (keep)
        Enforce();
}

void X11TopLayer::Raise(unsigned long window) {
    if (m_Display == nullptr)
        return;
    XRaiseWindow(m_Display, window);
    XFlush(m_Display);
}

bool X11TopLayer::Pump() {
    if (m_Display == nullptr || XPending(m_Display) == 0)
        return false;
    bool restacked = false;
    while (XPending(m_Display) > 0) {
        XEvent event;
        XNextEvent(m_Display, &event);
        if (event.type == MapNotify || event.type == ConfigureNotify || event.type == CirculateNotify)
            restacked = true;
    }
    if (restacked)
        Enforce();
    return true;
}

unsigned long X11TopLayer::TopLevelAncestor(unsigned long window) const {
    // Under a window manager our window sits inside a frame; the frame is what is stacked.
    Window current = window;
    for (int depth = 0; depth < 16; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(m_Display, current, &root, &parent, &children, &count) == 0)
            return 0;
        if (children != nullptr)
            XFree(children);
        if (parent == root || parent == 0)
            return current;
        current = parent;
    }
    return current;
}

void X11TopLayer::Enforce() {
    if (m_Display == nullptr || m_Kept.empty())
        return;
    // Our windows may vanish between two calls; their errors mean nothing here.
    auto* previousHandler = XSetErrorHandler(IgnoreErrors);
    std::vector<Window> keptTops;
    for (unsigned long w : m_Kept) {
        const Window top = TopLevelAncestor(w);
        if (top != 0)
            keptTops.push_back(top);
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    bool covered = false;
    if (!keptTops.empty() && XQueryTree(m_Display, m_Root, &root, &parent, &children, &count) != 0) {
        // Children come bottom first: is anything viewable, not ours to keep and not an
        // override-redirect pop-up of another program above the lowest kept window?
        bool seenKept = false;
        for (unsigned i = 0; i < count && !covered; ++i) {
            const Window child = children[i];
            if (std::find(keptTops.begin(), keptTops.end(), child) != keptTops.end()) {
                seenKept = true;
                continue;
            }
            if (!seenKept)
                continue;
            XWindowAttributes attributes;
            if (XGetWindowAttributes(m_Display, child, &attributes) == 0)
                continue;
            covered = attributes.map_state == IsViewable && !attributes.override_redirect;
        }
        if (children != nullptr)
            XFree(children);
    }
    if (covered) {
        const std::int64_t now = SteadyMs();
        if (now - m_WindowStartMs >= 1000) {
            m_WindowStartMs = now;
            m_RaisesInWindow = 0;
        }
        if (m_RaisesInWindow++ < MaxRaisesPerSecond) {
            for (unsigned long w : m_Kept)
                XRaiseWindow(m_Display, w);
        }
    }
    XSync(m_Display, False);
    XSetErrorHandler(previousHandler);
}

} // namespace ws::platform
