#include "platform/sdl/CreateWindowSystem.h"

#include "base/Exception.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/WindowRegistry.h"
#include "platform/sdl/SdlWindowSystem.h"

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
        system->AttachRegistry(std::make_unique<WindowRegistry>());
        return system;
    }
    throw EInvalidOperation("Unknown window system \"" + std::string(name) + "\": use headless or sdl");
}

} // namespace ws::platform
