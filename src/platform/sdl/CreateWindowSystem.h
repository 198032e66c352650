#pragma once

#include "platform/WindowSystem.h"

#include <memory>
#include <string_view>

namespace ws::platform {

// The window system called 'name': "headless" (virtual clock, no display) or "sdl" (the real
// display). Either enters its windows in this user's window registry. Throws EInvalidOperation
// for another name and EOSError, with advice, when "sdl" finds no display.
std::unique_ptr<WindowSystem> CreateWindowSystem(std::string_view name);

} // namespace ws::platform
