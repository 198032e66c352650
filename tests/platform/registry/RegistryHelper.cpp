// A second process for the registry tests. It speaks line by line on stdin and stdout:
//
//   registry_helper mutex NAME [--wait-go]   create the mutex (after a "go" line) and print
//                                            "created", "exists" or "failed"; "close" drops the
//                                            handle ("closed"); end of input ends the process
//   registry_helper serve TEXT [--minimised] register a window, print "registered ID", then print
//                                            each request carried out ("restore ID", "raise ID",
//                                            "foreground ID"); input: "text NEW", "minimise",
//                                            "pause" (stop serving requests); each answered "ok"
//   registry_helper activate TEXT            find the window and bring it forward as a second copy
//                                            of the program would; prints what happened

#include "platform/NamedMutex.h"
#include "platform/WindowRegistry.h"

#include <cstdio>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>

using ws::platform::NamedMutex;
using ws::platform::RegisteredWindow;
using ws::platform::WindowRegistry;
using ws::platform::WindowRequest;
using ws::platform::WindowRequestKind;

namespace {

void Say(const std::string& line) {
    std::cout << line << std::endl;
}

int RunMutex(const std::string& name, bool waitGo) {
    std::string line;
    if (waitGo && (!std::getline(std::cin, line) || line != "go"))
        return 2;
    auto creation = NamedMutex::Create(name);
    Say(!creation.handle ? "failed" : creation.alreadyExists ? "exists" : "created");
    while (std::getline(std::cin, line)) {
        if (line == "close") {
            creation.handle.reset();
            Say("closed");
        }
    }
    return 0;
}

const char* Word(WindowRequestKind kind) {
    switch (kind) {
    case WindowRequestKind::Restore:
        return "restore";
    case WindowRequestKind::BringToTop:
        return "raise";
    case WindowRequestKind::SetForeground:
        return "foreground";
    }
    return "?";
}

// Reads stdin without buffering ahead of what poll() reports, so no line is left waiting unseen.
class InputLines {
public:
    // Reads what is available; false at end of input.
    bool Fill() {
        char buffer[256];
        ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_Pending.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    bool Next(std::string& line) {
        std::size_t end = m_Pending.find('\n');
        if (end == std::string::npos)
            return false;
        line = m_Pending.substr(0, end);
        m_Pending.erase(0, end + 1);
        return true;
    }

private:
    std::string m_Pending;
};

void ServeCommand(WindowRegistry& registry, ws::platform::RegistryWindowId id, const std::string& line,
                  bool& serving) {
    if (line.starts_with("text "))
        registry.SetText(id, line.substr(5));
    else if (line == "text")
        registry.SetText(id, "");
    else if (line == "minimise")
        registry.SetMinimised(id, true);
    else if (line == "pause")
        serving = false;
    Say("ok");
}

int RunServe(const std::string& text, bool minimised) {
    WindowRegistry registry;
    auto id = registry.Register(text, minimised);
    Say("registered " + std::to_string(id));
    InputLines input;
    bool serving = true;
    for (;;) {
        pollfd items[2] = {{STDIN_FILENO, POLLIN, 0}, {serving ? registry.RequestFd() : -1, POLLIN, 0}};
        if (::poll(items, 2, -1) < 0)
            continue;
        if (items[1].revents != 0) {
            registry.Poll([&](const WindowRequest& request) {
                if (request.kind == WindowRequestKind::Restore)
                    registry.SetMinimised(request.window, false);
                Say(std::string(Word(request.kind)) + " " + std::to_string(request.window));
                return true;
            });
        }
        if (items[0].revents == 0)
            continue;
        if (!input.Fill())
            return 0;
        std::string line;
        while (input.Next(line))
            ServeCommand(registry, id, line, serving);
    }
}

int RunActivate(const std::string& text) {
    WindowRegistry registry;
    auto window = registry.Find(text);
    if (!window) {
        Say("not found");
        return 0;
    }
    Say("found " + std::to_string(window->pid));
    if (registry.IsIconic(*window))
        Say(registry.Restore(*window) ? "restore ok" : "restore failed");
    else
        Say(registry.BringToTop(*window) ? "raise ok" : "raise failed");
    Say(registry.SetForeground(*window) ? "foreground ok" : "foreground failed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: registry_helper mutex|serve|activate NAME [option]\n";
        return 2;
    }
    std::string command = argv[1];
    std::string option = argc > 3 ? argv[3] : "";
    if (command == "mutex")
        return RunMutex(argv[2], option == "--wait-go");
    if (command == "serve")
        return RunServe(argv[2], option == "--minimised");
    if (command == "activate")
        return RunActivate(argv[2]);
    std::cerr << "registry_helper: unknown command " << command << "\n";
    return 2;
}
