#include "e2e/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ws::test {

bool XvfbServer::Installed() {
    return ::access("/usr/bin/Xvfb", X_OK) == 0;
}

XvfbServer::XvfbServer(int width, int height) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_Error = std::strerror(errno);
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const pid_t parent = ::getpid();
    m_Pid = ::fork();
    if (m_Pid == 0) {
        // The server goes with the test process however that ends (a crash, an abort, exit()
        // from inside a library), so a failed test never leaves an Xvfb behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(fds[1], 3); // dup2 clears close-on-exec on the copy
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, 1);
        ::dup2(devNull, 2);
        ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten",
                "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (m_Pid < 0) {
        m_Error = std::strerror(errno);
        ::close(fds[0]);
        return;
    }
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10'000) > 0) {
        char buffer[16];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, static_cast<size_t>(n));
        if (number.find('\n') != std::string::npos)
            break;
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    if (number.empty()) {
        m_Error = "Xvfb did not report a display number";
        return;
    }
    m_Display = ":" + number;
    if (const char* previous = std::getenv("DISPLAY")) {
        m_HadDisplay = true;
        m_PreviousDisplay = previous;
    }
    ::setenv("DISPLAY", m_Display.c_str(), 1);
}

XvfbServer::~XvfbServer() {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGTERM);
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
    }
    if (m_HadDisplay)
        ::setenv("DISPLAY", m_PreviousDisplay.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
}

} // namespace ws::test
