#pragma once

// A window system without a display: in-process and deterministic. Time is virtual and moves
// only when a test (or a tool) says so; input is synthetic; message boxes are recorded and
// answered by a responder. Pictures are painted exactly as on a real screen, into each
// top-level window's image.

#include "platform/Clock.h"
#include "platform/WindowSystem.h"

#include <deque>
#include <map>
#include <optional>
#include <string>

namespace ws::platform {

struct HeadlessOptions {
    Size screen{1920, 2000};
    // The local date and time at which the virtual clock starts.
    TDateTime start = 45292.5; // 2024-01-01 12:00:00.000
    // The cross-process window registry to enter top-level windows in: none by default, so that
    // tests never see each other's windows; an empty string for this user's registry.
    std::optional<std::string> registryDirectory;
    // Installs the virtual clock as the process's current clock while the system lives.
    bool installClock = true;
};

class HeadlessWindowSystem final : public WindowSystem {
public:
    explicit HeadlessWindowSystem(HeadlessOptions options = {});
    ~HeadlessWindowSystem() override;

    const char* Name() const override { return "headless"; }
    Size ScreenSize() const override { return m_Screen; }
    void SetScreenSize(Size screen) { m_Screen = screen; }
    std::int64_t Milliseconds() const override { return m_Now; }

    // --- the virtual clock --------------------------------------------------------------------
    Clock& VirtualClock() { return m_Clock; }
    TDateTime Now() const { return m_Clock.Now(); }
    // Moves time forward by 'ms', dispatching on the way every timer tick that falls due, each
    // with the clock set to its due time, and the paints they cause. Handlers may call it again
    // (a message box responder does, to let ticks run while its box is open).
    void AdvanceTime(std::int64_t ms);
    // Sets the local date and time; the milliseconds timers count on do not move.
    void SetDateTime(TDateTime now);

    // --- synthetic input, dispatched at once with whatever it causes ----------------------------
    void Click(WindowId topLevel, Point at);
    // The click of the first press, then the double-click.
    void DoubleClick(WindowId topLevel, Point at);
    void PressKey(Key key);
    // The desktop activates or deactivates a top-level window (keyboard focus comes or goes).
    void Activate(WindowId topLevel, bool active);
    // The user minimises or restores the program through the desktop.
    void UserMinimize();
    void UserRestore();

    // --- message boxes -----------------------------------------------------------------------
    struct Box {
        MessageBoxRequest request;
        Rect bounds;
    };
    const std::vector<Box>& MessageBoxes() const { return m_Boxes; }
    // Runs while the box is open (inside its modal loop); returning presses OK. The default
    // presses OK at once.
    using Responder = std::function<void(const MessageBoxRequest& request)>;
    void SetMessageBoxResponder(Responder responder) { m_Responder = std::move(responder); }

    // --- what a screen would show ------------------------------------------------------------
    // Shown top-level windows from the bottom of the screen's window order to the top.
    std::vector<WindowId> ScreenOrder() const;
    WindowId Foreground() const { return m_Foreground; }
    // Paint passes that reached the screen for a top-level window.
    int PresentCount(WindowId topLevel) const;

protected:
    void NativeCreate(Window& window) override;
    void NativeDestroy(Window& window) override;
    void NativeSetBounds(Window&) override {}
    void NativeSetShown(Window& window, bool shown) override;
    void NativeSetText(Window&) override {}
    void NativeSetTopMost(Window& window, bool inLayer) override;
    void NativeRaise(Window& window, bool activate) override;
    void NativePresent(Window& window, const Rect& painted) override;
    bool NativePollEvent() override;
    void NativeWait(std::optional<std::int64_t> deadline) override;
    void RunMessageBox(WindowId box, const MessageBoxRequest& request) override;

private:
    class Virtual final : public Clock {
    public:
        explicit Virtual(const HeadlessWindowSystem& owner) : m_Owner(owner) {}
        TDateTime Now() const override;

    private:
        const HeadlessWindowSystem& m_Owner;
    };

    void Post(std::function<void()> input);
    void PlaceOnTop(WindowId window);

    Size m_Screen;
    std::int64_t m_Now = 0;
    std::int64_t m_StartMSecs = 0; // local date and time at m_Now == 0, in milliseconds
    Virtual m_Clock;
    Clock* m_PreviousClock = nullptr;
    bool m_ClockInstalled = false;
    std::deque<std::function<void()>> m_Input;
    std::vector<Box> m_Boxes;
    Responder m_Responder;
    std::vector<WindowId> m_Stack; // shown windows, bottom first
    WindowId m_Foreground = 0;
    std::map<WindowId, int> m_Presents;
};

} // namespace ws::platform
