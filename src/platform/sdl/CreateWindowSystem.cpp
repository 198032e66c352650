#include "platform/sdl/CreateWindowSystem.h"

#include "base/Exception.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/NamedMutex.h"
#include "platform/WindowRegistry.h"
#include "platform/sdl/SdlWindowSystem.h"

#include <cstdlib>
#include <string>

namespace ws::platform {

std::unique_ptr<WindowSystem> CreateWindowSystem(std::string_view name) {
    if (name == "headless") {
        HeadlessOptions options;
        options.start = SystemClock().Now();
        options.registryDirectory = std::string();
        return std::make_unique<HeadlessWindowSystem>(options);
    }
    if (name == "sdl") {
        auto system = std::make_unique<SdlWindowSystem>();
        // One board per X display: its copies meet there, whatever runtime directory each has.
        const char* display = std::getenv("DISPLAY");
        std::string scope = DisplayScopeDirectory(display != nullptr ? display : "");
        if (scope.empty()) {
            system->AttachRegistry(std::make_unique<WindowRegistry>());
        } else {
            system->AttachRegistry(std::make_unique<WindowRegistry>(scope + "/windows"));
            system->SetInstanceScope(std::move(scope));
        }
        return system;
    }
    throw EInvalidOperation("Unknown window system \"" + std::string(name) + "\": use headless or sdl");
}

} // namespace ws::platform
