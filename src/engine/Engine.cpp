#include "engine/Engine.h"

#include "base/Strings.h"
#include "engine/AliasConfig.h"
#include "engine/Cursor.h"
#include "engine/Errors.h"
#include "engine/FaultInjector.h"
#include "engine/FilterEvaluator.h"

#include <cstdio>
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
};

struct EngineState {
    std::recursive_mutex mutex;
    int startCount = 0;
    std::uint32_t nextHandle = 1;
    std::map<hDBIDb, Database> databases;
    std::map<hDBICur, std::unique_ptr<Cursor>> cursors;
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
        if (DBIResult s = FaultInjector::Check(operation))
            m_Status = Errors::Fail(s, std::string("Injected fault in ") + operation);
        else if (State().startCount == 0)
            m_Status = Errors::Fail(dbiNotStarted);
    }
    DBIResult Status() const { return m_Status; }

private:
    std::unique_lock<std::recursive_mutex> m_Lock;
    DBIResult m_Status = dbiOk;
};

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Cursor* FindCursor(hDBICur handle) {
    auto& cursors = State().cursors;
    auto it = cursors.find(handle);
    return it == cursors.end() ? nullptr : it->second.get();
}

template <typename Fn>
DBIResult WithCursor(const char* operation, hDBICur handle, Fn&& fn) {
    Call call(operation);
    if (call.Status())
        return call.Status();
    Cursor* cursor = FindCursor(handle);
    if (!cursor)
        return Errors::Fail(dbiInvalidHandle, Format("Cursor %u", handle));
    return fn(*cursor);
}

// "OrderHead" or "OrderHead.DB" inside the directory; never a path of its own.
DBIResult TableFilePath(const Database& db, const std::string& tableName, std::string& path) {
    if (tableName.empty() || tableName.find('/') != std::string::npos ||
        tableName.find('\0') != std::string::npos || tableName == "." || tableName == "..")
        return Errors::Fail(dbiInvalidParameter,
                            "Table name '" + tableName + "' is not a table of a directory");
    std::string file = tableName;
    const auto dot = file.rfind('.');
    if (dot == std::string::npos)
        file += ".DB";
    path = db.directory + "/" + file;
    if (::access(path.c_str(), F_OK) == 0)
        return dbiOk;
    // Table files often come from systems that ignore letter case in file names: "ORDERHEAD.db"
    // is the table OrderHead.DB when no file of the exact name exists.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(db.directory, ec)) {
        if (SameText(entry.path().filename().string(), file)) {
            path = entry.path().string();
            break;
        }
    }
    return dbiOk;
}

std::string BaseName(const std::string& tableName) {
    const auto dot = tableName.rfind('.');
    return dot == std::string::npos ? tableName : tableName.substr(0, dot);
}

DBIResult ResolveAlias(const std::string& name, AliasInfo& info, std::vector<std::string>& tried) {
    if (auto it = State().sessionAliases.find(UpperCase(name)); it != State().sessionAliases.end()) {
        info = it->second;
        return dbiOk;
    }
    AliasConfig::Lookup lookup = AliasConfig::Find(name);
    tried = lookup.tried;
    if (!lookup.alias)
        return dbiUnknownAlias;
    info = *lookup.alias;
    return dbiOk;
}

DBIResult FailUnknownAlias(const std::string& name, const std::vector<std::string>& tried) {
    std::string where;
    for (const std::string& path : tried) {
        where += where.empty() ? "" : ", ";
        where += path;
    }
    return Errors::Fail(dbiUnknownAlias, "Alias '" + name +
                                             "' is not defined; configuration looked for in: " +
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

DBIResult EngineInit(std::uint16_t version) {
    std::lock_guard lock(State().mutex);
    Errors::Clear();
    if (DBIResult s = FaultInjector::Check("EngineInit"))
        return Errors::Fail(s, "Injected fault in EngineInit");
    if (version != EngineVersion)
        return Errors::Fail(dbiLibraryStartFailed, Format("Engine version %u was asked for", version));
    if (State().startCount++ > 0)
        return dbiAlreadyStarted;
    sqlite3_initialize();
    // Expression filters are decoded by our own evaluator unless a test installed another.
    if (!State().evaluator)
        State().evaluator = std::make_shared<FilterEvaluator>();
    return dbiOk;
}

DBIResult EngineExit() {
    std::lock_guard lock(State().mutex);
    Errors::Clear();
    EngineState& state = State();
    if (state.startCount == 0)
        return Errors::Fail(dbiNotStarted);
    if (--state.startCount == 0) {
        state.cursors.clear();
        state.databases.clear();
        state.sessionAliases.clear();
    }
    return dbiOk;
}

int EngineStartCount() {
    std::lock_guard lock(State().mutex);
    return State().startCount;
}

// ---- database ------------------------------------------------------------------------------------

DBIResult GetAliasInfo(const std::string& alias, AliasInfo& info) {
    Call call("GetAliasInfo");
    if (call.Status())
        return call.Status();
    std::vector<std::string> tried;
    if (ResolveAlias(alias, info, tried))
        return FailUnknownAlias(alias, tried);
    return dbiOk;
}

DBIResult AddSessionAlias(const std::string& name, const std::string& driver,
                          const std::map<std::string, std::string>& params) {
    Call call("AddSessionAlias");
    if (call.Status())
        return call.Status();
    if (Trim(name).empty())
        return Errors::Fail(dbiInvalidParameter, "An alias needs a name");
    AliasInfo info{name, UpperCase(driver.empty() ? std::string("DESKTOP") : driver), {}};
    for (const auto& [key, value] : params)
        info.params[UpperCase(key)] = value;
    State().sessionAliases[UpperCase(name)] = info;
    return dbiOk;
}

DBIResult OpenDatabase(const std::string& name, OpenMode mode, ShareMode, hDBIDb& db) {
    db = 0;
    Call call("OpenDatabase");
    if (call.Status())
        return call.Status();
    Database database{name, {}, mode == OpenMode::ReadOnly};
    AliasInfo info;
    std::vector<std::string> tried;
    if (ResolveAlias(name, info, tried) == dbiOk) {
        if (info.driver != "DESKTOP")
            return Errors::Fail(dbiUnknownDriver, "Alias '" + name + "' names driver '" + info.driver + "'");
        database.directory = info.params["PATH"];
        if (!IsDirectory(database.directory))
            return Errors::Fail(dbiUnknownDatabase, "Alias '" + name + "' names directory '" +
                                                        database.directory + "', which does not exist");
    } else if (IsDirectory(name)) {
        database.directory = name;
    } else {
        return FailUnknownAlias(name, tried);
    }
    while (database.directory.size() > 1 && database.directory.back() == '/')
        database.directory.pop_back();
    db = State().nextHandle++;
    State().databases[db] = database;
    return dbiOk;
}

DBIResult CloseDatabase(hDBIDb db) {
    Call call("CloseDatabase");
    if (call.Status())
        return call.Status();
    return State().databases.erase(db) ? dbiOk : Errors::Fail(dbiInvalidHandle, Format("Database %u", db));
}

DBIResult DatabaseDirectory(hDBIDb db, std::string& directory) {
    Call call("DatabaseDirectory");
    if (call.Status())
        return call.Status();
    auto it = State().databases.find(db);
    if (it == State().databases.end())
        return Errors::Fail(dbiInvalidHandle, Format("Database %u", db));
    directory = it->second.directory;
    return dbiOk;
}

DBIResult CreateTable(hDBIDb db, const TableSpec& spec) {
    Call call("CreateTable");
    if (call.Status())
        return call.Status();
    auto it = State().databases.find(db);
    if (it == State().databases.end())
        return Errors::Fail(dbiInvalidHandle, Format("Database %u", db));
    std::string path;
    if (DBIResult s = TableFilePath(it->second, spec.name, path))
        return s;
    if (::access(path.c_str(), F_OK) == 0)
        return Errors::Fail(dbiTableExists, "Table: " + path);
    TableSpec named = spec;
    named.name = BaseName(spec.name);
    std::vector<std::string> statements;
    if (DBIResult s = TableSchema::BuildCreateSql(named, statements))
        return s;
    // Built beside the final name and renamed into place, so no reader ever sees half a table.
    const std::string temp = path + Format(".new-%d", static_cast<int>(::getpid()));
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
            const DBIResult s = FailFromSqlite(rc, path, conn.LastMessage());
            conn.Close();
            std::remove(temp.c_str());
            return s;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return Errors::Fail(dbiIOError, "Table: " + path, errno);
    }
    return dbiOk;
}

// ---- tables --------------------------------------------------------------------------------------

DBIResult OpenTable(hDBIDb db, const std::string& tableName, const std::string& driverType,
                    const std::string& indexName, OpenMode mode, ShareMode share, hDBICur& cursor) {
    cursor = 0;
    Call call("OpenTable");
    if (call.Status())
        return call.Status();
    auto it = State().databases.find(db);
    if (it == State().databases.end())
        return Errors::Fail(dbiInvalidHandle, Format("Database %u", db));
    if (!driverType.empty() && !SameText(driverType, "DESKTOP"))
        return Errors::Fail(dbiUnknownDriver, "Driver type '" + driverType + "'");
    std::string path;
    if (DBIResult s = TableFilePath(it->second, tableName, path))
        return s;
    if (it->second.readOnly && mode == OpenMode::ReadWrite)
        return Errors::Fail(dbiTableReadOnly, "Database '" + it->second.name + "' is open read-only");
    const hDBICur handle = State().nextHandle++;
    auto opened = std::make_unique<Cursor>(handle, path);
    if (DBIResult s = opened->Open(indexName, mode, share))
        return s;
    State().cursors[handle] = std::move(opened);
    cursor = handle;
    return dbiOk;
}

DBIResult SwitchToIndex(hDBICur cursor, const std::string& indexName) {
    return WithCursor("SwitchToIndex", cursor, [&](Cursor& c) { return c.SwitchToIndex(indexName); });
}

DBIResult GetCursorProps(hDBICur cursor, CursorProps& props) {
    return WithCursor("GetCursorProps", cursor, [&](Cursor& c) {
        props = c.Props();
        return dbiOk;
    });
}

DBIResult GetFieldDescs(hDBICur cursor, std::vector<FieldDesc>& fields) {
    return WithCursor("GetFieldDescs", cursor, [&](Cursor& c) {
        fields = c.Schema().Fields();
        return dbiOk;
    });
}

DBIResult GetIndexDesc(hDBICur cursor, IndexDesc& index) {
    return WithCursor("GetIndexDesc", cursor, [&](Cursor& c) {
        if (!c.ActiveIndex())
            return Errors::Fail(dbiUnknownIndex, "The cursor runs in physical order");
        index = *c.ActiveIndex();
        return dbiOk;
    });
}

DBIResult GetIndexDescs(hDBICur cursor, std::vector<IndexDesc>& indexes) {
    return WithCursor("GetIndexDescs", cursor, [&](Cursor& c) {
        indexes = c.Schema().Indexes();
        return dbiOk;
    });
}

DBIResult CloneCursor(hDBICur cursor, bool readOnly, hDBICur& clone) {
    clone = 0;
    return WithCursor("CloneCursor", cursor, [&](Cursor& c) {
        const hDBICur handle = State().nextHandle++;
        auto copy = std::make_unique<Cursor>(handle, c.TablePath());
        if (DBIResult s = copy->OpenClone(c, readOnly))
            return s;
        State().cursors[handle] = std::move(copy);
        clone = handle;
        return dbiOk;
    });
}

DBIResult CloseCursor(hDBICur cursor) {
    return WithCursor("CloseCursor", cursor, [&](Cursor&) {
        State().cursors.erase(cursor);
        return dbiOk;
    });
}

// ---- moving --------------------------------------------------------------------------------------

DBIResult SetToBegin(hDBICur cursor) {
    return WithCursor("SetToBegin", cursor, [&](Cursor& c) {
        c.SetToBegin();
        return dbiOk;
    });
}

DBIResult SetToEnd(hDBICur cursor) {
    return WithCursor("SetToEnd", cursor, [&](Cursor& c) {
        c.SetToEnd();
        return dbiOk;
    });
}

DBIResult GetNextRecord(hDBICur cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("GetNextRecord", cursor,
                      [&](Cursor& c) { return c.Read(Cursor::Direction::Next, lock, record); });
}

DBIResult GetPriorRecord(hDBICur cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("GetPriorRecord", cursor,
                      [&](Cursor& c) { return c.Read(Cursor::Direction::Prior, lock, record); });
}

DBIResult GetRecord(hDBICur cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("GetRecord", cursor,
                      [&](Cursor& c) { return c.Read(Cursor::Direction::Current, lock, record); });
}

DBIResult GetBookMark(hDBICur cursor, std::uint8_t* bookmark) {
    return WithCursor("GetBookMark", cursor, [&](Cursor& c) { return c.GetBookmark(bookmark); });
}

DBIResult SetToBookMark(hDBICur cursor, const std::uint8_t* bookmark) {
    return WithCursor("SetToBookMark", cursor, [&](Cursor& c) { return c.SetToBookmark(bookmark); });
}

DBIResult CompareBookMarks(hDBICur cursor, const std::uint8_t* a, const std::uint8_t* b, int& result) {
    return WithCursor("CompareBookMarks", cursor,
                      [&](Cursor& c) { return c.CompareBookmarks(a, b, result); });
}

DBIResult SetToCursor(hDBICur dest, hDBICur source) {
    return WithCursor("SetToCursor", dest, [&](Cursor& c) {
        Cursor* from = FindCursor(source);
        if (!from)
            return Errors::Fail(dbiInvalidHandle, Format("Cursor %u", source));
        return c.SetToCursor(*from);
    });
}

DBIResult GetRecordForKey(hDBICur cursor, std::uint16_t fieldCount, std::uint16_t partialLength,
                          const std::uint8_t* keyRecord, std::uint8_t* record) {
    return WithCursor("GetRecordForKey", cursor,
                      [&](Cursor& c) { return c.ReadForKey(fieldCount, partialLength, keyRecord, record); });
}

// ---- values --------------------------------------------------------------------------------------

DBIResult GetField(hDBICur cursor, std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                   bool& isBlank) {
    return WithCursor("GetField", cursor,
                      [&](Cursor& c) { return c.GetField(fieldNo, record, dest, isBlank); });
}

DBIResult PutField(hDBICur cursor, std::uint16_t fieldNo, std::uint8_t* record, const void* source) {
    return WithCursor("PutField", cursor, [&](Cursor& c) { return c.PutField(fieldNo, record, source); });
}

DBIResult InitRecord(hDBICur cursor, std::uint8_t* record) {
    return WithCursor("InitRecord", cursor, [&](Cursor& c) {
        c.BlankRecord(record);
        return dbiOk;
    });
}

DBIResult ReadMemo(hDBICur cursor, std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                   bool& isBlank) {
    return WithCursor("ReadMemo", cursor,
                      [&](Cursor& c) { return c.ReadMemo(fieldNo, record, text, isBlank); });
}

DBIResult WriteMemo(hDBICur cursor, std::uint16_t fieldNo, std::uint8_t* record, const std::string& text) {
    return WithCursor("WriteMemo", cursor, [&](Cursor& c) { return c.WriteMemo(fieldNo, record, text); });
}

DBIResult GetValue(hDBICur cursor, std::uint16_t fieldNo, const std::uint8_t* record, Value& value) {
    return WithCursor("GetValue", cursor, [&](Cursor& c) { return c.GetValue(fieldNo, record, value); });
}

DBIResult PutValue(hDBICur cursor, std::uint16_t fieldNo, std::uint8_t* record, const Value& value) {
    return WithCursor("PutValue", cursor, [&](Cursor& c) { return c.PutValue(fieldNo, record, value); });
}

// ---- writing -------------------------------------------------------------------------------------

DBIResult ModifyRecord(hDBICur cursor, std::uint8_t* record, bool freeLock) {
    return WithCursor("ModifyRecord", cursor, [&](Cursor& c) { return c.Modify(record, freeLock); });
}

DBIResult InsertRecord(hDBICur cursor, LockType lock, std::uint8_t* record) {
    return WithCursor("InsertRecord", cursor, [&](Cursor& c) { return c.Insert(lock, record); });
}

DBIResult DeleteRecord(hDBICur cursor) {
    return WithCursor("DeleteRecord", cursor, [&](Cursor& c) { return c.Delete(); });
}

DBIResult RelRecordLock(hDBICur cursor, bool all) {
    return WithCursor("RelRecordLock", cursor, [&](Cursor& c) { return c.ReleaseLock(all); });
}

// ---- counting ------------------------------------------------------------------------------------

DBIResult GetExactRecordCount(hDBICur cursor, std::uint32_t& count) {
    return WithCursor("GetExactRecordCount", cursor, [&](Cursor& c) { return c.ExactCount(count); });
}

DBIResult GetRecordCount(hDBICur cursor, std::uint32_t& count) {
    return WithCursor("GetRecordCount", cursor, [&](Cursor& c) { return c.RowCount(count); });
}

// ---- filters -------------------------------------------------------------------------------------

DBIResult AddFilter(hDBICur cursor, std::uint16_t priority, std::span<const std::uint8_t> expression,
                    hDBIFilter& filter) {
    filter = 0;
    return WithCursor("AddFilter", cursor, [&](Cursor& c) {
        if (!State().evaluator)
            return Errors::Fail(dbiFilterNotSupported, "No evaluator of expression buffers is installed");
        std::unique_ptr<CompiledFilter> compiled;
        if (DBIResult s = State().evaluator->Compile(expression, c.Schema().Fields(), compiled))
            return Errors::Entries().empty() ? Errors::Fail(s) : s;
        if (!compiled)
            return Errors::Fail(dbiInvalidFilter);
        return c.AddFilter(priority, std::move(compiled), {}, filter);
    });
}

DBIResult AddFilterCallback(hDBICur cursor, std::uint16_t priority, RowCallback callback,
                            hDBIFilter& filter) {
    filter = 0;
    return WithCursor("AddFilterCallback", cursor, [&](Cursor& c) {
        if (!callback)
            return Errors::Fail(dbiInvalidParameter, "A filter needs a callback");
        return c.AddFilter(priority, nullptr, std::move(callback), filter);
    });
}

DBIResult ActivateFilter(hDBICur cursor, hDBIFilter filter) {
    return WithCursor("ActivateFilter", cursor, [&](Cursor& c) { return c.ActivateFilter(filter, true); });
}

DBIResult DeactivateFilter(hDBICur cursor, hDBIFilter filter) {
    return WithCursor("DeactivateFilter", cursor, [&](Cursor& c) { return c.ActivateFilter(filter, false); });
}

DBIResult DropFilter(hDBICur cursor, hDBIFilter filter) {
    return WithCursor("DropFilter", cursor, [&](Cursor& c) { return c.DropFilter(filter); });
}

// ---- other ---------------------------------------------------------------------------------------

DBIResult ForceReread(hDBICur cursor) {
    return WithCursor("ForceReread", cursor, [&](Cursor& c) { return c.ForceReread(); });
}

DBIResult GetValidityChecks(hDBICur cursor, std::vector<ValidityCheck>& checks) {
    return WithCursor("GetValidityChecks", cursor, [&](Cursor& c) {
        checks = c.Schema().Checks();
        return dbiOk;
    });
}

DBIResult SetValidityChecks(hDBICur cursor, const std::vector<ValidityCheck>& checks) {
    return WithCursor("SetValidityChecks", cursor, [&](Cursor& c) { return c.SetValidityChecks(checks); });
}

} // namespace ws::engine
