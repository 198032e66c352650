#include "engine/Cursor.h"

#include "base/Strings.h"
#include "engine/Errors.h"
#include "engine/RecordCodec.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ws::engine {

using codec::Load;
using codec::RowIdOf;
using codec::Store;

namespace {

bool IsText(const FieldDesc& f) {
    return f.type == FieldType::ZString;
}

// The cursors of this process on each table file, so that a replaced file is let go of by all of
// them before any opens the new one: connections to the old and the new file at once would share
// the write-ahead log and its index under the same names.
struct OpenFiles {
    std::mutex mutex;
    std::map<std::string, std::vector<Cursor*>> cursors;
};

// A table file the system would not let us reach, by what it said (errno): gone, not ours to
// read, a path too long, or another failure of the system.
EngineStatus PathFailure(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR || error == 0)
        return Errors::Fail(esTableNotFound, "Table: " + path);
    const EngineStatus code = error == EACCES || error == EPERM ? esAccessDenied
                              : error == ENAMETOOLONG           ? esPathTooLong
                                                                : esIOError;
    return Errors::Fail(code, "Table: " + path + ": " + std::strerror(error), error);
}

OpenFiles& Files() {
    // Never destroyed: cursors still open at exit unregister themselves after static destruction.
    static OpenFiles* files = new OpenFiles;
    return *files;
}

// The one cursor of the process whose stepping read may stay open between calls.
struct Stepping {
    std::mutex mutex;
    Cursor* cursor = nullptr;
};

Stepping& CurrentStep() {
    static Stepping* stepping = new Stepping;
    return *stepping;
}

} // namespace

Cursor::Cursor(hCursor handle, std::string tablePath)
    : CursorBase(handle), m_TablePath(std::move(tablePath)) {
    std::lock_guard lock(Files().mutex);
    Files().cursors[m_TablePath].push_back(this);
}

Cursor::~Cursor() {
    EndStep();
    m_StepStatements.clear();
    if (m_Locks) {
        m_Locks->UnlockAll(m_Handle);
        if (m_TableOpened)
            m_Locks->CloseTable(m_Handle);
    }
    m_Statements.clear();
    std::lock_guard lock(Files().mutex);
    auto& list = Files().cursors[m_TablePath];
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (list.empty())
        Files().cursors.erase(m_TablePath);
}

// ---- opening ------------------------------------------------------------------------------------

bool Cursor::DirectoryWritable(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::access(directory.c_str(), W_OK) == 0;
}

Cursor::FileStamp Cursor::StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        stamp.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        stamp.size = static_cast<std::int64_t>(st.st_size);
    }
    stamp.log = ::access((path + "-wal").c_str(), F_OK) == 0;
    return stamp;
}

bool Cursor::IdentifyFile(const std::string& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

EngineStatus Cursor::OpenConnection(bool readOnly) {
    if (::access(m_TablePath.c_str(), F_OK) != 0)
        return PathFailure(m_TablePath, errno);
    if (!readOnly && ::access(m_TablePath.c_str(), W_OK) != 0)
        return Errors::Fail(esTableReadOnly, "Table: " + m_TablePath);
    // Writing needs the write-ahead log and its index beside the file.
    if (!readOnly && !DirectoryWritable(m_TablePath))
        return Errors::Fail(esTableReadOnly, "Table: " + m_TablePath + " (its directory cannot be written)");
    m_ReadOnly = readOnly;
    if (EngineStatus s = Connect())
        return s;
    m_Locks = LockFile::For(m_TablePath, !readOnly);
    return esOk;
}

EngineStatus Cursor::Connect() {
    FileId before;
    if (!IdentifyFile(m_TablePath, before))
        return PathFailure(m_TablePath, errno);
    int rc = m_Db.Open(m_TablePath, m_ReadOnly);
    if (rc != SQLITE_OK)
        return Storage(rc);
    m_Immutable = false;
    TableSchema schema;
    if (EngineStatus s = schema.Load(m_Db, m_TablePath)) {
        m_Db.Close();
        // A reader of a write-ahead file needs its log and index beside it, and makes them when
        // they are not there; in a directory it cannot write to it reads the file as it stands.
        if (!m_ReadOnly || DirectoryWritable(m_TablePath))
            return s;
        Errors::Clear();
        m_Stamp = StampOf(m_TablePath);
        rc = m_Db.OpenImmutable(m_TablePath);
        if (rc != SQLITE_OK)
            return Storage(rc);
        if (EngineStatus again = schema.Load(m_Db, m_TablePath)) {
            m_Db.Close();
            return again;
        }
        m_Immutable = true;
    }
    FileId after;
    if (!IdentifyFile(m_TablePath, after) || !(after == before)) {
        // Replaced again while we opened it: the next call tries once more.
        m_Db.Close();
        return Errors::Fail(esIOError, "Table: " + m_TablePath + " was replaced while it was opened");
    }
    if (!m_Schema.Fields().empty() && !m_Schema.SameLayout(schema)) {
        // Record buffers and bookmarks the caller holds no longer fit: this cursor is done.
        m_Db.Close();
        m_Broken = esTableChanged;
        return Errors::Fail(esTableChanged, "Table: " + m_TablePath);
    }
    const std::string indexName = m_Index ? m_Index->name : std::string();
    m_Schema = std::move(schema);
    m_Index = indexName.empty() ? nullptr : m_Schema.FindIndex(indexName);
    if (!m_ReadOnly) {
        // Tables we create are already in write-ahead mode; this converts older ones once.
        rc = m_Db.Exec("PRAGMA journal_mode=WAL");
        if (rc != SQLITE_OK) {
            const EngineStatus s = Storage(rc);
            m_Db.Close();
            return s;
        }
    }
    rc = m_Db.Exec("PRAGMA synchronous=FULL");
    if (rc != SQLITE_OK) {
        const EngineStatus s = Storage(rc);
        m_Db.Close();
        return s;
    }
    // The storage layer's default page cache (2 MiB) suffices: a filtered view is read from the
    // rows it lists (one scan of the table when the file changed, then a read by row id per row
    // given), not by walks through an index that meet a row page for every entry. Not a memory
    // mapping: a file cut short in place while mapped would kill the process instead of failing
    // a read.
    if (!m_ReadOnly && !m_Schema.HasRowGuard()) {
        // Files made before the row-id guard get it at their first read/write open. Should the
        // file stay busy past the wait, the next insert tries again; nothing else needs it.
        if (m_Db.Exec("BEGIN IMMEDIATE") == SQLITE_OK) {
            if (InstallRowGuard() == esOk)
                m_Db.Exec("COMMIT");
            else
                m_Db.Exec("ROLLBACK");
        }
        Errors::Clear();
    }
    std::vector<std::uint8_t>(m_Schema.RecordSize()).swap(m_Scratch);
    m_Columns.clear();
    for (std::size_t i = 0; i < m_Schema.Fields().size(); ++i)
        m_Columns.push_back(static_cast<int>(i + 1));
    m_FileId = before;
    m_Connected = true;
    return esOk;
}

EngineStatus Cursor::InstallRowGuard() {
    bool sequence = false;
    bool found = false;
    if (EngineStatus s = OneRow(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'sqlite_sequence'", {},
            [&](Statement& row) { sequence = row.Int(0) > 0; }, found))
        return s;
    if (!found)
        return Storage(SQLITE_DONE);
    for (const std::string& sql : TableSchema::RowGuardSql(sequence)) {
        const int rc = m_Db.Exec(sql);
        if (rc != SQLITE_OK)
            return Storage(rc);
    }
    m_Schema.SetHasRowGuard(true);
    return esOk;
}

void Cursor::Disconnect(bool checkpoint) {
    if (!m_Connected)
        return;
    EndStep();
    m_StepStatements.clear();
    m_Statements.clear();
    m_KeyMaps.clear();
    m_CountMemo = {};
    m_OrderList = {};
    m_ProbeStatement = Statement();
    m_Probe.Close();
    m_ProbeOpen = false;
    if (checkpoint) {
        // Copy the old file's log into it and empty the log, so that the file now under the name
        // does not start from the old file's pages (the log is found by name).
        m_Db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    m_Db.Close();
    m_Connected = false;
}

EngineStatus Cursor::Live() {
    if (m_Broken)
        return Errors::Fail(m_Broken, "Table: " + m_TablePath);
    FileId now;
    const bool exists = IdentifyFile(m_TablePath, now);
    const int missing = exists ? 0 : errno;
    if (m_Connected && exists && now == m_FileId) {
        // A file read as it stands is read anew once it has been written to, or a write-ahead
        // log has appeared or gone beside it.
        if (!m_Immutable || StampOf(m_TablePath) == m_Stamp) {
            CheckStep();
            return esOk;
        }
        Disconnect(false);
        return Connect();
    }
    {
        // The file under the name is not the one we read (or none is): every cursor of this
        // process lets go of the old one first; one of them empties its log.
        std::lock_guard lock(Files().mutex);
        std::vector<Cursor*> stale;
        for (Cursor* cursor : Files().cursors[m_TablePath]) {
            // A cursor in the middle of a scan (a row callback of its filter called us) is left
            // alone; it notices at its own next call.
            if (cursor->m_Connected && !(exists && cursor->m_FileId == now) &&
                (cursor == this || cursor->m_TestRow == nullptr))
                stale.push_back(cursor);
        }
        auto writer = std::find_if(stale.begin(), stale.end(), [](Cursor* c) { return !c->m_ReadOnly; });
        Cursor* checkpointer = writer != stale.end() ? *writer : stale.empty() ? nullptr : stale.front();
        // No read of the old file may hold its snapshot while the log is emptied.
        for (Cursor* cursor : stale)
            cursor->EndStep();
        for (Cursor* cursor : stale)
            cursor->Disconnect(cursor == checkpointer);
    }
    if (!exists && (missing == ENOENT || missing == ENOTDIR))
        return Errors::Fail(esTableNotFound, "Table: " + m_TablePath + " (the file is gone)");
    if (!exists)
        return PathFailure(m_TablePath, missing);
    if (m_Connected)
        return esOk; // another cursor's check found this one already on the new file
    return Connect();
}

void Cursor::ResetStatements() {
    EndStep();
    for (auto& [sql, stmt] : m_Statements)
        stmt.Reset();
}

EngineStatus Cursor::Open(const std::string& indexName, OpenMode mode, ShareMode share) {
    if (EngineStatus s = OpenConnection(mode == OpenMode::ReadOnly))
        return s;
    if (EngineStatus s = m_Locks->OpenTable(m_Handle, share == ShareMode::Exclusive)) {
        Errors::AddContext("Table: " + m_TablePath);
        return s;
    }
    m_TableOpened = true;
    return SwitchToIndex(indexName);
}

EngineStatus Cursor::OpenClone(const Cursor& source, bool readOnly) {
    if (EngineStatus s = OpenConnection(readOnly || source.m_ReadOnly))
        return s;
    if (EngineStatus s = m_Locks->OpenTable(m_Handle, false))
        return s;
    m_TableOpened = true;
    if (source.m_Index) {
        if (EngineStatus s = SwitchToIndex(source.m_Index->name))
            return s;
    }
    m_Position = source.m_Position;
    return esOk;
}

void Cursor::IndexChanged() {
    EndStep();
    m_StepStatements.clear();
    m_Statements.clear();
}

// ---- statements ---------------------------------------------------------------------------------

Statement* Cursor::Cached(const std::string& sql) {
    return Cached(sql, m_Statements);
}

Statement* Cursor::Cached(const std::string& sql, std::map<std::string, Statement>& cache) {
    if (auto it = cache.find(sql); it != cache.end())
        return &it->second;
    int rc = 0;
    Statement stmt = m_Db.Prepare(sql, &rc);
    if (rc != SQLITE_OK) {
        m_PrepareStatus = Storage(rc);
        return nullptr;
    }
    return &cache.emplace(sql, std::move(stmt)).first->second;
}

Statement* Cursor::Bound(const std::string& sql, const std::vector<SqlValue>& params,
                         std::map<std::string, Statement>& cache) {
    Statement* stmt = Cached(sql, cache);
    if (!stmt)
        return nullptr;
    for (std::size_t i = 0; i < params.size(); ++i)
        stmt->Bind(static_cast<int>(i + 1), params[i]);
    return stmt;
}

template <typename Row>
EngineStatus Cursor::EachRow(Statement& stmt, Row&& row, RowsEnd& end) {
    end = RowsEnd::Done;
    int rc = 0;
    while ((rc = stmt.Step()) == SQLITE_ROW) {
        end = row(stmt);
        if (end == RowsEnd::Held)
            return esOk;
        if (end == RowsEnd::Stopped)
            break;
    }
    if (end == RowsEnd::Next)
        end = RowsEnd::Done;
    stmt.Reset();
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? esOk : Storage(rc);
}

template <typename Row>
EngineStatus Cursor::EachRow(const std::string& sql, const std::vector<SqlValue>& params, Row&& row) {
    Statement* stmt = Bound(sql, params, m_Statements);
    if (!stmt)
        return m_PrepareStatus;
    RowsEnd end = RowsEnd::Done;
    return EachRow(*stmt, row, end);
}

template <typename Row>
EngineStatus Cursor::OneRow(const std::string& sql, const std::vector<SqlValue>& params, Row&& row,
                            bool& found) {
    found = false;
    return EachRow(sql, params, [&](Statement& at) {
        found = true;
        row(at);
        return RowsEnd::Stopped;
    });
}

EngineStatus Cursor::Execute(Statement& stmt) {
    RowsEnd end = RowsEnd::Done;
    return EachRow(
        stmt, [](Statement&) { return RowsEnd::Next; }, end);
}

EngineStatus Cursor::Execute(const std::string& sql, const std::vector<SqlValue>& params) {
    Statement* stmt = Bound(sql, params, m_Statements);
    return stmt ? Execute(*stmt) : m_PrepareStatus;
}

EngineStatus Cursor::Storage(int rc) {
    // A file the storage layer could not open is missing only when the system says so.
    if ((rc & 0xFF) == SQLITE_CANTOPEN && m_Db.Handle() != nullptr) {
        const int error = sqlite3_system_errno(m_Db.Handle());
        if (error != 0 && error != ENOENT && error != ENOTDIR)
            return PathFailure(m_TablePath, error);
    }
    return FailFromSqlite(rc, m_TablePath, m_Db.LastMessage());
}

const std::string& Cursor::SelectList() const {
    // The schema of an open cursor never changes; the list is built on its first use.
    if (!m_SelectList.empty())
        return m_SelectList;
    std::string& list = m_SelectList;
    list = "rowid";
    for (const FieldDesc& field : m_Schema.Fields()) {
        list += ", " + TableSchema::Quote(field.name);
        if (field.type == FieldType::Blob)
            list += " IS NOT NULL"; // memo texts are read on demand
    }
    return list;
}

std::string Cursor::KeyColumn(std::size_t i) const {
    const FieldDesc& field = *m_Schema.Field(m_Index->fields[i]);
    std::string column = TableSchema::Quote(field.name);
    if (m_Index->caseInsensitive && IsText(field))
        column += " COLLATE NOCASE";
    return column;
}

std::string Cursor::OrderBy(bool descending) const {
    const char* dir = descending ? " DESC" : "";
    std::string order;
    const std::size_t n = m_Index ? m_Index->fields.size() : 0;
    for (std::size_t i = 0; i < n; ++i)
        order += KeyColumn(i) + dir + ", ";
    return " ORDER BY " + order + "rowid" + dir;
}

std::string Cursor::FromClause() const {
    std::string from = std::string(" FROM ") + TableSchema::DataTable;
    if (m_Index)
        from += " INDEXED BY " + TableSchema::Quote(m_Index->name);
    return from;
}

std::string Cursor::FilterSql(std::vector<SqlValue>& params) const {
    std::string sql;
    for (const Filter& filter : m_Filters) {
        if (!filter.active || !filter.pushDown)
            continue;
        sql += " AND (" + filter.pushDown->sql + ")";
        params.insert(params.end(), filter.pushDown->params.begin(), filter.pushDown->params.end());
    }
    return sql;
}

bool Cursor::HasRowFilters() const {
    return std::any_of(m_Filters.begin(), m_Filters.end(),
                       [](const Filter& f) { return f.active && !f.pushDown; });
}

// ---- decoding -----------------------------------------------------------------------------------

void Cursor::DecodeField(Statement& stmt, std::size_t index, std::uint8_t* record) const {
    assert(index < m_Schema.Fields().size() && index < m_Columns.size());
    const FieldDesc& field = m_Schema.Fields()[index];
    const int column = m_Columns[index];
    codec::ClearField(field, record);
    if (field.type == FieldType::Blob) {
        codec::PutMemoPresence(field, stmt.Int(column) != 0, record);
        return;
    }
    if (stmt.IsNull(column))
        return;
    switch (field.type) {
    case FieldType::ZString:
        codec::PutText(field, stmt.Text(column), record);
        break;
    case FieldType::Date:
    case FieldType::Int32:
    case FieldType::Int16:
    case FieldType::Bool:
        codec::PutInteger(field, stmt.Int(column), record);
        break;
    case FieldType::Float:
        codec::PutReal(field, stmt.Real(column), record);
        break;
    default:
        break;
    }
}

void Cursor::Decode(Statement& stmt, std::uint8_t* record) const {
    Store(record, stmt.Int(0));
    for (std::size_t i = 0; i < m_Schema.Fields().size(); ++i)
        DecodeField(stmt, i, record);
}

std::vector<SqlValue> Cursor::KeyOf(Statement& stmt) const {
    std::vector<SqlValue> key;
    if (m_Index) {
        for (std::uint16_t number : m_Index->fields)
            key.push_back(stmt.Column(m_Columns[number - 1]));
    }
    return key;
}

const std::uint8_t* Cursor::TestRowData() {
    if (m_TestRow && !m_TestDecoded) {
        Decode(*m_TestRow, m_Scratch.data());
        m_TestDecoded = true;
    }
    return m_Scratch.data();
}

EngineStatus Cursor::TestRowValue(std::uint16_t fieldNo, Value& value) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    if (m_TestRow && !m_TestDecoded) {
        Store(m_Scratch.data(), m_TestRow->Int(0));
        DecodeField(*m_TestRow, fieldNo - 1u, m_Scratch.data());
    }
    return GetValue(fieldNo, m_Scratch.data(), value);
}

// ---- moving -------------------------------------------------------------------------------------

std::vector<Cursor::Segment> Cursor::SegmentsFrom(Direction direction) const {
    const bool next = direction == Direction::Next;
    if (m_Position.where != Where::Row)
        return {Segment{"1", {}, !next, {}}};
    // Rows strictly after (or before) the position in key order: for each length j of a key
    // prefix that stays equal, the rows whose next key column lies beyond. Blank keys sort first.
    const std::size_t n = m_Index ? m_Index->fields.size() : 0;
    std::vector<Segment> segments;
    for (std::size_t j = n + 1; j-- > 0;) {
        std::string prefix = "1";
        std::vector<SqlValue> params;
        for (std::size_t i = 0; i < j; ++i) {
            prefix += " AND " + KeyColumn(i) + " IS ?";
            params.push_back(m_Position.key[i]);
        }
        if (j == n) {
            auto p = params;
            p.emplace_back(m_Position.rowId);
            segments.push_back({prefix + (next ? " AND rowid > ?" : " AND rowid < ?"), p, !next, {}});
            continue;
        }
        const SqlValue& v = m_Position.key[j];
        const bool blank = std::holds_alternative<std::monostate>(v);
        if (next) {
            auto p = params;
            if (!blank)
                p.push_back(v);
            segments.push_back(
                {prefix + " AND " + KeyColumn(j) + (blank ? " IS NOT NULL" : " > ?"), p, false, {}});
        } else if (!blank) {
            auto p = params;
            p.push_back(v);
            segments.push_back({prefix + " AND " + KeyColumn(j) + " < ?", p, true, {}});
            segments.push_back({prefix + " AND " + KeyColumn(j) + " IS NULL", params, true, {}});
        }
    }
    return segments;
}

Statement* Cursor::SegmentStatement(const Segment& segment, std::map<std::string, Statement>& cache) {
    std::vector<SqlValue> params = segment.params;
    const std::string sql = "SELECT " + SelectList() + FromClause() + " WHERE " + segment.where +
                            FilterSql(params) + OrderBy(segment.descending);
    return Bound(sql, params, cache);
}

EngineStatus Cursor::StepSegment(Statement& stmt, const Segment& segment, std::int64_t& rowId,
                                 bool& stopped) {
    RowsEnd end = RowsEnd::Done;
    const EngineStatus s = EachRow(
        stmt,
        [&](Statement& row) {
            if (segment.within && !segment.within(row))
                return RowsEnd::Stopped;
            m_TestRow = &row;
            m_TestDecoded = false;
            if (!PassesFilters())
                return RowsEnd::Next;
            TestRowData();
            rowId = row.Int(0);
            m_Position = {Where::Row, KeyOf(row), rowId, true};
            return RowsEnd::Held;
        },
        end);
    m_TestRow = nullptr;
    stopped = end == RowsEnd::Stopped;
    if (s)
        return s;
    return end == RowsEnd::Held ? esOk : esRecordNotFound;
}

EngineStatus Cursor::RunSegments(const std::vector<Segment>& segments, std::int64_t& rowId) {
    for (const Segment& segment : segments) {
        Statement* stmt = SegmentStatement(segment, m_Statements);
        if (!stmt)
            return m_PrepareStatus;
        bool stopped = false;
        const EngineStatus s = StepSegment(*stmt, segment, rowId, stopped);
        if (s == esOk) {
            stmt->Reset();
            return esOk;
        }
        if (s != esRecordNotFound)
            return s;
        if (stopped)
            break;
    }
    return esRecordNotFound;
}

// ---- the stepping read --------------------------------------------------------------------------

bool Cursor::ProbeVersion(std::int64_t& version) {
    version = -1;
    if (!m_ProbeOpen) {
        if (m_Probe.Open(m_TablePath, true) != SQLITE_OK) {
            m_Probe.Close();
            return false;
        }
        int rc = 0;
        m_ProbeStatement = m_Probe.Prepare("PRAGMA data_version", &rc);
        if (rc != SQLITE_OK) {
            m_ProbeStatement = Statement();
            m_Probe.Close();
            return false;
        }
        m_ProbeOpen = true;
    }
    const int rc = m_ProbeStatement.Step();
    if (rc == SQLITE_ROW)
        version = m_ProbeStatement.Int(0);
    m_ProbeStatement.Reset();
    return rc == SQLITE_ROW;
}

void Cursor::EndStep() {
    if (m_Step.statement)
        m_Step.statement->Reset();
    m_Step = Step();
    std::lock_guard lock(CurrentStep().mutex);
    if (CurrentStep().cursor == this)
        CurrentStep().cursor = nullptr;
}

void Cursor::CheckStep() {
    if (!m_Step.open)
        return;
    std::int64_t version = -1;
    if (!ProbeVersion(version) || version != m_Step.dataVersion ||
        sqlite3_total_changes64(m_Db.Handle()) != m_Step.changes)
        EndStep();
}

bool Cursor::StepFollowsOn(Direction direction) const {
    return m_Step.open && m_Step.direction == direction && m_Step.index == m_Index &&
           m_Step.filters == m_FilterChanges && m_Position.where == Where::Row &&
           m_Position.rowId == m_Step.rowId && m_Position.key == m_Step.key;
}

EngineStatus Cursor::ReadOn(Direction direction, std::int64_t& rowId) {
    if (!StepFollowsOn(direction)) {
        // No snapshot may be held while the version is taken: the read then sees at least what
        // that version says.
        EndStep();
        Step step;
        step.direction = direction;
        step.index = m_Index;
        step.filters = m_FilterChanges;
        step.segments = SegmentsFrom(direction);
        step.open = ProbeVersion(step.dataVersion);
        step.changes = sqlite3_total_changes64(m_Db.Handle());
        m_Step = std::move(step);
        if (m_Step.open) {
            // Another cursor's open read lets go of its snapshot, unless we are inside its scan.
            std::lock_guard lock(CurrentStep().mutex);
            Cursor* other = CurrentStep().cursor;
            if (other && other != this && other->m_TestRow == nullptr) {
                if (other->m_Step.statement)
                    other->m_Step.statement->Reset();
                other->m_Step = Step();
            }
            CurrentStep().cursor = this;
        }
    }
    while (!m_Step.segments.empty()) {
        const Segment& segment = m_Step.segments.front();
        if (!m_Step.statement) {
            m_Step.statement = SegmentStatement(segment, m_StepStatements);
            if (!m_Step.statement) {
                EndStep();
                return m_PrepareStatus;
            }
        }
        bool stopped = false;
        const EngineStatus s = StepSegment(*m_Step.statement, segment, rowId, stopped);
        if (s == esOk) {
            if (!m_Step.open) {
                EndStep(); // nothing can tell whether the file changes meanwhile: read afresh next time
            } else {
                m_Step.rowId = rowId;
                m_Step.key = m_Position.key;
            }
            return esOk;
        }
        m_Step.statement = nullptr; // reset by StepSegment
        if (s != esRecordNotFound) {
            EndStep();
            return s;
        }
        m_Step.segments.erase(m_Step.segments.begin());
    }
    EndStep();
    return esRecordNotFound;
}

// ---- the order list -----------------------------------------------------------------------------

EngineStatus Cursor::BuildOrderList(OrderList& list) {
    list = OrderList{};
    // A scan of the table with the matching rows sorted, in the order of the index: the unary
    // plus keeps the storage layer from walking the index instead.
    std::string columns = "rowid";
    std::string order;
    const std::size_t n = m_Index ? m_Index->fields.size() : 0;
    for (std::size_t i = 0; i < n; ++i) {
        const FieldDesc& field = *m_Schema.Field(m_Index->fields[i]);
        const std::string name = TableSchema::Quote(field.name);
        columns += ", " + name;
        order += m_Index->caseInsensitive && IsText(field) ? "(+" + name + ") COLLATE NOCASE, "
                                                           : "+" + name + ", ";
    }
    std::vector<SqlValue> params;
    const std::string filters = FilterSql(params);
    if (filters.empty()) {
        // Without a filter every row is listed: whether there are more than a list holds is told
        // by the rows in storage order, without the sort of the whole table.
        bool more = false;
        if (EngineStatus s = OneRow(
                std::string("SELECT 1 FROM ") + TableSchema::DataTable + " LIMIT 1 OFFSET " +
                    std::to_string(kOrderListRows),
                {}, [](Statement&) {}, more))
            return s;
        if (more) {
            list.overLong = true;
            list.valid = true;
            return esOk;
        }
    }
    const std::string sql = "SELECT " + columns + " FROM " + TableSchema::DataTable + " WHERE 1" + filters +
                            " ORDER BY " + order + "rowid LIMIT " + std::to_string(kOrderListRows + 1);
    const EngineStatus s = EachRow(sql, params, [&](Statement& row) {
        if (list.rowIds.size() == kOrderListRows) {
            list.overLong = true;
            return RowsEnd::Stopped;
        }
        std::vector<SqlValue> key;
        key.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            key.push_back(row.Column(static_cast<int>(i + 1)));
        list.at.emplace(row.Int(0), list.rowIds.size());
        list.rowIds.push_back(row.Int(0));
        list.keys.push_back(std::move(key));
        return RowsEnd::Next;
    });
    // The scan filled the connection's page cache with pages the reads by row id seldom need
    // again; it is given back, so that the caches of several such scans are not all resident at
    // once.
    sqlite3_db_release_memory(m_Db.Handle());
    if (s) {
        list = OrderList{};
        return s;
    }
    if (list.overLong) {
        std::vector<std::int64_t>().swap(list.rowIds);
        std::vector<std::vector<SqlValue>>().swap(list.keys);
        std::unordered_map<std::int64_t, std::size_t>().swap(list.at);
    }
    list.valid = true;
    return esOk;
}

EngineStatus Cursor::CurrentOrderList(bool& use) {
    use = false;
    if (HasRowFilters())
        return esOk;
    std::int64_t version = -1;
    if (!ProbeVersion(version))
        return esOk;
    const std::int64_t changes = sqlite3_total_changes64(m_Db.Handle());
    OrderList& list = m_OrderList;
    if (!list.valid || list.index != m_Index || list.filters != m_FilterChanges ||
        list.dataVersion != version || list.changes != changes) {
        // The version is taken before the list, and the stepping read (which holds an older
        // snapshot of this connection) is ended first: the list then holds at least what the
        // version says.
        EndStep();
        if (EngineStatus s = BuildOrderList(list))
            return s;
        list.index = m_Index;
        list.filters = m_FilterChanges;
        list.dataVersion = version;
        list.changes = changes;
    }
    use = !list.overLong;
    return esOk;
}

bool Cursor::ListPlace(Direction direction, std::size_t& place, bool& none) const {
    const OrderList& list = m_OrderList;
    const bool next = direction == Direction::Next;
    const std::size_t size = list.rowIds.size();
    none = false;
    if (m_Position.where != Where::Row) {
        none = size == 0;
        place = next ? 0 : size - 1;
        return true;
    }
    if (auto it = list.at.find(m_Position.rowId);
        it != list.at.end() && list.keys[it->second] == m_Position.key) {
        none = next ? it->second + 1 == size : it->second == 0;
        place = next ? it->second + 1 : it->second - 1;
        return true;
    }
    // A crack (the row gone or filtered out): found by its key, unless texts compare without
    // regard to case, which only the storage layer orders.
    if (m_Index && m_Index->caseInsensitive) {
        for (std::uint16_t number : m_Index->fields) {
            if (IsText(*m_Schema.Field(number)))
                return false;
        }
    }
    const auto before = [this](std::size_t i) { // the list's row i lies before the position
        const int c = CompareKeys(m_OrderList.keys[i], m_Position.key);
        return c < 0 || (c == 0 && m_OrderList.rowIds[i] < m_Position.rowId);
    };
    std::size_t low = 0;
    std::size_t high = size;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (before(mid))
            low = mid + 1;
        else
            high = mid;
    }
    // low: the first row not before the position (never the position itself: it is not listed).
    none = next ? low == size : low == 0;
    place = next ? low : low - 1;
    return true;
}

EngineStatus Cursor::ReadFromList(Direction direction, std::int64_t& rowId, bool& answered) {
    answered = false;
    bool use = false;
    if (EngineStatus s = CurrentOrderList(use)) {
        answered = true;
        return s;
    }
    std::size_t place = 0;
    bool none = false;
    if (!use || !ListPlace(direction, place, none))
        return esOk;
    if (none) {
        answered = true;
        return esRecordNotFound;
    }
    FetchedRow row;
    if (EngineStatus s = FetchRow(m_OrderList.rowIds[place], row)) {
        answered = true;
        return s;
    }
    if (!row.found || !row.passes || row.key != m_OrderList.keys[place]) {
        // Committed to since the list was checked: this read steps through the file itself.
        m_OrderList.valid = false;
        return esOk;
    }
    rowId = m_OrderList.rowIds[place];
    m_Position = {Where::Row, std::move(row.key), rowId, true};
    answered = true;
    return esOk;
}

EngineStatus Cursor::FetchRow(std::int64_t rowId, FetchedRow& fetched) {
    // The filters said in SQL are tested by SQL here too, exactly as a scan would test them; the
    // others by their own code below.
    std::vector<SqlValue> params;
    const std::string conditions = FilterSql(params);
    const std::string test = conditions.empty() ? ", 1" : ", CASE WHEN 1" + conditions + " THEN 1 ELSE 0 END";
    params.emplace_back(rowId);
    fetched.passes = false;
    return OneRow(
        "SELECT " + SelectList() + test + " FROM " + TableSchema::DataTable + " WHERE rowid = ?", params,
        [&](Statement& row) {
            m_TestRow = &row;
            m_TestDecoded = false;
            fetched.passes = row.Int(static_cast<int>(m_Schema.Fields().size()) + 1) != 0 && PassesFilters();
            TestRowData();
            fetched.key = KeyOf(row);
            m_TestRow = nullptr;
        },
        fetched.found);
}

EngineStatus Cursor::TakeLock(std::int64_t rowId) {
    if (!m_Locks)
        return Errors::Fail(esInvalidHandle);
    if (EngineStatus s = m_Locks->LockRecord(rowId, m_Handle)) {
        Errors::AddContext("Table: " + m_TablePath);
        return s;
    }
    if (m_DroppedLock == rowId)
        m_DroppedLock.reset();
    return esOk;
}

EngineStatus Cursor::ReadAdjacent(Direction direction) {
    std::int64_t rowId = 0;
    bool answered = false;
    EngineStatus s = ReadFromList(direction, rowId, answered);
    if (!answered)
        s = ReadOn(direction, rowId);
    return s;
}

// ---- bookmarks ----------------------------------------------------------------------------------

EngineStatus Cursor::SetToCursor(const Cursor& source) {
    if (source.m_TablePath != m_TablePath)
        return Errors::Fail(esDifferentTables);
    return FollowPosition(source.m_Position);
}

// ---- keyed lookups without an index ------------------------------------------------------------

EngineStatus Cursor::DataVersion(std::int64_t& version) {
    version = -1;
    bool found = false;
    const EngineStatus s = OneRow(
        "PRAGMA data_version", {}, [&](Statement& row) { version = row.Int(0); }, found);
    return s || found ? s : Storage(SQLITE_DONE);
}

std::string Cursor::FieldText(const FieldDesc& field, const std::uint8_t* record) {
    Value value;
    if (GetValue(field.number, record, value) != esOk)
        return {};
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

const Cursor::KeyMap::Entry* Cursor::KeyMap::Find(std::string_view text) const {
    const auto it = std::lower_bound(entries.begin(), entries.end(), text,
                                     [this](const Entry& e, std::string_view t) { return TextOf(e) < t; });
    return it != entries.end() && TextOf(*it) == text ? &*it : nullptr;
}

EngineStatus Cursor::BuildKeyMap(std::uint16_t fieldNo, KeyMap& map) {
    // The rows in the order a scan meets them; the first of each text wins. Texts are taken as the
    // record buffer holds them, so they compare exactly as an equality filter compares them.
    map.Clear();
    const FieldDesc& field = m_Schema.Fields()[fieldNo - 1u];
    // Only the row id and the key column are read; the other places of the select list hold
    // NULL, so the key keeps the column number the decoding expects.
    std::string list = "rowid";
    for (int column = 1; column < m_Columns[fieldNo - 1u]; ++column)
        list += ", NULL";
    list += ", " + TableSchema::Quote(field.name);
    Statement* stmt = Cached("SELECT " + list + FromClause() + " WHERE 1" + OrderBy(false));
    if (!stmt) {
        // The emptied map must not pass for the table's keys at a later call.
        map.dataVersion = -1;
        return m_PrepareStatus;
    }
    std::vector<std::uint8_t> record(m_Schema.RecordSize());
    bool tooMuch = false; // more text than the map's offsets reach
    RowsEnd end = RowsEnd::Done;
    EngineStatus s = EachRow(
        *stmt,
        [&](Statement& row) {
            if (row.IsNull(m_Columns[fieldNo - 1u]))
                return RowsEnd::Next;
            DecodeField(row, fieldNo - 1u, record.data());
            const std::string text = FieldText(field, record.data());
            if (map.texts.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
                tooMuch = true;
                return RowsEnd::Stopped;
            }
            map.entries.push_back({static_cast<std::uint32_t>(map.texts.size()),
                                   static_cast<std::uint32_t>(text.size()), row.Int(0)});
            map.texts += text;
            return RowsEnd::Next;
        },
        end);
    if (!s && tooMuch)
        s = Storage(SQLITE_NOMEM);
    // As after the scan for an order list: the pages of the whole table are not kept.
    sqlite3_db_release_memory(m_Db.Handle());
    if (!s) {
        // A stable sort keeps the rows of one text in scan order, so the first is kept.
        std::stable_sort(
            map.entries.begin(), map.entries.end(),
            [&map](const KeyMap::Entry& a, const KeyMap::Entry& b) { return map.TextOf(a) < map.TextOf(b); });
        map.entries.erase(std::unique(map.entries.begin(), map.entries.end(),
                                      [&map](const KeyMap::Entry& a, const KeyMap::Entry& b) {
                                          return map.TextOf(a) == map.TextOf(b);
                                      }),
                          map.entries.end());
        map.entries.shrink_to_fit();
        map.texts.shrink_to_fit();
        return esOk;
    }
    map.Clear();
    map.dataVersion = -1;
    return s;
}

EngineStatus Cursor::ReadFirstEqual(std::uint16_t fieldNo, const std::string& text, std::uint8_t* record,
                                    bool& answered, bool& found) {
    answered = false;
    found = false;
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    // Any active filter decides rows the map knows nothing of; a text the field cannot hold whole
    // is left to the scan's own comparison.
    if (HasActiveFilters() || !IsText(*field) || text.empty() || text.size() > field->size ||
        text.find('\0') != std::string::npos)
        return esOk;
    if (EngineStatus s = Live())
        return s;
    // A replaced file was opened anew with a schema of its own: the field is looked up again.
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::int64_t version = 0;
        if (EngineStatus s = DataVersion(version))
            return s;
        const std::int64_t changes = sqlite3_total_changes64(m_Db.Handle());
        KeyMap& map = m_KeyMaps[fieldNo];
        if (map.index != m_Index || map.dataVersion != version || map.changes != changes) {
            if (EngineStatus s = BuildKeyMap(fieldNo, map))
                return s;
            map.index = m_Index;
            map.dataVersion = version;
            map.changes = changes;
        }
        const KeyMap::Entry* entry = map.Find(text);
        if (entry == nullptr) {
            answered = true;
            SetToEnd();
            return esOk;
        }
        FetchedRow row;
        const std::int64_t rowId = entry->rowId;
        if (EngineStatus s = FetchRow(rowId, row))
            return s;
        if (row.found && FieldText(*field, m_Scratch.data()) == text) {
            answered = true;
            found = true;
            m_Position = {Where::Row, row.key, rowId, true};
            return FinishRead(LockType::None, record);
        }
        // Another program committed between the two reads: build the map again.
        map.dataVersion = -1;
    }
    return esOk;
}

EngineStatus Cursor::SeekKey(const std::vector<KeyTerm>& terms) {
    Segment segment{"1", {}, false, {}};
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (terms[i].prefix) {
            const std::string prefix = std::get<std::string>(terms[i].value);
            segment.where += " AND " + KeyColumn(i) + " >= ?";
            segment.params.emplace_back(prefix);
            const bool noCase = m_Index->caseInsensitive;
            const int column = m_Columns[m_Index->fields[i] - 1u];
            segment.within = [prefix, noCase, column](Statement& stmt) {
                const std::string text = stmt.Text(column);
                return text.size() >= prefix.size() &&
                       (noCase ? SameText(text.substr(0, prefix.size()), prefix)
                               : text.compare(0, prefix.size(), prefix) == 0);
            };
        } else {
            segment.where += " AND " + KeyColumn(i) + " IS ?";
            segment.params.push_back(terms[i].value);
        }
    }
    std::int64_t rowId = 0;
    return RunSegments({segment}, rowId);
}

// ---- values -------------------------------------------------------------------------------------

EngineStatus Cursor::ReadStoredMemo(std::uint16_t fieldNo, std::int64_t rowId, std::string& text,
                                    bool& isBlank) {
    if (EngineStatus s = Live())
        return s;
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field)) // the schema of a file opened anew
        return s;
    bool found = false;
    const EngineStatus s = OneRow(
        "SELECT " + TableSchema::Quote(field->name) + " FROM " + TableSchema::DataTable + " WHERE rowid = ?",
        {rowId},
        [&](Statement& row) {
            isBlank = row.IsNull(0);
            text = row.Text(0);
        },
        found);
    return s || found ? s : Errors::Fail(esRecordDeleted);
}

// ---- writing ------------------------------------------------------------------------------------

EngineStatus Cursor::BeginWrite() {
    ResetStatements();
    const int rc = m_Db.Exec("BEGIN IMMEDIATE");
    return rc == SQLITE_OK ? esOk : Storage(rc);
}

EngineStatus Cursor::EndWrite(EngineStatus s) {
    if (s) {
        m_Db.Exec("ROLLBACK");
        return s;
    }
    const int rc = m_Db.Exec("COMMIT");
    if (rc == SQLITE_OK)
        return esOk;
    s = Storage(rc);
    m_Db.Exec("ROLLBACK");
    return s;
}

EngineStatus Cursor::RowIdAfterInsert(std::int64_t& rowId) {
    rowId = sqlite3_last_insert_rowid(m_Db.Handle());
    if (!m_Schema.HasRowGuard())
        return esOk;
    // The guard may have moved the new row above every id given before; the high-water mark is
    // then its id (it always is the id of the row just inserted).
    bool found = false;
    const EngineStatus s = OneRow(
        std::string("SELECT high FROM ") + TableSchema::SequenceTable, {},
        [&](Statement& row) { rowId = row.Int(0); }, found);
    return s || found ? s : Storage(SQLITE_DONE);
}

// Insert: every field of the buffer. Modify: only the fields changed relative to the reference
// image (the row as read under its lock, or as last read); without one, relative to the row as
// stored, read inside the write transaction. Fields the caller did not change are not written, so
// they keep what is stored, also a value of another type than the column's.
EngineStatus Cursor::WriteRow(std::uint8_t* record, bool insert, const std::uint8_t* reference) {
    const std::int64_t target = m_Position.rowId;
    RowWrite write;
    if (insert || reference) {
        if (EngineStatus s = CollectWrite(record, insert, reference, write))
            return s;
    }
    if (!insert && reference && write.fields.empty())
        return ShowStoredRow(target, record); // nothing changed: nothing is written

    if (EngineStatus s = BeginWrite())
        return s;
    const auto rollback = [&](EngineStatus s) {
        ResetStatements();
        m_Db.Exec("ROLLBACK");
        return s;
    };
    if (!insert) {
        // The row as it is inside the write transaction: nobody can change it before we commit.
        FetchedRow row;
        if (EngineStatus s = FetchRow(target, row))
            return rollback(s);
        if (!row.found)
            return rollback(Errors::Fail(esRecordDeleted));
        if (!reference) {
            const std::vector<std::uint8_t> stored = m_Scratch;
            if (EngineStatus s = CollectWrite(record, insert, stored.data(), write))
                return rollback(s);
            if (write.fields.empty()) {
                m_Position = {Where::Row, row.key, target, row.passes};
                std::memcpy(record, stored.data(), stored.size());
                return rollback(esOk);
            }
        }
    } else if (!m_Schema.HasRowGuard()) {
        if (EngineStatus s = InstallRowGuard())
            return rollback(s);
    }

    std::string sql;
    if (insert) {
        std::string names;
        std::string marks;
        for (const FieldDesc* field : write.fields) {
            names += names.empty() ? "" : ", ";
            names += TableSchema::Quote(field->name);
            marks += marks.empty() ? "?" : ", ?";
        }
        sql = write.fields.empty() ? std::string("INSERT INTO ") + TableSchema::DataTable + " DEFAULT VALUES"
                                   : std::string("INSERT INTO ") + TableSchema::DataTable + " (" + names +
                                         ") VALUES (" + marks + ")";
    } else {
        std::string sets;
        for (const FieldDesc* field : write.fields) {
            sets += sets.empty() ? "" : ", ";
            sets += TableSchema::Quote(field->name) + " = ?";
        }
        sql = std::string("UPDATE ") + TableSchema::DataTable + " SET " + sets + " WHERE rowid = ?";
        write.values.emplace_back(target);
    }
    if (EngineStatus s = Execute(sql, write.values))
        return rollback(s);
    if (!insert && sqlite3_changes(m_Db.Handle()) == 0)
        return rollback(Errors::Fail(esRecordDeleted));
    std::int64_t rowId = target;
    if (insert) {
        if (EngineStatus s = RowIdAfterInsert(rowId))
            return rollback(s);
    }
    // The row as written, read before the commit so that it is exactly what this write stored.
    FetchedRow row;
    if (EngineStatus s = FetchRow(rowId, row))
        return rollback(s);
    if (EngineStatus s = EndWrite(esOk))
        return s;
    for (std::uint64_t id : write.usedMemos)
        m_PendingMemos.erase(id);
    if (row.found) {
        m_Position = {Where::Row, row.key, rowId, row.passes};
        std::memcpy(record, m_Scratch.data(), m_Scratch.size());
    } else {
        for (const FieldDesc& field : m_Schema.Fields()) {
            if (field.type == FieldType::Blob)
                Store<std::uint64_t>(record + field.offset + 1, 0);
        }
        Store(record, rowId);
    }
    return esOk;
}

void Cursor::Unlock(std::int64_t rowId, bool dropped) {
    m_LockImages.erase(rowId);
    m_Locks->UnlockRecord(rowId, m_Handle);
    if (dropped)
        m_DroppedLock = rowId;
}

EngineStatus Cursor::DeleteRow(std::int64_t rowId) {
    if (EngineStatus s = BeginWrite())
        return s;
    Statement* stmt = Bound(std::string("DELETE FROM ") + TableSchema::DataTable + " WHERE rowid = ?",
                            {rowId}, m_Statements);
    // A delete that cannot be prepared fails as a plain storage error.
    EngineStatus s = stmt ? Execute(*stmt) : Storage(SQLITE_ERROR);
    const bool deleted = sqlite3_changes(m_Db.Handle()) > 0;
    s = EndWrite(s);
    if (!s && !deleted)
        s = Errors::Fail(esRecordDeleted);
    return s;
}

void Cursor::UnlockAll() {
    m_Locks->UnlockAll(m_Handle);
}

bool Cursor::IsLocked(std::int64_t rowId) const {
    return m_Locks && m_Locks->IsLockedBy(rowId, m_Handle);
}

// ---- counting, filters, re-reading --------------------------------------------------------------

// Counts are exact at every call, from the file as committed then. A count is taken again only
// when something was committed to the file (by any connection) or the filters changed since the
// last: row callbacks can answer differently at any time, so a cursor with one counts every time.
EngineStatus Cursor::ExactCount(std::uint32_t& count) {
    count = 0;
    if (EngineStatus s = Live())
        return s;
    bool listed = false;
    if (EngineStatus s = CurrentOrderList(listed))
        return s;
    if (listed) {
        count = static_cast<std::uint32_t>(m_OrderList.rowIds.size());
        return esOk;
    }
    const bool remember = !HasCallbackFilters();
    std::int64_t version = -1;
    std::int64_t changes = -1;
    if (remember) {
        if (EngineStatus s = DataVersion(version))
            return s;
        changes = sqlite3_total_changes64(m_Db.Handle());
        const CountMemo& memo = m_CountMemo;
        if (memo.valid && memo.dataVersion == version && memo.changes == changes &&
            memo.filters == m_FilterChanges) {
            count = memo.count;
            return esOk;
        }
    }
    m_CountMemo.valid = false;
    std::vector<SqlValue> params;
    const bool rowFilters = HasRowFilters();
    const std::string sql = std::string("SELECT ") + (rowFilters ? SelectList() : "count(*)") + " FROM " +
                            TableSchema::DataTable + " WHERE 1" + FilterSql(params);
    const EngineStatus s = EachRow(sql, params, [&](Statement& row) {
        if (!rowFilters) {
            count = static_cast<std::uint32_t>(row.Int(0));
            return RowsEnd::Next;
        }
        m_TestRow = &row;
        m_TestDecoded = false;
        count += PassesFilters() ? 1 : 0;
        return RowsEnd::Next;
    });
    m_TestRow = nullptr;
    if (s)
        return s;
    if (remember)
        m_CountMemo = {true, version, changes, m_FilterChanges, count};
    return esOk;
}

EngineStatus Cursor::RowCount(std::uint32_t& count) {
    count = 0;
    if (EngineStatus s = Live())
        return s;
    bool found = false;
    const EngineStatus s = OneRow(
        std::string("SELECT count(*) FROM ") + TableSchema::DataTable, {},
        [&](Statement& row) { count = static_cast<std::uint32_t>(row.Int(0)); }, found);
    return s || found ? s : Storage(SQLITE_DONE);
}

std::optional<SqlCondition> Cursor::PushDownOf(const CompiledFilter& expression) const {
    return expression.PushDown();
}

EngineStatus Cursor::ForceReread() {
    ResetStatements();
    return Live();
}

EngineStatus Cursor::StoreChecks(const std::vector<ValidityCheck>& checks) {
    if (EngineStatus s = BeginWrite())
        return s;
    const int rc = m_Db.Exec(std::string("DELETE FROM ") + TableSchema::ChecksTable);
    EngineStatus s = rc == SQLITE_OK ? esOk : Storage(rc);
    for (const ValidityCheck& check : checks) {
        if (s)
            break;
        s = Execute(std::string("INSERT INTO ") + TableSchema::ChecksTable + " VALUES (?, ?)",
                    {static_cast<std::int64_t>(check.fieldNo), check.picture});
    }
    return EndWrite(s);
}

} // namespace ws::engine
