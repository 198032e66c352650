#include "engine/Engine.h"

#include "base/Strings.h"
#include "engine/AliasConfig.h"
#include "engine/Cursor.h"
#include "engine/Errors.h"
#include "engine/FaultInjector.h"
#include "engine/FilterEvaluator.h"
#include "engine/PgCursor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ws::engine {

namespace {

struct Database {
    std::string name;
    std::string directory;
    bool readOnly = false;
    bool server = false; // driver POSTGRES: the tables are on the server conninfo names
    std::string conninfo;
};

struct EngineState {
    std::recursive_mutex mutex;
    int startCount = 0;
    std::uint32_t nextHandle = 1;
    std::map<hDatabase, Database> databases;
    std::map<hCursor, std::unique_ptr<TableCursor>> cursors;
    std::map<std::string, AliasInfo> sessionAliases; // by upper-cased name
    std::shared_ptr<ExpressionEvaluator> evaluator;
};

EngineState& State() {
    static EngineState state;
    return state;
}

// Every operation starts here: the lock, a clean error stack, the fault seam, the start check.
class Call {
public:
    explicit Call(const char* operation) : m_Lock(State().mutex) {
        Errors::Clear();
        if (EngineStatus s = FaultInjector::Check(operation))
            m_Status = Errors::Fail(s, std::string("Injected fault in ") + operation);
        else if (State().startCount == 0)
            m_Status = Errors::Fail(esNotStarted);
    }
    EngineStatus Status() const { return m_Status; }

private:
    std::unique_lock<std::recursive_mutex> m_Lock;
    EngineStatus m_Status = esOk;
};

// The answer of an operation that did its work: a fault armed to strike after the work replaces
// a success (the work stays done, as after a failure the engine met only on its way out).
EngineStatus Finish(const char* operation, EngineStatus status) {
    const EngineStatus injected = FaultInjector::CheckAfterWork(operation);
    if (status != esOk || injected == esOk)
        return status;
    return Errors::Fail(injected, std::string("Injected fault after ") + operation);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// 0 for a directory whose files can be reached, else the errno that says why not (ENOTDIR for
// something else of that name).
int DirectoryError(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

TableCursor* FindCursor(hCursor handle) {
    auto& cursors = State().cursors;
    auto it = cursors.find(handle);
    return it == cursors.end() ? nullptr : it->second.get();
}

template <typename Fn>
EngineStatus WithCursor(const char* operation, hCursor handle, Fn&& fn) {
    Call call(operation);
    if (call.Status())
        return call.Status();
    TableCursor* cursor = FindCursor(handle);
    if (!cursor)
        return Errors::Fail(esInvalidHandle, Format("Cursor %u", handle));
    return Finish(operation, fn(*cursor));
}

// "OrderHead" or "OrderHead.DB" inside the directory; never a path of its own.
EngineStatus TableFilePath(const Database& db, const std::string& tableName, std::string& path) {
    if (tableName.empty() || tableName.find('/') != std::string::npos ||
        tableName.find('\0') != std::string::npos || tableName == "." || tableName == "..")
        return Errors::Fail(esInvalidParameter,
                            "Table name '" + tableName + "' is not a table of a directory");
    std::string file = tableName;
    const auto dot = file.rfind('.');
    if (dot == std::string::npos)
        file += ".DB";
    path = db.directory + "/" + file;
    if (::access(path.c_str(), F_OK) == 0)
        return esOk;
    // Table files often come from systems that ignore letter case in file names: "ORDERHEAD.db"
    // is the table OrderHead.DB when no file of the exact name exists.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(db.directory, ec)) {
        if (SameText(entry.path().filename().string(), file)) {
            path = entry.path().string();
            break;
        }
    }
    return esOk;
}

// The temporary files "Name.DB.new-PID" (with their logs) that a creation killed midway left
// behind: those of processes that no longer run are removed; a live one's are its own.
void RemoveStaleTemporaries(const std::string& tablePath) {
    const std::filesystem::path table(tablePath);
    const std::string prefix = table.filename().string() + ".new-";
    std::error_code ec;
    std::vector<std::filesystem::path> stale;
    for (const auto& entry : std::filesystem::directory_iterator(table.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = name.substr(prefix.size());
        std::size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
            ++digits;
        const std::string suffix = rest.substr(digits);
        if (digits == 0 || digits > 9 ||
            !(suffix.empty() || suffix == "-wal" || suffix == "-shm" || suffix == "-journal"))
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, digits)));
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        stale.push_back(entry.path());
    }
    for (const auto& path : stale)
        std::filesystem::remove(path, ec);
}

std::string BaseName(const std::string& tableName) {
    const auto dot = tableName.rfind('.');
    return dot == std::string::npos ? tableName : tableName.substr(0, dot);
}

EngineStatus ResolveAlias(const std::string& name, AliasInfo& info, std::vector<std::string>& tried) {
    if (auto it = State().sessionAliases.find(UpperCase(name)); it != State().sessionAliases.end()) {
        info = it->second;
        return esOk;
    }
    AliasConfig::Lookup lookup = AliasConfig::Find(name);
    tried = lookup.tried;
    if (!lookup.alias)
        return esUnknownAlias;
    info = *lookup.alias;
    return esOk;
}

EngineStatus FailUnknownAlias(const std::string& name, const std::vector<std::string>& tried) {
    std::string where;
    for (const std::string& path : tried) {
        where += where.empty() ? "" : ", ";
        where += path;
    }
    return Errors::Fail(esUnknownAlias, "Alias '" + name + "' is not defined; configuration looked for in: " +
                                            (where.empty() ? std::string("nowhere") : where));
}

} // namespace

void SetExpressionEvaluator(std::shared_ptr<ExpressionEvaluator> evaluator) {
    std::lock_guard lock(State().mutex);
    State().evaluator = std::move(evaluator);
}

std::shared_ptr<ExpressionEvaluator> GetExpressionEvaluator() {
    std::lock_guard lock(State().mutex);
    return State().evaluator;
}

// ---- engine --------------------------------------------------------------------------------------

EngineStatus EngineInit(std::uint16_t version) {
    std::lock_guard lock(State().mutex);
    Errors::Clear();
    if (EngineStatus s = FaultInjector::Check("EngineInit"))
        return Errors::Fail(s, "Injected fault in EngineInit");
    if (version != EngineVersion)
        return Errors::Fail(esLibraryStartFailed, Format("Engine version %u was asked for", version));
    if (State().startCount++ > 0)
        return esAlreadyStarted;
    sqlite3_initialize();
    // Expression filters are decoded by our own evaluator unless a test installed another.
    if (!State().evaluator)
        State().evaluator = std::make_shared<FilterEvaluator>();
    return esOk;
}

EngineStatus EngineExit() {
    std::lock_guard lock(State().mutex);
    Errors::Clear();
    EngineState& state = State();
    if (state.startCount == 0)
        return Errors::Fail(esNotStarted);
    if (--state.startCount == 0) {
        state.cursors.clear();
        state.databases.clear();
        state.sessionAliases.clear();
    }
    return esOk;
}

int EngineStartCount() {
    std::lock_guard lock(State().mutex);
    return State().startCount;
}

// ---- database ------------------------------------------------------------------------------------

EngineStatus GetAliasInfo(const std::string& alias, AliasInfo& info) {
    Call call("GetAliasInfo");
    if (call.Status())
        return call.Status();
    std::vector<std::string> tried;
    if (ResolveAlias(alias, info, tried))
        return FailUnknownAlias(alias, tried);
    return esOk;
}

EngineStatus AddSessionAlias(const std::string& name, const std::string& driver,
                             const std::map<std::string, std::string>& params,
                             const std::string& configuredName) {
    Call call("AddSessionAlias");
    if (call.Status())
        return call.Status();
    if (Trim(name).empty())
        return Errors::Fail(esInvalidParameter, "An alias needs a name");
    AliasInfo info;
    info.name = name;
    info.configuredName = SameText(configuredName, name) ? std::string() : configuredName;
    info.driver = UpperCase(driver.empty() ? std::string("DESKTOP") : driver);
    for (const auto& [key, value] : params)
        info.params[UpperCase(key)] = value;
    State().sessionAliases[UpperCase(name)] = info;
    return esOk;
}

EngineStatus OpenDatabase(const std::string& name, OpenMode mode, ShareMode, hDatabase& db) {
    db = 0;
    Call call("OpenDatabase");
    if (call.Status())
        return call.Status();
    Database database{name, {}, mode == OpenMode::ReadOnly, false, {}};
    AliasInfo info;
    std::vector<std::string> tried;
    if (name.find('\0') != std::string::npos)
        return Errors::Fail(esInvalidParameter, "A database name holds a NUL byte");
    if (ResolveAlias(name, info, tried) == esOk) {
        // Messages name the alias as the user configured it, not a connection's own name for it.
        const std::string alias = info.configuredName.empty() ? info.name : info.configuredName;
        database.name = alias;
        if (info.driver == "POSTGRES") {
            database.server = true;
            database.conninfo = info.params["CONNINFO"];
            if (EngineStatus s = PgConnection::CheckConnInfo(database.conninfo)) {
                Errors::AddContext("Alias '" + alias + "'");
                return s;
            }
            db = State().nextHandle++;
            State().databases[db] = database;
            return esOk;
        }
        if (info.driver != "DESKTOP")
            return Errors::Fail(esUnknownDriver, "Alias '" + alias + "' names driver '" + info.driver + "'");
        database.directory = info.params["PATH"];
        if (database.directory.find('\0') != std::string::npos)
            return Errors::Fail(esInvalidParameter,
                                "Alias '" + alias + "' names a directory whose path holds a NUL byte");
        if (database.directory.empty())
            return Errors::Fail(esUnknownDatabase, "Alias '" + alias + "' names no directory (PATH)");
        if (const int error = DirectoryError(database.directory)) {
            if (error == ENOENT || error == ENOTDIR)
                return Errors::Fail(esUnknownDatabase, "Alias '" + alias + "' names directory '" +
                                                           database.directory + "', which does not exist");
            return Errors::Fail(error == EACCES || error == EPERM ? esAccessDenied
                                : error == ENAMETOOLONG           ? esPathTooLong
                                                                  : esIOError,
                                "Alias '" + alias + "' names directory '" + database.directory +
                                    "', which cannot be reached: " + std::strerror(error),
                                error);
        }
    } else if (IsDirectory(name)) {
        database.directory = name;
    } else {
        return FailUnknownAlias(name, tried);
    }
    while (database.directory.size() > 1 && database.directory.back() == '/')
        database.directory.pop_back();
    db = State().nextHandle++;
    State().databases[db] = database;
    return esOk;
}

EngineStatus CloseDatabase(hDatabase db) {
    Call call("CloseDatabase");
    if (call.Status())
        return call.Status();
    return State().databases.erase(db) ? esOk : Errors::Fail(esInvalidHandle, Format("Database %u", db));
}

EngineStatus DatabaseDirectory(hDatabase db, std::string& directory) {
    Call call("DatabaseDirectory");
    if (call.Status())
        return call.Status();
    auto it = State().databases.find(db);
    if (it == State().databases.end())
        return Errors::Fail(esInvalidHandle, Format("Database %u", db));
    directory = it->second.directory;
    return esOk;
}

EngineStatus CreateTable(hDatabase db, const TableSpec& tableSpec) {
    Call call("CreateTable");
    if (call.Status())
        return call.Status();
    auto it = State().databases.find(db);
    if (it == State().databases.end())
        return Errors::Fail(esInvalidHandle, Format("Database %u", db));
    if (it->second.server) {
        if (it->second.readOnly)
            return Errors::Fail(esTableReadOnly, "Database '" + it->second.name + "' is open read-only");
        return PgCursor::CreateTable(it->second.conninfo, tableSpec);
    }
    std::string path;
    if (EngineStatus s = TableFilePath(it->second, tableSpec.name, path))
        return s;
    if (::access(path.c_str(), F_OK) == 0)
        return Errors::Fail(esTableExists, "Table: " + path);
    TableSpec named = tableSpec;
    named.name = BaseName(tableSpec.name);
    std::vector<std::string> statements;
    if (EngineStatus s = TableSchema::BuildCreateSql(named, statements))
        return s;
    // Built beside the final name and renamed into place, so no reader ever sees half a table.
    const std::string temp = path + Format(".new-%d", static_cast<int>(::getpid()));
    RemoveStaleTemporaries(path);
    std::remove(temp.c_str());
    {
        SqliteConnection conn;
        int rc = conn.Open(temp, false, true);
        if (rc == SQLITE_OK)
            rc = conn.Exec("PRAGMA journal_mode=WAL");
        if (rc == SQLITE_OK)
            rc = conn.Exec("BEGIN");
        for (const std::string& sql : statements) {
            if (rc == SQLITE_OK)
                rc = conn.Exec(sql);
        }
        if (rc == SQLITE_OK)
            rc = conn.Exec("COMMIT");
        if (rc != SQLITE_OK) {
            const EngineStatus s = FailFromSqlite(rc, path, conn.LastMessage());
            conn.Close();
            std::remove(temp.c_str());
            return s;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return Errors::Fail(esIOError, "Table: " + path, errno);
    }
    return esOk;
}

// ---- tables --------------------------------------------------------------------------------------

namespace {

// Opens a cursor of the driver (constructed from its handle and args) and keeps it under its
// handle. A failure on the way out closes the new cursor again: the caller never learns its handle.
template <typename Driver, typename... Args>
EngineStatus OpenCursor(const Database& db, const std::string& indexName, OpenMode mode, ShareMode share,
                        hCursor& cursor, const Args&... args) {
    if (db.readOnly && mode == OpenMode::ReadWrite)
        return Errors::Fail(esTableReadOnly, "Database '" + db.name + "' is open read-only");
    const hCursor handle = State().nextHandle++;
    auto opened = std::make_unique<Driver>(handle, args...);
    if (EngineStatus s = opened->Open(indexName, mode, share))
        return s;
    State().cursors[handle] = std::move(opened);
    if (EngineStatus s = Finish("OpenTable", esOk)) {
        State().cursors.erase(handle);
        return s;
    }
    cursor = handle;
    return esOk;
}

} // namespace

EngineStatus OpenTable(hDatabase db, const std::string& tableName, const std::string& driverType,
                       const std::string& indexName, OpenMode mode, ShareMode share, hCursor& cursor) {
    cursor = 0;
    Call call("OpenTable");
    if (call.Status())
        return call.Status();
    auto it = State().databases.find(db);
    if (it == State().databases.end())
        return Errors::Fail(esInvalidHandle, Format("Database %u", db));
    const char* driver = it->second.server ? "POSTGRES" : "DESKTOP";
    if (!driverType.empty() && !SameText(driverType, driver))
        return Errors::Fail(esUnknownDriver, "Driver type '" + driverType + "'");
    if (it->second.server) {
        if (tableName.empty() || tableName.find('\0') != std::string::npos)
            return Errors::Fail(esInvalidParameter, "Table name '" + tableName + "' is not a table name");
        return OpenCursor<PgCursor>(it->second, indexName, mode, share, cursor, it->second.conninfo,
                                    tableName);
    }
    std::string path;
    if (EngineStatus s = TableFilePath(it->second, tableName, path))
        return s;
    return OpenCursor<Cursor>(it->second, indexName, mode, share, cursor, path);
}

EngineStatus SwitchToIndex(hCursor cursor, const std::string& indexName) {
    return WithCursor("SwitchToIndex", cursor, [&](TableCursor& c) { return c.SwitchToIndex(indexName); });
}

EngineStatus GetCursorProps(hCursor cursor, CursorProps& props) {
    return WithCursor("GetCursorProps", cursor, [&](TableCursor& c) {
        props = c.Props();
        return esOk;
    });
}

EngineStatus GetFieldDescs(hCursor cursor, std::vector<FieldDesc>& fields) {
    return WithCursor("GetFieldDescs", cursor, [&](TableCursor& c) {
        fields = c.Schema().Fields();
        return esOk;
    });
}

EngineStatus GetIndexDesc(hCursor cursor, IndexDesc& index) {
    return WithCursor("GetIndexDesc", cursor, [&](TableCursor& c) {
        if (!c.ActiveIndex())
            return Errors::Fail(esUnknownIndex, "The cursor runs in physical order");
        index = *c.ActiveIndex();
        return esOk;
    });
}

EngineStatus GetIndexDescs(hCursor cursor, std::vector<IndexDesc>& indexes) {
    return WithCursor("GetIndexDescs", cursor, [&](TableCursor& c) {
        indexes = c.Schema().Indexes();
        return esOk;
    });
}

EngineStatus CloneCursor(hCursor cursor, bool readOnly, hCursor& clone) {
    clone = 0;
    std::lock_guard lock(State().mutex);
    const EngineStatus status = WithCursor("CloneCursor", cursor, [&](TableCursor& c) {
        const hCursor handle = State().nextHandle++;
        std::unique_ptr<TableCursor> copy;
        if (auto* desktop = dynamic_cast<Cursor*>(&c)) {
            auto opened = std::make_unique<Cursor>(handle, c.TablePath());
            if (EngineStatus s = opened->OpenClone(*desktop, readOnly))
                return s;
            copy = std::move(opened);
        } else {
            auto& server = dynamic_cast<PgCursor&>(c);
            auto opened = std::make_unique<PgCursor>(handle, server.ConnInfo(), c.TablePath());
            if (EngineStatus s = opened->OpenClone(server, readOnly))
                return s;
            copy = std::move(opened);
        }
        State().cursors[handle] = std::move(copy);
        clone = handle;
        return esOk;
    });
    // WithCursor answered a fault after the work: the clone it made is closed again.
    if (status != esOk && clone != 0) {
        State().cursors.erase(clone);
        clone = 0;
    }
    return status;
}

EngineStatus CloseCursor(hCursor cursor) {
    return WithCursor("CloseCursor", cursor, [&](TableCursor&) {
        State().cursors.erase(cursor);
        return esOk;
    });
}

// ---- moving --------------------------------------------------------------------------------------

EngineStatus SetToBegin(hCursor cursor) {
    return WithCursor("SetToBegin", cursor, [&](TableCursor& c) {
        c.SetToBegin();
        return esOk;
    });
}

EngineStatus SetToEnd(hCursor cursor) {
    return WithCursor("SetToEnd", cursor, [&](TableCursor& c) {
        c.SetToEnd();
        return esOk;
    });
}

EngineStatus GetNextRecord(hCursor cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("GetNextRecord", cursor,
                      [&](TableCursor& c) { return c.Read(TableCursor::Direction::Next, lock, record); });
}

EngineStatus GetPriorRecord(hCursor cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("GetPriorRecord", cursor,
                      [&](TableCursor& c) { return c.Read(TableCursor::Direction::Prior, lock, record); });
}

EngineStatus GetRecord(hCursor cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("GetRecord", cursor,
                      [&](TableCursor& c) { return c.Read(TableCursor::Direction::Current, lock, record); });
}

EngineStatus GetBookmark(hCursor cursor, std::uint8_t* bookmark) {
    return WithCursor("GetBookmark", cursor, [&](TableCursor& c) { return c.GetBookmark(bookmark); });
}

EngineStatus SetToBookmark(hCursor cursor, const std::uint8_t* bookmark) {
    return WithCursor("SetToBookmark", cursor, [&](TableCursor& c) { return c.SetToBookmark(bookmark); });
}

EngineStatus CompareBookmarks(hCursor cursor, const std::uint8_t* a, const std::uint8_t* b, int& result) {
    return WithCursor("CompareBookmarks", cursor,
                      [&](TableCursor& c) { return c.CompareBookmarks(a, b, result); });
}

EngineStatus SetToCursor(hCursor dest, hCursor source) {
    return WithCursor("SetToCursor", dest, [&](TableCursor& c) {
        TableCursor* from = FindCursor(source);
        if (!from)
            return Errors::Fail(esInvalidHandle, Format("Cursor %u", source));
        auto* desktop = dynamic_cast<Cursor*>(&c);
        auto* desktopFrom = dynamic_cast<Cursor*>(from);
        if (desktop && desktopFrom)
            return desktop->SetToCursor(*desktopFrom);
        auto* server = dynamic_cast<PgCursor*>(&c);
        auto* serverFrom = dynamic_cast<PgCursor*>(from);
        if (server && serverFrom)
            return server->SetToCursor(*serverFrom);
        return Errors::Fail(esDifferentTables, "The cursors are served by different drivers");
    });
}

EngineStatus GetRecordForKey(hCursor cursor, std::uint16_t fieldCount, std::uint16_t partialLength,
                             const std::uint8_t* keyRecord, std::uint8_t* record) {
    return WithCursor("GetRecordForKey", cursor, [&](TableCursor& c) {
        return c.GetRecordForKey(fieldCount, partialLength, keyRecord, record);
    });
}

EngineStatus ReadFirstEqual(hCursor cursor, std::uint16_t fieldNo, const std::string& text,
                            std::uint8_t* record, bool& answered, bool& found) {
    answered = false;
    found = false;
    return WithCursor("ReadFirstEqual", cursor, [&](TableCursor& c) {
        return c.ReadFirstEqual(fieldNo, text, record, answered, found);
    });
}

// ---- values --------------------------------------------------------------------------------------

EngineStatus GetField(hCursor cursor, std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                      bool& isBlank) {
    return WithCursor("GetField", cursor,
                      [&](TableCursor& c) { return c.GetField(fieldNo, record, dest, isBlank); });
}

EngineStatus PutField(hCursor cursor, std::uint16_t fieldNo, std::uint8_t* record, const void* source) {
    return WithCursor("PutField", cursor,
                      [&](TableCursor& c) { return c.PutField(fieldNo, record, source); });
}

EngineStatus InitRecord(hCursor cursor, std::uint8_t* record) {
    return WithCursor("InitRecord", cursor, [&](TableCursor& c) {
        c.BlankRecord(record);
        return esOk;
    });
}

EngineStatus ReadMemo(hCursor cursor, std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                      bool& isBlank) {
    return WithCursor("ReadMemo", cursor,
                      [&](TableCursor& c) { return c.ReadMemo(fieldNo, record, text, isBlank); });
}

EngineStatus WriteMemo(hCursor cursor, std::uint16_t fieldNo, std::uint8_t* record, const std::string& text) {
    return WithCursor("WriteMemo", cursor,
                      [&](TableCursor& c) { return c.WriteMemo(fieldNo, record, text); });
}

EngineStatus GetValue(hCursor cursor, std::uint16_t fieldNo, const std::uint8_t* record, Value& value) {
    return WithCursor("GetValue", cursor, [&](TableCursor& c) { return c.GetValue(fieldNo, record, value); });
}

EngineStatus PutValue(hCursor cursor, std::uint16_t fieldNo, std::uint8_t* record, const Value& value) {
    return WithCursor("PutValue", cursor, [&](TableCursor& c) { return c.PutValue(fieldNo, record, value); });
}

// ---- writing -------------------------------------------------------------------------------------

EngineStatus ModifyRecord(hCursor cursor, std::uint8_t* record, bool freeLock) {
    return WithCursor("ModifyRecord", cursor, [&](TableCursor& c) { return c.Modify(record, freeLock); });
}

EngineStatus InsertRecord(hCursor cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("InsertRecord", cursor, [&](TableCursor& c) { return c.Insert(lock, record); });
}

EngineStatus DeleteRecord(hCursor cursor) {
    return WithCursor("DeleteRecord", cursor, [&](TableCursor& c) { return c.Delete(); });
}

EngineStatus ReleaseLock(hCursor cursor, bool all) {
    return WithCursor("ReleaseLock", cursor, [&](TableCursor& c) { return c.ReleaseLock(all); });
}

EngineStatus IsRecordLocked(hCursor cursor, bool& locked) {
    locked = false;
    return WithCursor("IsRecordLocked", cursor, [&](TableCursor& c) {
        locked = c.IsRecordLocked();
        return esOk;
    });
}

// ---- counting ------------------------------------------------------------------------------------

EngineStatus GetExactRecordCount(hCursor cursor, std::uint32_t& count) {
    return WithCursor("GetExactRecordCount", cursor, [&](TableCursor& c) { return c.ExactCount(count); });
}

EngineStatus GetRecordCount(hCursor cursor, std::uint32_t& count) {
    return WithCursor("GetRecordCount", cursor, [&](TableCursor& c) { return c.RowCount(count); });
}

// ---- filters -------------------------------------------------------------------------------------

EngineStatus AddFilter(hCursor cursor, std::uint16_t priority, std::span<const std::uint8_t> expression,
                       hFilter& filter) {
    filter = 0;
    return WithCursor("AddFilter", cursor, [&](TableCursor& c) {
        if (!State().evaluator)
            return Errors::Fail(esFilterNotSupported, "No evaluator of expression buffers is installed");
        std::unique_ptr<CompiledFilter> compiled;
        if (EngineStatus s = State().evaluator->Compile(expression, c.Schema().Fields(), compiled))
            return Errors::Entries().empty() ? Errors::Fail(s) : s;
        if (!compiled)
            return Errors::Fail(esInvalidFilter);
        return c.AddFilter(priority, std::move(compiled), {}, filter);
    });
}

EngineStatus AddFilterCallback(hCursor cursor, std::uint16_t priority, RowCallback callback,
                               hFilter& filter) {
    filter = 0;
    return WithCursor("AddFilterCallback", cursor, [&](TableCursor& c) {
        if (!callback)
            return Errors::Fail(esInvalidParameter, "A filter needs a callback");
        return c.AddFilter(priority, nullptr, std::move(callback), filter);
    });
}

EngineStatus ActivateFilter(hCursor cursor, hFilter filter) {
    return WithCursor("ActivateFilter", cursor,
                      [&](TableCursor& c) { return c.ActivateFilter(filter, true); });
}

EngineStatus DeactivateFilter(hCursor cursor, hFilter filter) {
    return WithCursor("DeactivateFilter", cursor,
                      [&](TableCursor& c) { return c.ActivateFilter(filter, false); });
}

EngineStatus DropFilter(hCursor cursor, hFilter filter) {
    return WithCursor("DropFilter", cursor, [&](TableCursor& c) { return c.DropFilter(filter); });
}

// ---- other ---------------------------------------------------------------------------------------

EngineStatus ForceReread(hCursor cursor) {
    return WithCursor("ForceReread", cursor, [&](TableCursor& c) { return c.ForceReread(); });
}

EngineStatus GetValidityChecks(hCursor cursor, std::vector<ValidityCheck>& checks) {
    return WithCursor("GetValidityChecks", cursor, [&](TableCursor& c) {
        checks = c.Schema().Checks();
        return esOk;
    });
}

EngineStatus SetValidityChecks(hCursor cursor, const std::vector<ValidityCheck>& checks) {
    return WithCursor("SetValidityChecks", cursor,
                      [&](TableCursor& c) { return c.SetValidityChecks(checks); });
}

} // namespace ws::engine
