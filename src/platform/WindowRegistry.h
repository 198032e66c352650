#pragma once

// Registry of the top-level windows of every process of this user, so that one process can find
// another's window by its text and ask it to come forward (the single-instance guard's job).
//
// Owner side: a window system registers each top-level window (text, minimised state) and keeps
// the entry current. Other processes send requests (restore, bring to top, make foreground); the
// owner's event loop watches RequestFd() and calls Poll(), which hands each request to the window
// system and reports the outcome back to the requester.
//
// Requester side: Find() looks a window up by its exact text; Restore(), BringToTop() and
// SetForeground() send a request and, by default, wait up to one second until the owner has
// carried it out (a zero wait sends and returns at once). Windows of processes that have ended are
// never found, and their entries are removed by whoever notices them first.
//
// One registry object belongs to one thread (the user-interface thread).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::platform {

using RegistryWindowId = std::uint64_t; // unique within the owning process; 0 is no window

enum class WindowRequestKind { Restore, BringToTop, SetForeground };

// A request for one of this process's registered windows.
struct WindowRequest {
    RegistryWindowId window = 0;
    WindowRequestKind kind = WindowRequestKind::Restore;
};

// A window found in the registry: a snapshot taken when it was found.
struct RegisteredWindow {
    int pid = 0;                 // owning process
    RegistryWindowId window = 0; // id within the owning process
    std::string text;
    bool minimised = false;
    std::string owner; // the owning process's registry entry (opaque)
};

class WindowRegistry {
public:
    static constexpr std::chrono::milliseconds DefaultWait{1000};

    // The registry of this user (UserRuntimeDirectory("windows")), or the one in 'directory',
    // which should be private to this user and is created if missing (tests use their own).
    WindowRegistry();
    explicit WindowRegistry(std::string directory);
    // Withdraws every window this object registered.
    ~WindowRegistry();

    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;

    // --- owner side ------------------------------------------------------------------------
    // Registers a top-level window; throws EOSError when the registry cannot be written.
    RegistryWindowId Register(std::string_view text, bool minimised);
    void Unregister(RegistryWindowId window);
    void SetText(RegistryWindowId window, std::string_view text);
    void SetMinimised(RegistryWindowId window, bool minimised);

    // Readable while requests are pending; -1 before the first window is registered.
    int RequestFd() const { return m_Socket; }
    // Takes every pending request without blocking and hands each one for a window of this
    // object to 'apply', which returns whether it carried it out; the requester learns that
    // answer. Returns the number of requests handled.
    using RequestHandler = std::function<bool(const WindowRequest&)>;
    std::size_t Poll(const RequestHandler& apply);

    // --- requester side --------------------------------------------------------------------
    // A top-level window of any live process (this one included) whose text equals 'text'
    // exactly; an empty text finds nothing.
    std::optional<RegisteredWindow> Find(std::string_view text) const;
    // The window's current minimised state; false once the window or its process is gone.
    bool IsIconic(const RegisteredWindow& window) const;
    // True when the owner carried the request out within 'wait' (with a zero wait: when the
    // request was delivered). A request to a window of this same process is only queued, since
    // this thread is the one that must poll for it.
    bool Restore(const RegisteredWindow& window, std::chrono::milliseconds wait = DefaultWait) const;
    bool BringToTop(const RegisteredWindow& window, std::chrono::milliseconds wait = DefaultWait) const;
    bool SetForeground(const RegisteredWindow& window, std::chrono::milliseconds wait = DefaultWait) const;

    const std::string& Directory() const { return m_Directory; }

private:
    struct Entry {
        RegistryWindowId id = 0;
        std::string text;
        bool minimised = false;
    };

    void Open();
    bool Publish(const std::string& entryPath) const;
    void Republish();
    void Close();
    Entry* FindEntry(RegistryWindowId window);
    bool Send(const RegisteredWindow& window, WindowRequestKind kind, std::chrono::milliseconds wait) const;
    std::vector<RegisteredWindow> ReadEntry(const std::string& name) const;
    std::vector<RegisteredWindow> LiveWindows() const;

    std::string m_Directory;
    std::string m_OwnerName; // this process's entry below m_Directory, once open
    int m_LockFd = -1;       // held exclusively while this process's entry lives
    int m_Socket = -1;       // where requests arrive
    RegistryWindowId m_NextId = 1;
    std::vector<Entry> m_Entries;
};

} // namespace ws::platform
