#pragma once

#include "engine/Status.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace ws::engine {

// Record and table locks of one table, shared by all cursors of this process on it.
//
// Across processes the locks are byte-range locks on the side file "Name.DB.lck": byte 0 is the
// table's open lock (read lock = shared, write lock = exclusive), byte n the lock of row id n.
// The system drops such locks when the process that held them ends, however it ends. Inside the
// process a table of owners keeps two cursors from sharing one lock, since byte-range locks are
// held per process.
class LockFile {
public:
    // The lock file of a table, opened once per process (closing any descriptor of the file
    // would drop every lock this process holds on it).
    static std::shared_ptr<LockFile> For(const std::string& tablePath, bool mayCreate);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    EngineStatus OpenTable(std::uint32_t owner, bool exclusive);
    void CloseTable(std::uint32_t owner);

    // Fails at once with esRecordLocked when another cursor or process holds the row.
    EngineStatus LockRecord(std::int64_t rowId, std::uint32_t owner);
    void UnlockRecord(std::int64_t rowId, std::uint32_t owner);
    void UnlockAll(std::uint32_t owner);
    bool IsLockedBy(std::int64_t rowId, std::uint32_t owner);

private:
    explicit LockFile(int fd) : m_Fd(fd) {}
    bool SetLock(std::int64_t offset, short type);

    int m_Fd = -1;
    std::mutex m_Mutex;
    std::map<std::int64_t, std::uint32_t> m_Records;
    std::map<std::uint32_t, bool> m_Openers; // owner -> exclusive
};

} // namespace ws::engine
