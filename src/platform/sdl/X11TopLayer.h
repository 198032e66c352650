#pragma once

// Keeps chosen X11 windows above every other window on the screen. A window manager does this
// for windows that ask for the "above" state; without one (a bare X server, Xvfb) the newest
// mapped or raised window simply goes on top, so we watch the root window's children on a
// connection of our own and raise ours again when something else comes above them.

#include <cstdint>
#include <set>

struct _XDisplay;

namespace ws::platform {

// Replaces Xlib's default error handler, which would end the process, with one that ignores
// errors about windows that have gone away and reports the rest on standard error.
void InstallTolerantXErrorHandler();

class X11TopLayer {
public:
    // Opens its own connection to the display named by DISPLAY; inactive when that fails.
    X11TopLayer();
    ~X11TopLayer();
    X11TopLayer(const X11TopLayer&) = delete;
    X11TopLayer& operator=(const X11TopLayer&) = delete;

    bool Active() const { return m_Display != nullptr; }
    // Descriptor to wait on for stacking changes, or -1.
    int Fd() const;

    void Keep(unsigned long window, bool keep);
    // Raises 'window' now, without activating it.
    void Raise(unsigned long window);
    // Handles pending stacking changes; true when there were any.
    bool Pump();
    // Puts the kept windows back on top if a window that is not kept lies above one of them.
    void Enforce();

private:
    unsigned long TopLevelAncestor(unsigned long window) const;

    _XDisplay* m_Display = nullptr;
    unsigned long m_Root = 0;
    std::set<unsigned long> m_Kept;
    std::int64_t m_WindowStartMs = 0;
    int m_RaisesInWindow = 0;
};

} // namespace ws::platform
