#include "platform/NamedMutex.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// A named mutex is a lock file in the user's runtime directory. Every handle is its own open
// file with a shared flock on it, so the kernel forgets a handle the moment its process ends,
// killed or not. "Already exists" means another open file holds a shared lock, which we learn by
// trying for an exclusive one. Creating and closing both run under an exclusive lock on a guard
// file, so the test-then-hold and the last-holder-removes steps are never interleaved.

namespace ws::platform {

namespace {

constexpr std::string_view kAppDirectory = "wallscreen";
constexpr std::size_t kMaxPlainFileName = 200;

// Closes a descriptor when it leaves scope.
class FdCloser {
public:
    explicit FdCloser(int fd) : m_Fd(fd) {}
    ~FdCloser() {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int Get() const { return m_Fd; }
    int Release() { return std::exchange(m_Fd, -1); }

private:
    int m_Fd;
};

int FlockRetrying(int fd, int operation) {
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Creates 'path' as a directory private to this user, or accepts the one there if it is one.
// A symbolic link, someone else's directory or a plain file is refused: /tmp is shared ground.
bool EnsurePrivateDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        return false;
    return true;
}

bool IsOwnDirectory(const char* path) {
    struct stat st {};
    return path[0] == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

std::uint64_t Fnv1a(std::string_view text, std::uint64_t basis) {
    std::uint64_t hash = basis;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Letters, digits, '-' and '_' stand for themselves, every other byte becomes %XX, so distinct
// names give distinct file names and none can leave the directory. A name too long for a file
// name keeps a readable prefix and adds a 128-bit hash of the whole name.
std::string FileNameFor(std::string_view name) {
    std::string escaped = "m-";
    for (unsigned char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_';
        if (plain) {
            escaped += static_cast<char>(c);
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        escaped += hex;
    }
    if (escaped.size() <= kMaxPlainFileName)
        return escaped;
    char hash[40];
    std::snprintf(hash, sizeof hash, "%016llx%016llx",
                  static_cast<unsigned long long>(Fnv1a(name, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(Fnv1a(name, 0x84222325cbf29ce4ULL)));
    std::string prefix = escaped.substr(2, 64);
    std::size_t percent = prefix.rfind('%');
    if (percent != std::string::npos && percent + 3 > prefix.size())
        prefix.resize(percent); // never cut an escape in half
    return "h-" + prefix + "-" + hash;
}

int OpenGuard(const std::string& directory) {
    std::string path = directory + "/.guard";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    if (FlockRetrying(fd, LOCK_EX) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string DirectoryOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

} // namespace

std::string UserRuntimeDirectory(std::string_view subdirectory) {
    std::string base;
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && IsOwnDirectory(xdg))
        base = std::string(xdg) + "/" + std::string(kAppDirectory);
    else
        base = "/tmp/" + std::string(kAppDirectory) + "-" + std::to_string(::geteuid());
    if (!EnsurePrivateDirectory(base))
        return {};
    if (subdirectory.empty())
        return base;
    std::string path = base + "/" + std::string(subdirectory);
    if (!EnsurePrivateDirectory(path))
        return {};
    return path;
}

std::string DisplayKey(std::string_view display) {
    const std::size_t colon = display.rfind(':');
    if (colon == std::string_view::npos || colon + 1 >= display.size())
        return std::string(display);
    std::string_view host = display.substr(0, colon);
    std::string_view number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos)
        return std::string(display);
    if (host == "unix")
        host = {};
    // "01" and "1" are the same display.
    number.remove_prefix(std::min(number.find_first_not_of('0'), number.size() - 1));
    return std::string(host) + ":" + std::string(number);
}

std::string DisplayScopeDirectory(std::string_view display) {
    const std::string uid = std::to_string(::geteuid());
    const std::string runUser = "/run/user/" + uid;
    const std::string base = IsOwnDirectory(runUser.c_str())
                                 ? runUser + "/" + std::string(kAppDirectory)
                                 : "/tmp/" + std::string(kAppDirectory) + "-" + uid;
    if (!EnsurePrivateDirectory(base))
        return {};
    // "display-N" for this machine's display N, "display-HOST-N" for another's; FileNameFor's
    // escaping keeps every key apart and inside the directory.
    const std::string key = DisplayKey(display);
    const std::size_t colon = key.rfind(':');
    std::string name;
    if (colon == std::string::npos || key.find_first_not_of("0123456789", colon + 1) != std::string::npos)
        name = "other-" + FileNameFor(key).substr(2);
    else if (colon == 0)
        name = "display-" + key.substr(1);
    else
        name = "display-" + FileNameFor(key.substr(0, colon)).substr(2) + "-" + key.substr(colon + 1);
    const std::string path = base + "/" + name;
    if (!EnsurePrivateDirectory(path))
        return {};
    return path;
}

NamedMutex::Creation NamedMutex::Create(std::string_view name) {
    return Create(name, std::string());
}

NamedMutex::Creation NamedMutex::Create(std::string_view name, const std::string& where) {
    if (name.empty())
        return Creation{std::unique_ptr<NamedMutex>(new NamedMutex({}, {}, -1)), false};

    std::string directory = where.empty() ? UserRuntimeDirectory("mutex") : where;
    if (directory.empty() || !EnsurePrivateDirectory(directory))
        return {};
    FdCloser guard(OpenGuard(directory));
    if (guard.Get() < 0)
        return {};

    std::string path = directory + "/" + FileNameFor(name);
    FdCloser fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.Get() < 0)
        return {};

    bool alreadyExists = false;
    if (FlockRetrying(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds it: ours is new. Step down to a shared lock so later handles can join.
        if (FlockRetrying(fd.Get(), LOCK_SH) != 0)
            return {};
    } else {
        if (errno != EWOULDBLOCK || FlockRetrying(fd.Get(), LOCK_SH | LOCK_NB) != 0)
            return {};
        alreadyExists = true;
    }
    auto handle = std::unique_ptr<NamedMutex>(new NamedMutex(std::string(name), path, fd.Release()));
    return Creation{std::move(handle), alreadyExists};
}

NamedMutex::NamedMutex(std::string name, std::string path, int fd)
    : m_Name(std::move(name)), m_Path(std::move(path)), m_Fd(fd) {}

NamedMutex::~NamedMutex() {
    if (m_Fd < 0)
        return;
    // The last holder removes the file so the directory does not fill up with dead names. A
    // file left behind (guard unavailable, a killed holder) is harmless: nobody holds it.
    FdCloser guard(OpenGuard(DirectoryOf(m_Path)));
    if (guard.Get() >= 0 && FlockRetrying(m_Fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(m_Path.c_str());
    ::close(m_Fd);
}

} // namespace ws::platform
