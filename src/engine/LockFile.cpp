#include "engine/LockFile.h"

#include "engine/Errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ws::engine {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<LockFile>> files;
};

Registry& Files() {
    static Registry registry;
    return registry;
}

} // namespace

std::shared_ptr<LockFile> LockFile::For(const std::string& tablePath, bool mayCreate) {
    Registry& registry = Files();
    std::lock_guard lock(registry.mutex);
    if (auto existing = registry.files[tablePath].lock())
        return existing;
    const std::string path = tablePath + ".lck";
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (mayCreate ? O_CREAT : 0), 0666);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    // A directory we may not write to gives no lock file: locks then hold within this process only,
    // which is all a reader of such a directory can need.
    std::shared_ptr<LockFile> file(new LockFile(fd));
    registry.files[tablePath] = file;
    return file;
}

LockFile::~LockFile() {
    if (m_Fd >= 0)
        ::close(m_Fd);
}

bool LockFile::SetLock(std::int64_t offset, short type) {
    if (m_Fd < 0)
        return true;
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = 1;
    for (;;) {
        if (::fcntl(m_Fd, F_SETLK, &fl) == 0)
            return true;
        if (errno != EINTR)
            return type == F_UNLCK || (errno == EBADF && type == F_RDLCK);
    }
}

EngineStatus LockFile::OpenTable(std::uint32_t owner, bool exclusive) {
    std::lock_guard lock(m_Mutex);
    for (const auto& [other, otherExclusive] : m_Openers) {
        if (other != owner && (exclusive || otherExclusive))
            return Errors::Fail(esTableInUse);
    }
    const bool first = m_Openers.empty();
    if ((first || exclusive) && !SetLock(0, exclusive ? F_WRLCK : F_RDLCK))
        return Errors::Fail(esTableInUse);
    m_Openers[owner] = exclusive;
    return esOk;
}

void LockFile::CloseTable(std::uint32_t owner) {
    std::lock_guard lock(m_Mutex);
    auto it = m_Openers.find(owner);
    if (it == m_Openers.end())
        return;
    const bool wasExclusive = it->second;
    m_Openers.erase(it);
    if (m_Openers.empty())
        SetLock(0, F_UNLCK);
    else if (wasExclusive)
        SetLock(0, F_RDLCK);
}

EngineStatus LockFile::LockRecord(std::int64_t rowId, std::uint32_t owner) {
    std::lock_guard lock(m_Mutex);
    if (auto it = m_Records.find(rowId); it != m_Records.end())
        return it->second == owner ? esOk : Errors::Fail(esRecordLocked);
    if (m_Fd >= 0 && !SetLock(rowId, F_WRLCK))
        return Errors::Fail(esRecordLocked, {}, errno);
    m_Records[rowId] = owner;
    return esOk;
}

void LockFile::UnlockRecord(std::int64_t rowId, std::uint32_t owner) {
    std::lock_guard lock(m_Mutex);
    auto it = m_Records.find(rowId);
    if (it == m_Records.end() || it->second != owner)
        return;
    SetLock(rowId, F_UNLCK);
    m_Records.erase(it);
}

void LockFile::UnlockAll(std::uint32_t owner) {
    std::lock_guard lock(m_Mutex);
    for (auto it = m_Records.begin(); it != m_Records.end();) {
        if (it->second == owner) {
            SetLock(it->first, F_UNLCK);
            it = m_Records.erase(it);
        } else {
            ++it;
        }
    }
}

bool LockFile::IsLockedBy(std::int64_t rowId, std::uint32_t owner) {
    std::lock_guard lock(m_Mutex);
    auto it = m_Records.find(rowId);
    return it != m_Records.end() && it->second == owner;
}

} // namespace ws::engine
