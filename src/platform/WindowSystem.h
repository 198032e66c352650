#pragma once

// The window system the program runs on: top-level and child windows, painting through
// off-screen images, clicks, keyboard focus, timers, modal message boxes and the event loop.
//
// This class holds everything that does not depend on a display: the window tree, hit-testing,
// the paint pass, focus, timers, message boxes, the event loop and the cross-process window
// registry. A backend (headless, SDL) derives from it and supplies the native side through the
// protected hooks. Everything runs on one thread, the user-interface thread.
//
// Coordinates: a top-level window's bounds are in screen pixels; a child's bounds are relative
// to its parent's top-left corner; points and rectangles handed to a window's handlers are in
// that window's own coordinates.

#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/MessageBoxRequest.h"
#include "platform/TimerQueue.h"
#include "platform/WindowEvents.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::platform {

class WindowRegistry;
enum class WindowRequestKind;

using WindowId = std::uint32_t; // 0 is no window

enum class WindowKind {
    Application, // zero-size, never seen; carries the program's text and task-bar entry
    Popup,       // a borderless top-level window
    MessageBox,  // one of the program's modal boxes
    Child,       // a control inside another window
};

// How the program was asked to show itself when it was started.
enum class StartupShow { Normal, Maximized, MinimizedNoActivate };

class WindowSystem {
public:
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;
    virtual ~WindowSystem();

    virtual const char* Name() const = 0;
    virtual Size ScreenSize() const = 0;
    // Milliseconds on the system's own steady clock (virtual for the headless system).
    virtual std::int64_t Milliseconds() const = 0;

    // --- windows ------------------------------------------------------------------------------
    // The program's application window; at most one. It is never visible and is never painted.
    WindowId CreateApplicationWindow(std::string_view text);
    WindowId ApplicationWindow() const { return m_Application; }
    // A borderless top-level window, hidden until shown.
    WindowId CreatePopup(const Rect& bounds, WindowEvents events, std::string_view text = {});
    // A control inside 'parent', hidden until shown, above its existing siblings.
    WindowId CreateChild(WindowId parent, const Rect& bounds, WindowEvents events);
    // Destroys the window and everything inside it. Unknown ids are ignored.
    void Destroy(WindowId window);

    bool Exists(WindowId window) const { return m_Windows.contains(window); }
    WindowKind Kind(WindowId window) const;
    WindowId Parent(WindowId window) const;
    WindowId TopLevelOf(WindowId window) const;
    // Children from the bottom of the z-order to the top.
    const std::vector<WindowId>& Children(WindowId window) const;

    void SetEvents(WindowId window, WindowEvents events);
    void SetBounds(WindowId window, const Rect& bounds);
    Rect Bounds(WindowId window) const;
    void SetText(WindowId window, std::string_view text);
    const std::string& Text(WindowId window) const;

    // The window's own visibility flag.
    void SetVisible(WindowId window, bool visible);
    bool IsVisible(WindowId window) const;
    // Visible itself, inside visible parents, and the program not minimised.
    bool IsShowing(WindowId window) const;

    // Top-most top-level windows stay above every window that is not top-most. While one of the
    // program's message boxes is open they leave that layer, so the box can be seen.
    void SetTopMost(WindowId window, bool topMost);
    bool IsTopMost(WindowId window) const;
    bool IsInTopMostLayer(WindowId window) const;
    // A child goes to the top of its siblings; a top-level window to the top of the screen's
    // window order (with 'activate', it also becomes the foreground window).
    void BringToFront(WindowId window, bool activate = false);

    // Minimising the program hides its top-level windows; restoring shows again those that
    // were visible, puts the top-most ones back in their layer and returns the keyboard focus
    // to the window that had it.
    void MinimizeApplication();
    void RestoreApplication();
    bool IsApplicationMinimized() const { return m_Minimized; }
    void SetApplicationEvents(ApplicationEvents events) { m_AppEvents = std::move(events); }
    StartupShow StartupShowRequest() const { return m_StartupShow; }
    void SetStartupShowRequest(StartupShow request) { m_StartupShow = request; }

    // --- keyboard focus ---------------------------------------------------------------------
    // Moves the focus (0: nowhere); the window losing it hears focusLeave first.
    void SetFocus(WindowId window);
    WindowId Focus() const { return m_Focus; }

    // --- painting ---------------------------------------------------------------------------
    // Marks part of a window (in its coordinates; all of it by default) for repainting.
    void Invalidate(WindowId window, std::optional<Rect> area = std::nullopt);
    // Paints the window's top-level window now if any of it is marked.
    void Update(WindowId window);
    // The off-screen image of a top-level window, as last painted.
    const Image& WindowImage(WindowId topLevel) const;
    // Called after each paint pass, once the image has reached the screen.
    using PresentListener = std::function<void(WindowId topLevel, const Image& image, const Rect& painted)>;
    void SetPresentListener(PresentListener listener) { m_PresentListener = std::move(listener); }

    // --- input ------------------------------------------------------------------------------
    // The visible window under 'at' (top-level coordinates): the top-most visible child that
    // contains it, searched down the tree, else the top-level window itself. 'local' receives
    // the point in the found window's coordinates.
    WindowId HitTest(WindowId topLevel, Point at, Point* local = nullptr) const;

    // --- timers -----------------------------------------------------------------------------
    TimerId SetTimer(unsigned intervalMs, std::function<void()> callback);
    bool KillTimer(TimerId timer);

    // --- posted tasks -----------------------------------------------------------------------
    // Runs 'task' from the event loop (or a message box's modal loop) once the handler that
    // posts it has returned, in the order posted. An exception from it goes to the error reporter.
    void PostTask(std::function<void()> task) { m_Tasks.push_back(std::move(task)); }

    // --- message boxes ----------------------------------------------------------------------
    // Shows a modal box centred on the screen and returns when OK is pressed or the program is
    // terminated. Timers and paints are dispatched meanwhile; clicks on the program's other
    // windows are not.
    void ShowMessageBox(const MessageBoxRequest& request);
    bool IsMessageBoxOpen() const { return !m_Boxes.empty(); }

    // --- event loop -------------------------------------------------------------------------
    // Dispatches messages until Terminate() is called.
    void Run();
    void Terminate() { m_Terminated = true; }
    // Withdraws a terminate request once its loop is over, so that a box shown afterwards (a
    // failed start-up's own error box) waits for its answer instead of closing at once.
    void CancelTerminate() { m_Terminated = false; }
    bool Terminated() const { return m_Terminated; }
    // Dispatches one pending message (input, a cross-process request, a posted task, a paint or
    // a due timer tick, in that order of precedence) without waiting. False when nothing was
    // pending.
    bool ProcessOneMessage();
    // Dispatches what is pending now, each due timer at most once, without waiting.
    void ProcessMessages();
    // An exception escaping a handler that the loop dispatched goes to this reporter, and the
    // loop goes on; without one it propagates out of the loop.
    using ErrorReporter = std::function<void(const std::exception& error)>;
    void SetErrorReporter(ErrorReporter reporter) { m_ErrorReporter = std::move(reporter); }

    // --- cross-process window registry -------------------------------------------------------
    // Top-level windows (the application window and pop-ups) are entered into 'registry', which
    // this system owns from now on; requests from other processes are carried out by the loop.
    void AttachRegistry(std::unique_ptr<WindowRegistry> registry);
    WindowRegistry* Registry() const { return m_Registry.get(); }
    // Where the copies of a program on this window system meet: a private directory holding the
    // single-instance mutex ("mutex") and the window registry ("windows"), one per X display.
    // Empty (the headless system): the user's runtime directory holds them.
    const std::string& InstanceScope() const { return m_InstanceScope; }
    void SetInstanceScope(std::string directory) { m_InstanceScope = std::move(directory); }

protected:
    struct Window {
        WindowId id = 0;
        WindowKind kind = WindowKind::Child;
        WindowId parent = 0;
        std::vector<WindowId> children;
        Rect bounds;
        bool visible = false;
        bool topMost = false;
        std::string text;
        WindowEvents events;
        // Top-level windows only.
        Image image;
        Rect dirty;
        bool nativeShown = false;
        bool inTopMostLayer = false;
        WindowId lastFocus = 0; // where the focus goes back to when the window is activated
        std::uint64_t registryId = 0;
        void* native = nullptr; // the backend's handle
    };

    WindowSystem();

    // Backend hooks; they are called for top-level windows only.
    virtual void NativeCreate(Window& window) = 0;
    virtual void NativeDestroy(Window& window) = 0;
    virtual void NativeSetBounds(Window& window) = 0;
    virtual void NativeSetShown(Window& window, bool shown) = 0;
    virtual void NativeSetText(Window& window) = 0;
    virtual void NativeSetTopMost(Window& window, bool inLayer) = 0;
    virtual void NativeRaise(Window& window, bool activate) = 0;
    // Copies the painted part of the window's image to the screen in one step.
    virtual void NativePresent(Window& window, const Rect& painted) = 0;
    // Takes one native input event, dispatching it through the Deliver* calls below; false when
    // none is pending.
    virtual bool NativePollEvent() = 0;
    // Blocks until a native event may be pending or the deadline (on Milliseconds()) has come.
    virtual void NativeWait(std::optional<std::int64_t> deadline) = 0;
    // Runs the modal loop of an open box until it is answered; the default dispatches messages
    // until CloseMessageBox(box) or Terminate().
    virtual void RunMessageBox(WindowId box, const MessageBoxRequest& request);

    // For backends: input arriving on a top-level window (in its coordinates).
    void DeliverClick(WindowId topLevel, Point at);
    void DeliverDoubleClick(WindowId topLevel, Point at);
    void DeliverKey(Key key);
    void DeliverActivated(WindowId topLevel, bool active);
    // The user minimised or restored a window through the desktop.
    void DeliverMinimized();
    void DeliverRestored();
    void CloseMessageBox(WindowId box);

    Window* Find(WindowId window);
    const Window* Find(WindowId window) const;
    Window& Get(WindowId window);
    const Window& Get(WindowId window) const;
    std::vector<WindowId> TopLevelWindows() const;
    // The innermost open message box, or 0.
    WindowId ActiveMessageBox() const { return m_Boxes.empty() ? 0 : m_Boxes.back(); }
    // Runs a handler; exceptions go to the error reporter when there is one.
    void Guarded(const std::function<void()>& action);
    // Paints one marked top-level window; false when none is marked.
    bool PaintOne();
    std::optional<std::int64_t> NextTimerDue() const { return m_Timers.NextDue(); }
    bool DispatchTimer();
    // Runs the oldest posted task; false when none is waiting.
    bool RunPostedTask();

    // Subclasses call this at the end of their destructor, while the hooks can still run.
    void DestroyAllWindows();

private:
    WindowId AddWindow(Window window);
    void RemoveTree(WindowId window);
    Point AbsoluteOrigin(WindowId window) const;
    Rect VisibleAreaInTopLevel(WindowId window) const;
    void PaintTree(Window& top, WindowId window, Point origin, const Rect& clip);
    void SyncNativeShown(Window& window);
    void SyncTopMostLayer();
    bool InputAllowed(WindowId topLevel) const;
    // A click or a double-click: to the window under the point, with the handler named.
    void DeliverPointer(WindowId topLevel, Point at, std::function<void(Point)> WindowEvents::*handler);
    bool IsInside(WindowId window, WindowId ancestor) const;
    void RegistryAdd(Window& window);
    void RegistryUpdate(const Window& window);
    bool PollRegistry();
    bool ApplyRequest(WindowId window, WindowRequestKind kind);
    void RemoveMessageBox(WindowId box);

    std::map<WindowId, std::unique_ptr<Window>> m_Windows;
    WindowId m_NextId = 1;
    WindowId m_Application = 0;
    WindowId m_Focus = 0;
    WindowId m_FocusBeforeMinimize = 0;
    bool m_Minimized = false;
    bool m_Terminated = false;
    StartupShow m_StartupShow = StartupShow::Normal;
    std::vector<WindowId> m_Boxes;
    std::vector<WindowId> m_ClosedBoxes;
    std::deque<std::function<void()>> m_Tasks;
    TimerQueue m_Timers;
    ApplicationEvents m_AppEvents;
    PresentListener m_PresentListener;
    ErrorReporter m_ErrorReporter;
    std::unique_ptr<WindowRegistry> m_Registry;
    std::map<std::uint64_t, WindowId> m_ByRegistryId;
    std::string m_InstanceScope;
};

} // namespace ws::platform
