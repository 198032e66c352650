#pragma once

// The program block of the wall screen, shared by the program itself and the tools that run its
// real start-up on another window system.

#include "platform/WindowSystem.h"

#include <string>

namespace ws {

extern const char* const WallScreenTitle;

// The journal's start-up line: the version, the alias of the job database and the directory the
// engine configuration gives it (or why there is none).
std::string StartupJournalText();

// Steps of the program block up to the event loop: the application object is initialised, the
// title set, the main window and the data module created. Needs an Application.
void StartWallScreen();

// The whole program on 'system': start-up, event loop, shutdown. Returns the exit code (1 after
// the start-up error box). With 'screenshot' set, the main window is written there as a PNG after
// each paint.
int RunWallScreen(platform::WindowSystem& system, const std::string& screenshot = {});

} // namespace ws
