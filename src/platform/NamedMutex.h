#pragma once

// A named marker shared by every process of the same user: the single-instance guard creates it
// under the program's title and asks whether it existed already. It is never waited on or locked
// in the usual sense; it exists for as long as some live process holds a handle to it.

#include <memory>
#include <string>
#include <string_view>

namespace ws::platform {

class NamedMutex {
public:
    struct Creation {
        std::unique_ptr<NamedMutex> handle; // null when the mutex could not be created
        bool alreadyExists = false;         // some live handle (this process or another) held the name
    };

    // Creates the mutex 'name' or opens the one that exists. Either way a usable handle comes back;
    // 'alreadyExists' tells which. Of several processes creating the same name at the same instant
    // exactly one sees alreadyExists == false. An empty name makes an unnamed mutex that is always
    // new. Any name is allowed (spaces, slashes, any length): it is mapped to a safe file name.
    static Creation Create(std::string_view name);
    // The same in 'directory' (created if missing, private to this user) instead of the user's
    // runtime directory; an empty 'directory' is the runtime directory.
    static Creation Create(std::string_view name, const std::string& directory);

    // Closing the handle; the name disappears once its last holder closes it or ends, however
    // the process ends (the kernel drops the lock of a killed process).
    ~NamedMutex();

    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    const std::string& Name() const { return m_Name; }

private:
    NamedMutex(std::string name, std::string path, int fd);

    std::string m_Name;
    std::string m_Path; // lock file; empty for an unnamed mutex
    int m_Fd = -1;
};

// The per-user directory for the lock files and sockets of this program: $XDG_RUNTIME_DIR/wallscreen
// when XDG_RUNTIME_DIR names a usable directory, else /tmp/wallscreen-<uid>. 'subdirectory' is created
// beneath it. Every level is checked to be a real directory (no symbolic link) owned by this user and
// closed to others. Returns an empty string when no such directory can be had.
std::string UserRuntimeDirectory(std::string_view subdirectory);

// The X display a DISPLAY value names, the same for every way of writing it: "[host]:number",
// without the screen; a host of "unix" or none is this machine (":0", "unix:0.1" -> ":0"). A
// value that does not parse is kept as it is.
std::string DisplayKey(std::string_view display);

// The private directory where the copies of this program on one X display meet, whatever
// XDG_RUNTIME_DIR each was started with: below /run/user/<uid>/wallscreen when that is this
// user's, else below /tmp/wallscreen-<uid>, a subdirectory "display-..." per DisplayKey.
// Checked as UserRuntimeDirectory's; empty when it cannot be had.
std::string DisplayScopeDirectory(std::string_view display);

} // namespace ws::platform
