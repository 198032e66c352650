#pragma once

// A private X server for one test: Xvfb on a free display number (it picks one itself and tells
// us through -displayfd), no window manager, stopped when the object goes.

#include <string>
#include <sys/types.h>

namespace ws::test {

class XvfbServer {
public:
    // Starts Xvfb with one screen of the given size; Running() tells whether that worked.
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool Installed();
    bool Running() const { return m_Pid > 0 && !m_Display.empty(); }
    // ":N", also put in DISPLAY while the server runs.
    const std::string& Display() const { return m_Display; }
    const std::string& Error() const { return m_Error; }

private:
    pid_t m_Pid = -1;
    std::string m_Display;
    std::string m_Error;
    std::string m_PreviousDisplay;
    bool m_HadDisplay = false;
};

} // namespace ws::test
