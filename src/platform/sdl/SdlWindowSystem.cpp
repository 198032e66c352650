#include "platform/sdl/SdlWindowSystem.h"

#include "base/Exception.h"
#include "platform/WindowRegistry.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <algorithm>
#include <cstdlib>
#include <string>

namespace ws::platform {

namespace {

// Longest sleep of the loop: stacking changes and requests from other processes are looked at
// at least this often.
constexpr std::int64_t WaitSliceMs = 50;

bool HasText(const char* value) {
    return value != nullptr && *value != '\0';
}

Key KeyOf(SDL_Keycode code) {
    switch (code) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return Key::Enter;
    case SDLK_SPACE:
        return Key::Space;
    case SDLK_ESCAPE:
        return Key::Escape;
    default:
        return Key::Other;
    }
}

unsigned long X11WindowOf(SDL_Window* window) {
    if (window == nullptr)
        return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

} // namespace

SdlWindowSystem::SdlWindowSystem() {
    if (!HasText(std::getenv("DISPLAY"))) {
        throw EOSError(
            "No display: set DISPLAY or run under Xvfb (for example "
            "\"xvfb-run -s '-screen 0 1920x2000x24' PROGRAM\"), or use the headless window system");
    }
    // X11 alone: Wayland desktops provide it through XWayland, and top-most needs it.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // The first click on an inactive window counts: the wall screen is never focused first.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // Our pixels go straight to the X server; no GL driver is loaded for a window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Before SDL opens its connection: SDL keeps the handler it finds and puts it back when it
    // quits, and hands on to it whatever error it does not handle itself. Installed afterwards,
    // ours would be replaced at quit by Xlib's, which ends the process on an error still waiting
    // on the connection (a request to a message box that has just been destroyed).
    InstallTolerantXErrorHandler();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        throw EOSError(std::string("Cannot open the display \"") + std::getenv("DISPLAY") + "\" (" +
                       SDL_GetError() +
                       "): is an X server running there? Run under Xvfb or "
                       "use the headless window system");
    }
    m_TopLayer = std::make_unique<X11TopLayer>();
}

SdlWindowSystem::~SdlWindowSystem() {
    DestroyAllWindows();
    m_TopLayer.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

Size SdlWindowSystem::ScreenSize() const {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) != 0)
        return Size{0, 0};
    return Size{bounds.w, bounds.h};
}

std::int64_t SdlWindowSystem::Milliseconds() const {
    return static_cast<std::int64_t>(SDL_GetTicks64());
}

unsigned long SdlWindowSystem::NativeWindowId(WindowId topLevel) const {
    const Window* w = Find(topLevel);
    return w == nullptr ? 0 : X11WindowOf(Sdl(*w));
}

WindowId SdlWindowSystem::FromSdlId(std::uint32_t sdlId) const {
    auto it = m_BySdlId.find(sdlId);
    return it == m_BySdlId.end() ? 0 : it->second;
}

// --- windows ------------------------------------------------------------------------------------

void SdlWindowSystem::NativeCreate(Window& window) {
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    if (window.kind == WindowKind::MessageBox)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
    // The application window is never mapped; SDL needs a size of at least one pixel.
    const int width = std::max(window.bounds.Width(), 1);
    const int height = std::max(window.bounds.Height(), 1);
    SDL_Window* sdl =
        SDL_CreateWindow(window.text.c_str(), window.bounds.left, window.bounds.top, width, height, flags);
    if (sdl == nullptr)
        throw EOSError(std::string("Cannot create a window: ") + SDL_GetError());
    window.native = sdl;
    m_BySdlId[SDL_GetWindowID(sdl)] = window.id;
}

void SdlWindowSystem::NativeDestroy(Window& window) {
    SDL_Window* sdl = Sdl(window);
    if (sdl == nullptr)
        return;
    m_TopLayer->Keep(X11WindowOf(sdl), false);
    m_BySdlId.erase(SDL_GetWindowID(sdl));
    if (m_PressWindow == window.id)
        m_PressWindow = 0;
    SDL_DestroyWindow(sdl);
    window.native = nullptr;
}

void SdlWindowSystem::NativeSetBounds(Window& window) {
    SDL_Window* sdl = Sdl(window);
    SDL_SetWindowPosition(sdl, window.bounds.left, window.bounds.top);
    SDL_SetWindowSize(sdl, std::max(window.bounds.Width(), 1), std::max(window.bounds.Height(), 1));
}

void SdlWindowSystem::NativeSetShown(Window& window, bool shown) {
    SDL_Window* sdl = Sdl(window);
    if (!shown) {
        SDL_HideWindow(sdl);
        UpdateKept(window);
        return;
    }
    SDL_ShowWindow(sdl);
    if (SDL_GetWindowFlags(sdl) & SDL_WINDOW_MINIMIZED)
        SDL_RestoreWindow(sdl);
    // A window manager may have placed the window by its own rules while mapping it.
    SDL_SetWindowPosition(sdl, window.bounds.left, window.bounds.top);
    UpdateKept(window);
}

void SdlWindowSystem::NativeSetText(Window& window) {
    SDL_SetWindowTitle(Sdl(window), window.text.c_str());
}

void SdlWindowSystem::NativeSetTopMost(Window& window, bool inLayer) {
    SDL_SetWindowAlwaysOnTop(Sdl(window), inLayer ? SDL_TRUE : SDL_FALSE);
    UpdateKept(window);
}

void SdlWindowSystem::UpdateKept(const Window& window) {
    const unsigned long x11 = X11WindowOf(Sdl(window));
    if (x11 != 0)
        m_TopLayer->Keep(x11, window.inTopMostLayer && window.nativeShown);
}

void SdlWindowSystem::NativeRaise(Window& window, bool activate) {
    SDL_Window* sdl = Sdl(window);
    if (activate) {
        SDL_RaiseWindow(sdl);
    } else if (const unsigned long x11 = X11WindowOf(sdl); x11 != 0) {
        m_TopLayer->Raise(x11);
    }
    m_TopLayer->Enforce();
}

void SdlWindowSystem::NativePresent(Window& window, const Rect& painted) {
    SDL_Window* sdl = Sdl(window);
    SDL_Surface* surface = SDL_GetWindowSurface(sdl);
    if (surface == nullptr)
        return;
    const Rect area = painted.Intersect(Rect{0, 0, surface->w, surface->h}).Intersect(window.image.Bounds());
    if (area.IsEmpty())
        return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return;
    const int bytesPerPixel = surface->format->BytesPerPixel;
    auto* target = static_cast<Uint8*>(surface->pixels) +
                   static_cast<std::ptrdiff_t>(area.top) * surface->pitch +
                   static_cast<std::ptrdiff_t>(area.left) * bytesPerPixel;
    const Pixel* source = window.image.Row(area.top) + area.left;
    SDL_ConvertPixels(area.Width(), area.Height(), SDL_PIXELFORMAT_ARGB8888, source,
                      window.image.Width() * static_cast<int>(sizeof(Pixel)), surface->format->format, target,
                      surface->pitch);
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    const SDL_Rect rect{area.left, area.top, area.Width(), area.Height()};
    SDL_UpdateWindowSurfaceRects(sdl, &rect, 1);
}

// --- events -------------------------------------------------------------------------------------

bool SdlWindowSystem::NativePollEvent() {
    const bool restacked = m_TopLayer->Pump();
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0)
        return restacked;
    HandleEvent(event);
    return true;
}

void SdlWindowSystem::NativeWait(std::optional<std::int64_t> deadline) {
    std::int64_t timeout = WaitSliceMs;
    if (deadline)
        timeout = std::clamp<std::int64_t>(*deadline - Milliseconds(), 0, WaitSliceMs);
    if (timeout > 0)
        SDL_WaitEventTimeout(nullptr, static_cast<int>(timeout));
}

void SdlWindowSystem::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        // Ctrl-C or the session ending: the program stops as if closed.
        Terminate();
        return;
    case SDL_WINDOWEVENT:
        if (const WindowId id = FromSdlId(event.window.windowID))
            HandleWindowEvent(id, event.window.event);
        return;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button != SDL_BUTTON_LEFT)
            return;
        m_PressWindow = FromSdlId(event.button.windowID);
        // The second press of a double-click is the double-click; its release clicks nothing.
        if (event.button.clicks >= 2 && event.button.clicks % 2 == 0 && m_PressWindow != 0)
            DeliverDoubleClick(m_PressWindow, Point{event.button.x, event.button.y});
        return;
    case SDL_MOUSEBUTTONUP: {
        if (event.button.button != SDL_BUTTON_LEFT)
            return;
        const WindowId id = FromSdlId(event.button.windowID);
        const bool sameWindow = id != 0 && id == m_PressWindow;
        m_PressWindow = 0;
        if (sameWindow && event.button.clicks % 2 == 1)
            DeliverClick(id, Point{event.button.x, event.button.y});
        return;
    }
    case SDL_KEYDOWN:
        DeliverKey(KeyOf(event.key.keysym.sym));
        return;
    default:
        return;
    }
}

void SdlWindowSystem::HandleWindowEvent(WindowId window, int kind) {
    switch (kind) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // The server keeps no copy of our pixels: paint again what it lost.
        Invalidate(window);
        return;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        DeliverActivated(window, true);
        return;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        DeliverActivated(window, false);
        return;
    case SDL_WINDOWEVENT_MINIMIZED:
        DeliverMinimized();
        return;
    case SDL_WINDOWEVENT_RESTORED:
        if (IsApplicationMinimized())
            DeliverRestored();
        return;
    case SDL_WINDOWEVENT_CLOSE:
        // The desktop asks a window to close: a message box is answered, the program ends.
        if (Kind(window) == WindowKind::MessageBox)
            CloseMessageBox(window);
        else
            Terminate();
        return;
    default:
        return;
    }
}

} // namespace ws::platform
