// wallscreen: the wall screen program. It reads no command line and no configuration file.
// WALLSCREEN_SCREENSHOT=FILE in the environment writes the main window to FILE (PNG) after each
// paint, for watching it on a display nobody looks at.

#include "app/Program.h"
#include "platform/Journal.h"
#include "platform/sdl/CreateWindowSystem.h"

#include <cstdlib>
#include <exception>
#include <string>

int main() {
    std::unique_ptr<ws::platform::WindowSystem> system;
    try {
        system = ws::platform::CreateWindowSystem("sdl");
    } catch (const std::exception& error) {
        // Without a display there is nowhere to show even an error box.
        ws::platform::WriteJournal(std::string("wallscreen: ") + error.what());
        return 1;
    }
    const char* screenshot = std::getenv("WALLSCREEN_SCREENSHOT");
    return ws::RunWallScreen(*system, screenshot != nullptr ? screenshot : "");
}
