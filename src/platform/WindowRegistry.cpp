#include "platform/WindowRegistry.h"

#include "base/Exception.h"
#include "platform/NamedMutex.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

// Layout of the registry directory: one subdirectory per owning registry object, named
// "<pid>-<nonce>", holding
//   lock     exclusively flocked by the owner for its whole life: a process that ended, however
//            it ended, has no lock left, and its entry is removed by the next reader;
//   sock     a datagram socket on which requests arrive;
//   windows  the owner's windows, replaced as a whole by rename so readers never see half of it.
// A new entry is built under ".new-<name>" and renamed into place only when its lock is held, so
// a reader never mistakes an entry under construction for a dead one. Entries being removed are
// first renamed to ".old-<name>-<nonce>", which also settles which of two readers removes them.
//
// A requester that wants an answer sends one end of a fresh socket pair with its request; the
// owner writes '1' (carried out) or '0' to it. If the owner ends before answering, the kernel
// closes that end and the requester sees end-of-file at once instead of waiting out its time.

namespace ws::platform {

namespace {

constexpr std::string_view kHeader = "wallscreen-windows 1";
constexpr std::string_view kRequestTag = "ws-request";
constexpr std::size_t kMaxWindowsFile = 1 << 20;
constexpr std::size_t kMaxRequestsPerPoll = 64;
constexpr auto kStaleAge = std::chrono::seconds(30);

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_Fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_Fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            m_Fd = other.Release();
        }
        return *this;
    }
    int Get() const { return m_Fd; }
    int Release() { return std::exchange(m_Fd, -1); }
    void Reset() {
        if (m_Fd >= 0)
            ::close(m_Fd);
        m_Fd = -1;
    }

private:
    int m_Fd = -1;
};

std::string NewNonce() {
    std::random_device device;
    std::uint64_t value = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// "<pid>-<16 hex digits>": anything else in the directory is not an entry of ours.
bool ParseOwnerName(std::string_view name, int& pid) {
    std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || name.size() != dash + 17)
        return false;
    pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9')
            return false;
        pid = pid * 10 + (c - '0');
    }
    for (char c : name.substr(dash + 1))
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return pid > 0;
}

std::string HexEncode(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string hex = "x";
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> HexDecode(std::string_view hex) {
    if (hex.empty() || hex[0] != 'x' || hex.size() % 2 == 0)
        return std::nullopt;
    std::string text;
    for (std::size_t i = 1; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        text += static_cast<char>(high * 16 + low);
    }
    return text;
}

bool ParseId(std::string_view text, RegistryWindowId& id) {
    if (text.empty() || text.size() > 19)
        return false;
    id = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        id = id * 10 + static_cast<RegistryWindowId>(c - '0');
    }
    return id != 0;
}

std::vector<std::string_view> SplitSpaces(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos)
            end = line.size();
        parts.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// One line per window: "<id> <0|1> x<hex of text>". Lines that do not read are skipped; the
// file is another process's output and is taken as untrusted.
std::vector<RegisteredWindow> ParseWindows(std::string_view content) {
    std::vector<RegisteredWindow> windows;
    std::size_t newline = content.find('\n');
    if (newline == std::string_view::npos || content.substr(0, newline) != kHeader)
        return windows;
    content.remove_prefix(newline + 1);
    while (!content.empty()) {
        newline = content.find('\n');
        std::string_view line = content.substr(0, newline);
        content.remove_prefix(newline == std::string_view::npos ? content.size() : newline + 1);
        auto parts = SplitSpaces(line);
        RegisteredWindow window;
        if (parts.size() != 3 || !ParseId(parts[0], window.window) || (parts[1] != "0" && parts[1] != "1"))
            continue;
        auto text = HexDecode(parts[2]);
        if (!text)
            continue;
        window.text = std::move(*text);
        window.minimised = parts[1] == "1";
        windows.push_back(std::move(window));
    }
    return windows;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0)
        return std::nullopt;
    std::string content;
    std::array<char, 4096> buffer;
    while (content.size() <= kMaxWindowsFile) {
        ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return content;
        content.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Removes an entry directory and the files we put there; anything else found inside stays, and
// so does the directory then.
void RemoveEntryDirectory(const std::string& path) {
    for (const char* file : {"lock", "sock", "windows", "windows.tmp"})
        ::unlink((path + "/" + file).c_str());
    ::rmdir(path.c_str());
}

// Whether the entry's owner still lives: its lock file is held exclusively.
bool OwnerAlive(const std::string& entryPath) {
    UniqueFd lock(::open((entryPath + "/lock").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (lock.Get() < 0)
        return false;
    int rc;
    do {
        rc = ::flock(lock.Get(), LOCK_SH | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc != 0 && errno == EWOULDBLOCK;
}

// Takes a dead entry out of the way first, so two readers never remove the same one twice.
void RemoveDeadEntry(const std::string& directory, const std::string& name) {
    std::string doomed = directory + "/.old-" + name + "-" + NewNonce();
    if (::rename((directory + "/" + name).c_str(), doomed.c_str()) == 0)
        RemoveEntryDirectory(doomed);
}

// Leftovers of owners that ended while setting up or of readers that ended while removing.
void RemoveStaleLeftover(const std::string& directory, const std::string& name) {
    std::string path = directory + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    auto age = std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(st.st_mtime);
    if (age < kStaleAge || OwnerAlive(path))
        return;
    RemoveDeadEntry(directory, name);
}

const char* RequestWord(WindowRequestKind kind) {
    switch (kind) {
    case WindowRequestKind::Restore:
        return "restore";
    case WindowRequestKind::BringToTop:
        return "raise";
    case WindowRequestKind::SetForeground:
        return "foreground";
    }
    return "";
}

std::optional<WindowRequest> ParseRequest(std::string_view message) {
    auto parts = SplitSpaces(message);
    WindowRequest request;
    if (parts.size() != 3 || parts[0] != kRequestTag || !ParseId(parts[1], request.window))
        return std::nullopt;
    for (auto kind :
         {WindowRequestKind::Restore, WindowRequestKind::BringToTop, WindowRequestKind::SetForeground}) {
        if (parts[2] == RequestWord(kind)) {
            request.kind = kind;
            return request;
        }
    }
    return std::nullopt;
}

// Receives one datagram with at most one passed descriptor; any further descriptors are closed.
bool ReceiveRequest(int socket, std::string& message, UniqueFd& reply) {
    std::array<char, 256> buffer;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int) * 4)> control;
    iovec io{buffer.data(), buffer.size()};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    header.msg_control = control.data();
    header.msg_controllen = control.size();
    ssize_t n;
    do {
        n = ::recvmsg(socket, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (reply.Get() < 0)
                reply = UniqueFd(fd);
            else
                ::close(fd);
        }
    }
    bool truncated = (header.msg_flags & MSG_TRUNC) != 0;
    message.assign(buffer.data(), truncated ? 0 : static_cast<std::size_t>(n));
    return true;
}

} // namespace

WindowRegistry::WindowRegistry() : m_Directory(UserRuntimeDirectory("windows")) {}

WindowRegistry::WindowRegistry(std::string directory) : m_Directory(std::move(directory)) {}

WindowRegistry::~WindowRegistry() {
    Close();
}

void WindowRegistry::Open() {
    if (m_Directory.empty())
        throw EOSError("The window registry has no private runtime directory");
    std::string name = std::to_string(::getpid()) + "-" + NewNonce();
    std::string building = m_Directory + "/.new-" + name;
    sockaddr_un address{};
    if (!FillAddress(m_Directory + "/" + name + "/sock", address) ||
        !FillAddress(building + "/sock", address))
        throw EOSError("The window registry's directory path is too long: " + m_Directory);
    ::mkdir(m_Directory.c_str(), 0700); // a directory given by the caller may not exist yet
    if (::mkdir(building.c_str(), 0700) != 0)
        throw EOSError("Cannot create a window registry entry in " + m_Directory + ": " +
                       std::strerror(errno));

    UniqueFd lock(
        ::open((building + "/lock").c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    bool ok = lock.Get() >= 0 && ::flock(lock.Get(), LOCK_EX | LOCK_NB) == 0 && socket.Get() >= 0 &&
              ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
              Publish(building);
    // A bound socket keeps working under the directory's new name: peers look it up by inode.
    ok = ok && ::rename(building.c_str(), (m_Directory + "/" + name).c_str()) == 0;
    if (!ok) {
        int error = errno;
        RemoveEntryDirectory(building);
        throw EOSError("Cannot set up a window registry entry in " + m_Directory + ": " +
                       std::strerror(error));
    }
    m_OwnerName = name;
    m_LockFd = lock.Release();
    m_Socket = socket.Release();
}

bool WindowRegistry::Publish(const std::string& entryPath) const {
    std::string content(kHeader);
    content += '\n';
    for (const Entry& entry : m_Entries)
        content +=
            std::to_string(entry.id) + (entry.minimised ? " 1 " : " 0 ") + HexEncode(entry.text) + "\n";
    std::string temporary = entryPath + "/windows.tmp";
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.Get() < 0 || !WriteAll(fd.Get(), content))
        return false;
    fd.Reset();
    return ::rename(temporary.c_str(), (entryPath + "/windows").c_str()) == 0;
}

// The registry only helps other processes find us; failing to update it must not disturb the
// window itself, so updates after registration do not throw.
void WindowRegistry::Republish() {
    if (!m_OwnerName.empty())
        Publish(m_Directory + "/" + m_OwnerName);
}

void WindowRegistry::Close() {
    if (!m_OwnerName.empty())
        RemoveDeadEntry(m_Directory, m_OwnerName);
    if (m_Socket >= 0)
        ::close(m_Socket);
    if (m_LockFd >= 0)
        ::close(m_LockFd);
    m_Socket = -1;
    m_LockFd = -1;
    m_OwnerName.clear();
}

WindowRegistry::Entry* WindowRegistry::FindEntry(RegistryWindowId window) {
    for (Entry& entry : m_Entries)
        if (entry.id == window)
            return &entry;
    return nullptr;
}

RegistryWindowId WindowRegistry::Register(std::string_view text, bool minimised) {
    if (m_OwnerName.empty())
        Open();
    m_Entries.push_back(Entry{m_NextId, std::string(text), minimised});
    if (!Publish(m_Directory + "/" + m_OwnerName)) {
        m_Entries.pop_back();
        throw EOSError("Cannot write the window registry in " + m_Directory + ": " + std::strerror(errno));
    }
    return m_NextId++;
}

void WindowRegistry::Unregister(RegistryWindowId window) {
    std::erase_if(m_Entries, [window](const Entry& entry) { return entry.id == window; });
    Republish();
}

void WindowRegistry::SetText(RegistryWindowId window, std::string_view text) {
    Entry* entry = FindEntry(window);
    if (entry == nullptr || entry->text == text)
        return;
    entry->text = std::string(text);
    Republish();
}

void WindowRegistry::SetMinimised(RegistryWindowId window, bool minimised) {
    Entry* entry = FindEntry(window);
    if (entry == nullptr || entry->minimised == minimised)
        return;
    entry->minimised = minimised;
    Republish();
}

std::size_t WindowRegistry::Poll(const RequestHandler& apply) {
    std::size_t handled = 0;
    while (m_Socket >= 0 && handled < kMaxRequestsPerPoll) {
        std::string message;
        UniqueFd reply;
        if (!ReceiveRequest(m_Socket, message, reply))
            break;
        ++handled;
        auto request = ParseRequest(message);
        bool done = request && FindEntry(request->window) != nullptr && apply(*request);
        if (reply.Get() >= 0)
            ::send(reply.Get(), done ? "1" : "0", 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    return handled;
}

std::vector<RegisteredWindow> WindowRegistry::ReadEntry(const std::string& name) const {
    int pid = 0;
    if (!ParseOwnerName(name, pid))
        return {};
    std::string path = m_Directory + "/" + name;
    if (!OwnerAlive(path)) {
        RemoveDeadEntry(m_Directory, name);
        return {};
    }
    auto content = ReadSmallFile(path + "/windows");
    if (!content)
        return {};
    auto windows = ParseWindows(*content);
    for (RegisteredWindow& window : windows) {
        window.pid = pid;
        window.owner = name;
    }
    return windows;
}

std::vector<RegisteredWindow> WindowRegistry::LiveWindows() const {
    std::vector<std::string> names;
    if (DIR* directory = m_Directory.empty() ? nullptr : ::opendir(m_Directory.c_str())) {
        while (const dirent* item = ::readdir(directory))
            names.emplace_back(item->d_name);
        ::closedir(directory);
    }
    std::vector<RegisteredWindow> windows;
    for (const std::string& name : names) {
        if (name.starts_with(".new-") || name.starts_with(".old-")) {
            RemoveStaleLeftover(m_Directory, name);
            continue;
        }
        auto entry = ReadEntry(name);
        windows.insert(windows.end(), std::make_move_iterator(entry.begin()),
                       std::make_move_iterator(entry.end()));
    }
    return windows;
}

std::optional<RegisteredWindow> WindowRegistry::Find(std::string_view text) const {
    if (text.empty())
        return std::nullopt;
    for (RegisteredWindow& window : LiveWindows())
        if (window.text == text)
            return std::move(window);
    return std::nullopt;
}

bool WindowRegistry::IsIconic(const RegisteredWindow& window) const {
    for (const RegisteredWindow& current : ReadEntry(window.owner))
        if (current.window == window.window)
            return current.minimised;
    return false;
}

bool WindowRegistry::Restore(const RegisteredWindow& window, std::chrono::milliseconds wait) const {
    return Send(window, WindowRequestKind::Restore, wait);
}

bool WindowRegistry::BringToTop(const RegisteredWindow& window, std::chrono::milliseconds wait) const {
    return Send(window, WindowRequestKind::BringToTop, wait);
}

bool WindowRegistry::SetForeground(const RegisteredWindow& window, std::chrono::milliseconds wait) const {
    return Send(window, WindowRequestKind::SetForeground, wait);
}

namespace {

// Waits for the owner's one-byte answer; end-of-file means it ended or dropped the request.
bool AwaitAnswer(int fd, std::chrono::milliseconds wait) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd item{fd, POLLIN, 0};
        int rc = ::poll(&item, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return false;
        char answer = 0;
        ssize_t n = ::recv(fd, &answer, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return n == 1 && answer == '1';
    }
}

} // namespace

bool WindowRegistry::Send(const RegisteredWindow& window, WindowRequestKind kind,
                          std::chrono::milliseconds wait) const {
    int pid = 0;
    sockaddr_un address{};
    if (m_Directory.empty() || !ParseOwnerName(window.owner, pid) ||
        !FillAddress(m_Directory + "/" + window.owner + "/sock", address))
        return false;
    std::string message =
        std::string(kRequestTag) + " " + std::to_string(window.window) + " " + RequestWord(kind);
    iovec io{message.data(), message.size()};
    msghdr header{};
    header.msg_name = &address;
    header.msg_namelen = sizeof address;
    header.msg_iov = &io;
    header.msg_iovlen = 1;

    // Our own thread is the one that must poll for a request to this object, so never wait then.
    bool awaitAnswer = wait.count() > 0 && window.owner != m_OwnerName;
    UniqueFd mine;
    UniqueFd theirs;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
    if (awaitAnswer) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        mine = UniqueFd(pair[0]);
        theirs = UniqueFd(pair[1]);
        header.msg_control = control.data();
        header.msg_controllen = control.size();
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        int fd = theirs.Get();
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket.Get() < 0)
        return false;
    ssize_t sent;
    do {
        sent = ::sendmsg(socket.Get(), &header, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0)
        return false;
    theirs.Reset(); // the owner's copy is in flight; ours must go or we would never see end-of-file
    return !awaitAnswer || AwaitAnswer(mine.Get(), wait);
}

} // namespace ws::platform
