#pragma once

// The window system on a real display, through SDL on X11. Each top-level window is an SDL
// window whose surface receives the painted off-screen image in one step; timers run on the
// event loop's thread from deadlines, and message boxes are our own painted windows.

#include "platform/WindowSystem.h"
#include "platform/sdl/X11TopLayer.h"

#include <map>
#include <memory>

union SDL_Event;
struct SDL_Window;

namespace ws::platform {

class SdlWindowSystem final : public WindowSystem {
public:
    // Opens the display named by DISPLAY; throws EOSError with advice when there is none.
    SdlWindowSystem();
    ~SdlWindowSystem() override;

    const char* Name() const override { return "sdl"; }
    Size ScreenSize() const override;
    std::int64_t Milliseconds() const override;

    // The X11 window behind a top-level window (0 if it has none), for tests and tools.
    unsigned long NativeWindowId(WindowId topLevel) const;

protected:
    void NativeCreate(Window& window) override;
    void NativeDestroy(Window& window) override;
    void NativeSetBounds(Window& window) override;
    void NativeSetShown(Window& window, bool shown) override;
    void NativeSetText(Window& window) override;
    void NativeSetTopMost(Window& window, bool inLayer) override;
    void NativeRaise(Window& window, bool activate) override;
    void NativePresent(Window& window, const Rect& painted) override;
    bool NativePollEvent() override;
    void NativeWait(std::optional<std::int64_t> deadline) override;

private:
    static SDL_Window* Sdl(const Window& window) { return static_cast<SDL_Window*>(window.native); }
    WindowId FromSdlId(std::uint32_t sdlId) const;
    void HandleEvent(const SDL_Event& event);
    void HandleWindowEvent(WindowId window, int kind);
    void UpdateKept(const Window& window);

    std::map<std::uint32_t, WindowId> m_BySdlId;
    std::unique_ptr<X11TopLayer> m_TopLayer;
    WindowId m_PressWindow = 0; // where the left button went down, for the click on release
};

} // namespace ws::platform
