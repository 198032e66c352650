#include "platform/HeadlessWindowSystem.h"

#include "base/Exception.h"
#include "platform/WindowRegistry.h"

#include <algorithm>
#include <poll.h>

namespace ws::platform {

TDateTime HeadlessWindowSystem::Virtual::Now() const {
    return MSecsToDateTime(m_Owner.m_StartMSecs + m_Owner.m_Now);
}

HeadlessWindowSystem::HeadlessWindowSystem(HeadlessOptions options)
    : m_Screen(options.screen), m_StartMSecs(DateTimeToMSecs(options.start)), m_Clock(*this) {
    if (options.installClock) {
        m_PreviousClock = SetCurrentClock(&m_Clock);
        m_ClockInstalled = true;
    }
    if (options.registryDirectory) {
        AttachRegistry(options.registryDirectory->empty()
                           ? std::make_unique<WindowRegistry>()
                           : std::make_unique<WindowRegistry>(*options.registryDirectory));
    }
}

HeadlessWindowSystem::~HeadlessWindowSystem() {
    DestroyAllWindows();
    if (m_ClockInstalled)
        SetCurrentClock(m_PreviousClock);
}

// --- time -------------------------------------------------------------------------------------

void HeadlessWindowSystem::AdvanceTime(std::int64_t ms) {
    const std::int64_t target = m_Now + std::max<std::int64_t>(ms, 0);
    ProcessMessages();
    while (!Terminated()) {
        const auto due = NextTimerDue();
        if (!due || *due > target)
            break;
        // A nested call may already have moved the clock past this tick; time never goes back.
        m_Now = std::max(m_Now, *due);
        ProcessMessages();
    }
    m_Now = std::max(m_Now, target);
    ProcessMessages();
}

void HeadlessWindowSystem::SetDateTime(TDateTime now) {
    m_StartMSecs = DateTimeToMSecs(now) - m_Now;
}

// --- synthetic input ----------------------------------------------------------------------------

void HeadlessWindowSystem::Post(std::function<void()> input) {
    m_Input.push_back(std::move(input));
    ProcessMessages();
}

void HeadlessWindowSystem::Click(WindowId topLevel, Point at) {
    Post([this, topLevel, at] { DeliverClick(topLevel, at); });
}

void HeadlessWindowSystem::DoubleClick(WindowId topLevel, Point at) {
    m_Input.push_back([this, topLevel, at] { DeliverClick(topLevel, at); });
    Post([this, topLevel, at] { DeliverDoubleClick(topLevel, at); });
}

void HeadlessWindowSystem::PressKey(Key key) {
    Post([this, key] { DeliverKey(key); });
}

void HeadlessWindowSystem::Activate(WindowId topLevel, bool active) {
    Post([this, topLevel, active] { DeliverActivated(topLevel, active); });
}

void HeadlessWindowSystem::UserMinimize() {
    Post([this] { DeliverMinimized(); });
}

void HeadlessWindowSystem::UserRestore() {
    Post([this] { DeliverRestored(); });
}

bool HeadlessWindowSystem::NativePollEvent() {
    if (m_Input.empty())
        return false;
    auto input = std::move(m_Input.front());
    m_Input.pop_front();
    input();
    return true;
}

void HeadlessWindowSystem::NativeWait(std::optional<std::int64_t> deadline) {
    if (!m_Input.empty())
        return;
    if (deadline) {
        // Nothing happens between now and the next tick, so virtual time jumps there.
        m_Now = std::max(m_Now, *deadline);
        return;
    }
    const WindowRegistry* registry = Registry();
    if (registry == nullptr || registry->RequestFd() < 0) {
        throw EInvalidOperation("The headless event loop waits for nothing: no timer runs, no input is "
                                "queued and no other process can send a request");
    }
    // Only another process can wake us: wait for its request in real time.
    pollfd fd{registry->RequestFd(), POLLIN, 0};
    ::poll(&fd, 1, 100);
}

// --- message boxes ------------------------------------------------------------------------------

void HeadlessWindowSystem::RunMessageBox(WindowId box, const MessageBoxRequest& request) {
    m_Boxes.push_back(Box{request, Bounds(box)});
    ProcessMessages(); // the box is painted before anyone answers it
    if (m_Responder) {
        Responder responder = m_Responder;
        responder(request);
    }
}

// --- the screen -----------------------------------------------------------------------------------

void HeadlessWindowSystem::NativeCreate(Window&) {}

void HeadlessWindowSystem::NativeDestroy(Window& window) {
    m_Stack.erase(std::remove(m_Stack.begin(), m_Stack.end(), window.id), m_Stack.end());
    m_Presents.erase(window.id);
    if (m_Foreground == window.id)
        m_Foreground = m_Stack.empty() ? 0 : m_Stack.back();
}

void HeadlessWindowSystem::NativeSetShown(Window& window, bool shown) {
    m_Stack.erase(std::remove(m_Stack.begin(), m_Stack.end(), window.id), m_Stack.end());
    if (shown) {
        m_Stack.push_back(window.id);
        return;
    }
    if (m_Foreground == window.id)
        m_Foreground = 0;
}

void HeadlessWindowSystem::NativeSetTopMost(Window&, bool) {
    // ScreenOrder() sorts by layer; nothing to keep here.
}

void HeadlessWindowSystem::PlaceOnTop(WindowId window) {
    auto it = std::find(m_Stack.begin(), m_Stack.end(), window);
    if (it == m_Stack.end())
        return;
    m_Stack.erase(it);
    m_Stack.push_back(window);
}

void HeadlessWindowSystem::NativeRaise(Window& window, bool activate) {
    PlaceOnTop(window.id);
    if (activate)
        m_Foreground = window.id;
}

void HeadlessWindowSystem::NativePresent(Window& window, const Rect&) {
    ++m_Presents[window.id];
}

std::vector<WindowId> HeadlessWindowSystem::ScreenOrder() const {
    // Windows in the top-most layer are above all others; inside a layer the order is the
    // order in which windows were shown or raised.
    std::vector<WindowId> order = m_Stack;
    std::stable_partition(order.begin(), order.end(), [this](WindowId id) { return !IsInTopMostLayer(id); });
    return order;
}

int HeadlessWindowSystem::PresentCount(WindowId topLevel) const {
    auto it = m_Presents.find(topLevel);
    return it == m_Presents.end() ? 0 : it->second;
}

} // namespace ws::platform
