#include "platform/WindowSystem.h"

#include "base/Exception.h"
#include "platform/Journal.h"
#include "platform/MessageBoxView.h"
#include "platform/PixelCanvas.h"
#include "platform/WindowRegistry.h"

#include <algorithm>

namespace ws::platform {

namespace {

Rect Union(const Rect& a, const Rect& b) {
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

bool IsTopLevelKind(WindowKind kind) {
    return kind != WindowKind::Child;
}

// Copies a handler before calling it, so that a handler may replace or destroy its own window.
template <typename Handler, typename... Args>
void Call(const Handler& handler, Args... args) {
    if (!handler)
        return;
    Handler copy = handler;
    copy(args...);
}

} // namespace

WindowSystem::WindowSystem() : m_Timers([this] { return Milliseconds(); }) {}

WindowSystem::~WindowSystem() = default;

// --- windows ----------------------------------------------------------------------------------

WindowId WindowSystem::AddWindow(Window window) {
    const WindowId id = m_NextId++;
    window.id = id;
    auto owned = std::make_unique<Window>(std::move(window));
    Window& w = *owned;
    m_Windows[id] = std::move(owned);
    if (w.kind == WindowKind::Child) {
        Get(w.parent).children.push_back(id);
        return id;
    }
    try {
        NativeCreate(w);
    } catch (...) {
        m_Windows.erase(id);
        throw;
    }
    RegistryAdd(w);
    return id;
}

WindowId WindowSystem::CreateApplicationWindow(std::string_view text) {
    if (m_Application != 0)
        throw EInvalidOperation("The application window exists already");
    Window w;
    w.kind = WindowKind::Application;
    const Size screen = ScreenSize();
    w.bounds = Rect{screen.cx / 2, screen.cy / 2, screen.cx / 2, screen.cy / 2};
    w.text = std::string(text);
    m_Application = AddWindow(std::move(w));
    return m_Application;
}

WindowId WindowSystem::CreatePopup(const Rect& bounds, WindowEvents events, std::string_view text) {
    Window w;
    w.kind = WindowKind::Popup;
    w.bounds = bounds;
    w.text = std::string(text);
    w.events = std::move(events);
    return AddWindow(std::move(w));
}

WindowId WindowSystem::CreateChild(WindowId parent, const Rect& bounds, WindowEvents events) {
    const Window& p = Get(parent);
    if (p.kind == WindowKind::Application)
        throw EInvalidOperation("The application window cannot hold controls");
    Window w;
    w.kind = WindowKind::Child;
    w.parent = parent;
    w.bounds = bounds;
    w.events = std::move(events);
    return AddWindow(std::move(w));
}

void WindowSystem::Destroy(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr)
        return;
    if (w->kind == WindowKind::Child) {
        if (IsShowing(window))
            Invalidate(w->parent, w->bounds);
        auto& siblings = Get(w->parent).children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    }
    RemoveTree(window);
}

void WindowSystem::RemoveTree(WindowId window) {
    Window& w = Get(window);
    for (WindowId child : std::vector<WindowId>(w.children))
        RemoveTree(child);
    if (m_Focus == window)
        m_Focus = 0; // a window being destroyed hears nothing more
    if (m_FocusBeforeMinimize == window)
        m_FocusBeforeMinimize = 0;
    for (auto& [id, other] : m_Windows) {
        if (other->lastFocus == window)
            other->lastFocus = 0;
    }
    if (IsTopLevelKind(w.kind)) {
        if (w.registryId != 0 && m_Registry) {
            m_Registry->Unregister(w.registryId);
            m_ByRegistryId.erase(w.registryId);
        }
        NativeDestroy(w);
    }
    if (m_Application == window)
        m_Application = 0;
    m_Windows.erase(window);
}

void WindowSystem::DestroyAllWindows() {
    for (WindowId id : TopLevelWindows())
        Destroy(id);
}

WindowKind WindowSystem::Kind(WindowId window) const {
    return Get(window).kind;
}

WindowId WindowSystem::Parent(WindowId window) const {
    return Get(window).parent;
}

WindowId WindowSystem::TopLevelOf(WindowId window) const {
    const Window* w = &Get(window);
    while (w->kind == WindowKind::Child)
        w = &Get(w->parent);
    return w->id;
}

const std::vector<WindowId>& WindowSystem::Children(WindowId window) const {
    return Get(window).children;
}

void WindowSystem::SetEvents(WindowId window, WindowEvents events) {
    Get(window).events = std::move(events);
}

void WindowSystem::SetBounds(WindowId window, const Rect& bounds) {
    Window& w = Get(window);
    if (w.bounds == bounds)
        return;
    if (w.kind == WindowKind::Child) {
        // The parent repaints where the child was, the child where it is now.
        if (IsShowing(window))
            Invalidate(w.parent, w.bounds);
        w.bounds = bounds;
        Invalidate(window);
        return;
    }
    w.bounds = bounds;
    NativeSetBounds(w);
    Invalidate(window);
}

Rect WindowSystem::Bounds(WindowId window) const {
    return Get(window).bounds;
}

void WindowSystem::SetText(WindowId window, std::string_view text) {
    Window& w = Get(window);
    if (w.text == text)
        return;
    w.text = std::string(text);
    if (w.kind == WindowKind::Child)
        return;
    NativeSetText(w);
    RegistryUpdate(w);
}

const std::string& WindowSystem::Text(WindowId window) const {
    return Get(window).text;
}

void WindowSystem::SetVisible(WindowId window, bool visible) {
    if (Get(window).visible == visible)
        return;
    // A hidden window cannot keep the keyboard focus; its leave handler may even destroy it.
    if (!visible && m_Focus != 0 && IsInside(m_Focus, window)) {
        SetFocus(0);
        if (!Exists(window))
            return;
    }
    Window& w = Get(window);
    if (w.kind == WindowKind::Child) {
        if (!visible && IsShowing(window))
            Invalidate(w.parent, w.bounds);
        w.visible = visible;
        if (visible)
            Invalidate(window);
        return;
    }
    w.visible = visible;
    SyncNativeShown(w);
}

bool WindowSystem::IsVisible(WindowId window) const {
    return Get(window).visible;
}

bool WindowSystem::IsShowing(WindowId window) const {
    const Window* w = &Get(window);
    while (w->kind == WindowKind::Child) {
        if (!w->visible)
            return false;
        w = &Get(w->parent);
    }
    return w->visible && w->kind != WindowKind::Application &&
           (!m_Minimized || w->kind == WindowKind::MessageBox);
}

void WindowSystem::SyncNativeShown(Window& window) {
    // A message box stays up while the program is minimised: it is waiting for an answer.
    const bool shown = window.kind != WindowKind::Application && window.visible &&
                       (!m_Minimized || window.kind == WindowKind::MessageBox);
    if (window.nativeShown == shown)
        return;
    window.nativeShown = shown;
    NativeSetShown(window, shown);
    if (!shown)
        return;
    window.inTopMostLayer = false; // a newly shown window enters its layer afresh
    SyncTopMostLayer();
    Invalidate(window.id);
}

void WindowSystem::SetTopMost(WindowId window, bool topMost) {
    Window& w = Get(window);
    if (w.kind == WindowKind::Child || w.topMost == topMost)
        return;
    w.topMost = topMost;
    SyncTopMostLayer();
}

bool WindowSystem::IsTopMost(WindowId window) const {
    return Get(window).topMost;
}

bool WindowSystem::IsInTopMostLayer(WindowId window) const {
    return Get(window).inTopMostLayer;
}

void WindowSystem::SyncTopMostLayer() {
    const WindowId box = ActiveMessageBox();
    for (WindowId id : TopLevelWindows()) {
        Window& w = Get(id);
        // While a box is open it alone holds the layer, so that a top-most main window cannot
        // hide it.
        const bool inLayer = box == 0 ? w.topMost : id == box;
        if (w.inTopMostLayer == inLayer)
            continue;
        w.inTopMostLayer = inLayer;
        NativeSetTopMost(w, inLayer);
    }
}

void WindowSystem::BringToFront(WindowId window, bool activate) {
    Window& w = Get(window);
    if (w.kind == WindowKind::Child) {
        auto& siblings = Get(w.parent).children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
        siblings.push_back(window);
        Invalidate(window);
        return;
    }
    if (w.kind == WindowKind::Application) {
        // Bringing the program forward brings its shown windows forward.
        for (WindowId id : TopLevelWindows()) {
            Window& top = Get(id);
            if (top.nativeShown)
                NativeRaise(top, activate);
        }
        return;
    }
    if (w.nativeShown)
        NativeRaise(w, activate);
}

void WindowSystem::MinimizeApplication() {
    if (m_Minimized)
        return;
    m_FocusBeforeMinimize = m_Focus;
    SetFocus(0);
    m_Minimized = true;
    for (WindowId id : TopLevelWindows())
        SyncNativeShown(Get(id));
    if (m_Application != 0)
        RegistryUpdate(Get(m_Application));
    Call(m_AppEvents.minimized);
}

void WindowSystem::RestoreApplication() {
    if (!m_Minimized)
        return;
    m_Minimized = false;
    for (WindowId id : TopLevelWindows())
        SyncNativeShown(Get(id));
    if (m_Application != 0)
        RegistryUpdate(Get(m_Application));
    const WindowId focus = m_FocusBeforeMinimize;
    m_FocusBeforeMinimize = 0;
    if (focus != 0 && Exists(focus) && IsShowing(focus))
        SetFocus(focus);
    Call(m_AppEvents.restored);
}

std::vector<WindowId> WindowSystem::TopLevelWindows() const {
    std::vector<WindowId> result;
    for (const auto& [id, w] : m_Windows) {
        if (IsTopLevelKind(w->kind))
            result.push_back(id);
    }
    return result;
}

// --- focus ------------------------------------------------------------------------------------

void WindowSystem::SetFocus(WindowId window) {
    if (window != 0 && !Exists(window))
        return;
    if (window == m_Focus)
        return;
    const WindowId old = m_Focus;
    m_Focus = window;
    if (window != 0)
        Get(TopLevelOf(window)).lastFocus = window;
    if (const Window* w = Find(old))
        Call(w->events.focusLeave);
    // The leave handler may have moved the focus on; then this change is over.
    if (m_Focus != window)
        return;
    if (const Window* w = Find(window))
        Call(w->events.focusEnter);
}

bool WindowSystem::IsInside(WindowId window, WindowId ancestor) const {
    for (const Window* w = Find(window); w != nullptr; w = w->parent != 0 ? Find(w->parent) : nullptr) {
        if (w->id == ancestor)
            return true;
    }
    return false;
}

// --- painting ---------------------------------------------------------------------------------

Point WindowSystem::AbsoluteOrigin(WindowId window) const {
    Point origin;
    for (const Window* w = &Get(window); w->kind == WindowKind::Child; w = &Get(w->parent)) {
        origin.x += w->bounds.left;
        origin.y += w->bounds.top;
    }
    return origin;
}

Rect WindowSystem::VisibleAreaInTopLevel(WindowId window) const {
    // The window's own area, cut by every parent's.
    const Point origin = AbsoluteOrigin(window);
    const Window* w = &Get(window);
    Rect area = Rect{0, 0, w->bounds.Width(), w->bounds.Height()}.Offset(origin.x, origin.y);
    for (; w->kind == WindowKind::Child; w = &Get(w->parent)) {
        const Window& parent = Get(w->parent);
        const Point parentOrigin = AbsoluteOrigin(parent.id);
        area = area.Intersect(
            Rect{0, 0, parent.bounds.Width(), parent.bounds.Height()}.Offset(parentOrigin.x, parentOrigin.y));
    }
    return area;
}

void WindowSystem::Invalidate(WindowId window, std::optional<Rect> area) {
    const Window* w = Find(window);
    if (w == nullptr || !IsShowing(window))
        return;
    const Rect whole{0, 0, w->bounds.Width(), w->bounds.Height()};
    const Rect own = area ? area->Intersect(whole) : whole;
    const Point origin = AbsoluteOrigin(window);
    const Rect dirty = own.Offset(origin.x, origin.y).Intersect(VisibleAreaInTopLevel(window));
    if (dirty.IsEmpty())
        return;
    Window& top = Get(TopLevelOf(window));
    top.dirty = Union(top.dirty, dirty);
}

void WindowSystem::Update(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr)
        return;
    Window& top = Get(TopLevelOf(window));
    if (top.dirty.IsEmpty() || !top.nativeShown)
        return;
    const Rect dirty = top.dirty;
    top.dirty = Rect{};
    const Size size{top.bounds.Width(), top.bounds.Height()};
    if (top.image.Width() != size.cx || top.image.Height() != size.cy)
        top.image = Image(size.cx, size.cy);
    const WindowId topId = top.id;
    PaintTree(top, topId, Point{0, 0}, dirty);
    // A paint handler may have destroyed its own window.
    Window* after = Find(topId);
    if (after == nullptr || !after->nativeShown)
        return;
    NativePresent(*after, dirty);
    Call(m_PresentListener, topId, std::cref(after->image), dirty);
}

void WindowSystem::PaintTree(Window& top, WindowId window, Point origin, const Rect& clip) {
    if (clip.IsEmpty())
        return;
    const Window* w = Find(window);
    if (w == nullptr)
        return;
    if (w->events.paint) {
        PixelCanvas canvas(top.image);
        canvas.SetOrigin(origin);
        const Rect local = clip.Offset(-origin.x, -origin.y);
        canvas.SetClipRect(local);
        Call(w->events.paint, std::ref(canvas), local);
    }
    // Children paint over their parent, bottom of the z-order first.
    const std::vector<WindowId> children =
        Find(window) != nullptr ? Get(window).children : std::vector<WindowId>{};
    for (WindowId id : children) {
        const Window* child = Find(id);
        if (child == nullptr || !child->visible)
            continue;
        const Rect area = child->bounds.Offset(origin.x, origin.y);
        PaintTree(top, id, Point{area.left, area.top}, clip.Intersect(area));
    }
}

bool WindowSystem::PaintOne() {
    for (const auto& [id, w] : m_Windows) {
        if (IsTopLevelKind(w->kind) && w->nativeShown && !w->dirty.IsEmpty()) {
            Update(id);
            return true;
        }
    }
    return false;
}

const Image& WindowSystem::WindowImage(WindowId topLevel) const {
    return Get(TopLevelOf(topLevel)).image;
}

// --- input ------------------------------------------------------------------------------------

WindowId WindowSystem::HitTest(WindowId topLevel, Point at, Point* local) const {
    const Window* w = &Get(topLevel);
    Point p = at;
    for (bool descended = true; descended;) {
        descended = false;
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
            const Window& child = Get(*it);
            if (!child.visible || !child.bounds.Contains(p))
                continue;
            p = Point{p.x - child.bounds.left, p.y - child.bounds.top};
            w = &child;
            descended = true;
            break;
        }
    }
    if (local != nullptr)
        *local = p;
    return w->id;
}

bool WindowSystem::InputAllowed(WindowId topLevel) const {
    const Window* w = Find(topLevel);
    if (w == nullptr || !w->nativeShown)
        return false;
    // A modal box takes all the program's input while it is open.
    const WindowId box = ActiveMessageBox();
    return box == 0 || box == topLevel;
}

void WindowSystem::DeliverPointer(WindowId topLevel, Point at,
                                  std::function<void(Point)> WindowEvents::*handler) {
    if (!InputAllowed(topLevel))
        return;
    Point local;
    const WindowId target = HitTest(topLevel, at, &local);
    Call(Get(target).events.*handler, local);
}

void WindowSystem::DeliverClick(WindowId topLevel, Point at) {
    DeliverPointer(topLevel, at, &WindowEvents::click);
}

void WindowSystem::DeliverDoubleClick(WindowId topLevel, Point at) {
    DeliverPointer(topLevel, at, &WindowEvents::doubleClick);
}

void WindowSystem::DeliverKey(Key key) {
    const WindowId box = ActiveMessageBox();
    const WindowId target = box != 0 ? box : m_Focus;
    if (const Window* w = Find(target))
        Call(w->events.keyDown, key);
}

void WindowSystem::DeliverActivated(WindowId topLevel, bool active) {
    const Window* w = Find(topLevel);
    if (w == nullptr)
        return;
    if (!active) {
        if (m_Focus != 0 && IsInside(m_Focus, topLevel))
            SetFocus(0);
        return;
    }
    if (m_Focus != 0 && IsInside(m_Focus, topLevel))
        return;
    SetFocus(w->lastFocus != 0 ? w->lastFocus : topLevel);
}

void WindowSystem::DeliverMinimized() {
    MinimizeApplication();
}

void WindowSystem::DeliverRestored() {
    RestoreApplication();
}

// --- timers -----------------------------------------------------------------------------------

TimerId WindowSystem::SetTimer(unsigned intervalMs, std::function<void()> callback) {
    return m_Timers.Add(intervalMs, std::move(callback));
}

bool WindowSystem::KillTimer(TimerId timer) {
    return m_Timers.Kill(timer);
}

bool WindowSystem::DispatchTimer() {
    // A failing tick is reported once it has ended and its timer is rescheduled: the report's
    // modal loop, which may stay open for hours on an unattended screen, keeps this timer and
    // every other on its beat. (A tick that opens a box itself is still never run again inside
    // it.) The reporter keeps the same failure from stacking one box on another.
    bool dispatched = true; // an exception means a callback ran
    Guarded([&] { dispatched = m_Timers.DispatchOne(); });
    return dispatched;
}

bool WindowSystem::RunPostedTask() {
    if (m_Tasks.empty())
        return false;
    std::function<void()> task = std::move(m_Tasks.front());
    m_Tasks.pop_front();
    Guarded(task);
    return true;
}

// --- message boxes ----------------------------------------------------------------------------

void WindowSystem::ShowMessageBox(const MessageBoxRequest& request) {
    // Nobody may be there to read the box: the journal keeps what it said, and when.
    WriteJournal(request.caption + ": " + request.text);
    auto view = std::make_shared<MessageBoxView>(request, ScreenSize());
    Window w;
    w.kind = WindowKind::MessageBox;
    w.bounds = view->Bounds();
    w.text = request.caption;
    w.topMost = true;
    const WindowId box = AddWindow(std::move(w));
    WindowEvents& events = Get(box).events;
    events.paint = [view](PixelCanvas& canvas, const Rect&) { view->Paint(canvas); };
    events.click = [this, box, view](Point at) {
        if (view->OkButton().Contains(at))
            CloseMessageBox(box);
    };
    // Enter and Space press the OK button; Escape closes as well.
    events.keyDown = [this, box](Key key) {
        if (key != Key::Other)
            CloseMessageBox(box);
    };

    m_Boxes.push_back(box);
    try {
        SyncTopMostLayer();
        Call(m_AppEvents.messageBoxOpened);
        SetVisible(box, true);
        NativeRaise(Get(box), true);
        RunMessageBox(box, request);
    } catch (...) {
        RemoveMessageBox(box);
        throw;
    }
    RemoveMessageBox(box);
}

void WindowSystem::RemoveMessageBox(WindowId box) {
    m_Boxes.erase(std::remove(m_Boxes.begin(), m_Boxes.end(), box), m_Boxes.end());
    m_ClosedBoxes.erase(std::remove(m_ClosedBoxes.begin(), m_ClosedBoxes.end(), box), m_ClosedBoxes.end());
    Destroy(box);
    SyncTopMostLayer();
    Call(m_AppEvents.messageBoxClosed);
}

void WindowSystem::RunMessageBox(WindowId box, const MessageBoxRequest&) {
    auto closed = [&] {
        return std::find(m_ClosedBoxes.begin(), m_ClosedBoxes.end(), box) != m_ClosedBoxes.end();
    };
    while (!closed() && !m_Terminated) {
        if (!ProcessOneMessage())
            NativeWait(NextTimerDue());
    }
}

void WindowSystem::CloseMessageBox(WindowId box) {
    if (std::find(m_Boxes.begin(), m_Boxes.end(), box) == m_Boxes.end())
        return;
    m_ClosedBoxes.push_back(box);
}

// --- event loop -------------------------------------------------------------------------------

void WindowSystem::Guarded(const std::function<void()>& action) {
    if (!m_ErrorReporter) {
        action();
        return;
    }
    try {
        action();
    } catch (const std::exception& error) {
        ErrorReporter reporter = m_ErrorReporter;
        reporter(error);
    }
}

bool WindowSystem::ProcessOneMessage() {
    bool handled = false;
    Guarded([&] { handled = NativePollEvent(); });
    if (handled)
        return true;
    if (PollRegistry() || RunPostedTask())
        return true;
    Guarded([&] { handled = PaintOne(); });
    if (handled)
        return true;
    return DispatchTimer();
}

void WindowSystem::ProcessMessages() {
    // Timers are dispatched at most once each here, so that a timer whose handler takes longer
    // than its interval cannot keep this call from returning.
    const std::int64_t start = Milliseconds();
    for (;;) {
        bool handled = false;
        Guarded([&] { handled = NativePollEvent(); });
        if (handled || PollRegistry() || RunPostedTask())
            continue;
        Guarded([&] { handled = PaintOne(); });
        if (handled)
            continue;
        const auto due = m_Timers.NextDue();
        if (!due || *due > start || m_Terminated)
            return;
        DispatchTimer();
    }
}

void WindowSystem::Run() {
    while (!m_Terminated) {
        if (!ProcessOneMessage())
            NativeWait(NextTimerDue());
    }
}

// --- cross-process window registry -------------------------------------------------------------

void WindowSystem::AttachRegistry(std::unique_ptr<WindowRegistry> registry) {
    m_Registry = std::move(registry);
    for (WindowId id : TopLevelWindows())
        RegistryAdd(Get(id));
}

void WindowSystem::RegistryAdd(Window& window) {
    if (!m_Registry || window.registryId != 0)
        return;
    if (window.kind != WindowKind::Application && window.kind != WindowKind::Popup)
        return;
    const bool minimised = m_Minimized;
    try {
        window.registryId = m_Registry->Register(window.text, minimised);
        m_ByRegistryId[window.registryId] = window.id;
    } catch (const Exception&) {
        // Other programs cannot find this window; it works all the same.
        window.registryId = 0;
    }
}

void WindowSystem::RegistryUpdate(const Window& window) {
    if (!m_Registry || window.registryId == 0)
        return;
    try {
        m_Registry->SetText(window.registryId, window.text);
        m_Registry->SetMinimised(window.registryId, m_Minimized);
    } catch (const Exception&) {
        // As above: the registry is a convenience for other processes.
    }
}

bool WindowSystem::PollRegistry() {
    if (!m_Registry)
        return false;
    std::size_t handled = 0;
    Guarded([&] {
        handled = m_Registry->Poll([this](const WindowRequest& request) {
            auto it = m_ByRegistryId.find(request.window);
            if (it == m_ByRegistryId.end())
                return false;
            return ApplyRequest(it->second, request.kind);
        });
    });
    return handled > 0;
}

bool WindowSystem::ApplyRequest(WindowId window, WindowRequestKind kind) {
    if (!Exists(window))
        return false;
    switch (kind) {
    case WindowRequestKind::Restore:
        RestoreApplication();
        return true;
    case WindowRequestKind::BringToTop:
        BringToFront(window, false);
        return true;
    case WindowRequestKind::SetForeground:
        BringToFront(window, true);
        return true;
    }
    return false;
}

// --- lookup -----------------------------------------------------------------------------------

WindowSystem::Window* WindowSystem::Find(WindowId window) {
    auto it = m_Windows.find(window);
    return it == m_Windows.end() ? nullptr : it->second.get();
}

const WindowSystem::Window* WindowSystem::Find(WindowId window) const {
    auto it = m_Windows.find(window);
    return it == m_Windows.end() ? nullptr : it->second.get();
}

WindowSystem::Window& WindowSystem::Get(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr)
        throw EInvalidOperation("No such window");
    return *w;
}

const WindowSystem::Window& WindowSystem::Get(WindowId window) const {
    const Window* w = Find(window);
    if (w == nullptr)
        throw EInvalidOperation("No such window");
    return *w;
}

} // namespace ws::platform
