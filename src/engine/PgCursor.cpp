#include "engine/PgCursor.h"

#include "base/Strings.h"
#include "base/Utf8.h"
#include "engine/Errors.h"
#include "engine/RecordCodec.h"

#include <algorithm>
#include <cstring>

namespace ws::engine {

using codec::Load;
using codec::RowIdOf;
using codec::Store;

namespace {

constexpr int kBatch = 64; // rows fetched at a time while a scan skips filtered rows

std::string Quote(const std::string& identifier) {
    return TableSchema::Quote(identifier);
}

std::string Param(std::size_t number) {
    return "$" + std::to_string(number);
}

// The server's column type of a field.
std::string ServerType(const FieldDesc& field) {
    switch (field.type) {
    case FieldType::ZString:
        return Format("varchar(%u)", static_cast<unsigned>(field.size));
    case FieldType::Blob:
        return "text";
    case FieldType::Date:
    case FieldType::Int32:
        return "integer";
    case FieldType::Int16:
        return "smallint";
    case FieldType::Bool:
        return "boolean";
    case FieldType::Float:
        return "double precision";
    default:
        return {};
    }
}

// A table's name as the desktop driver takes it: a name, never a path ("../x" is not "x").
EngineStatus CheckTableName(const std::string& tableName) {
    if (tableName.empty() || tableName.find('/') != std::string::npos ||
        tableName.find('\0') != std::string::npos || tableName == "." || tableName == "..")
        return Errors::Fail(esInvalidParameter,
                            "Table name '" + tableName + "' is not a table of a database");
    return esOk;
}

std::string BaseName(const std::string& tableName) {
    const auto dot = tableName.rfind('.');
    return dot == std::string::npos ? tableName : tableName.substr(0, dot);
}

const char* kMetadataSql[] = {
    "CREATE TABLE IF NOT EXISTS yard_tables (id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
    "name text NOT NULL UNIQUE, rowid_column text NOT NULL)",
    "CREATE TABLE IF NOT EXISTS yard_fields (table_id integer NOT NULL REFERENCES yard_tables(id) ON DELETE "
    "CASCADE, field_no integer NOT NULL, name text NOT NULL, type integer NOT NULL, subtype integer NOT "
    "NULL, "
    "size integer NOT NULL, required boolean NOT NULL, PRIMARY KEY (table_id, field_no))",
    "CREATE TABLE IF NOT EXISTS yard_indexes (table_id integer NOT NULL REFERENCES yard_tables(id) ON DELETE "
    "CASCADE, position integer NOT NULL, name text NOT NULL, fields text NOT NULL, case_insensitive boolean "
    "NOT NULL, is_unique boolean NOT NULL, PRIMARY KEY (table_id, position))",
    "CREATE TABLE IF NOT EXISTS yard_checks (table_id integer NOT NULL REFERENCES yard_tables(id) ON DELETE "
    "CASCADE, field_no integer NOT NULL, picture text NOT NULL)",
};

} // namespace

// ---- creating and finding tables ----------------------------------------------------------------

EngineStatus PgCursor::FindTable(PgConnection& db, const std::string& tableName, std::string& stored) {
    stored.clear();
    PgResult exists = db.Exec("SELECT to_regclass('yard_tables') IS NOT NULL");
    if (!exists.Ok())
        return db.Fail(exists, "Looking for table " + tableName);
    if (exists.Text(0, 0) != "t")
        return esOk;
    PgResult found =
        db.Exec("SELECT name FROM yard_tables WHERE lower(name) = lower($1) ORDER BY name = $1 DESC "
                "LIMIT 1",
                {BaseName(tableName)});
    if (!found.Ok())
        return db.Fail(found, "Looking for table " + tableName);
    if (found.Rows() > 0)
        stored = found.Text(0, 0);
    return esOk;
}

EngineStatus PgCursor::CreateTable(const std::string& conninfo, const TableSpec& tableSpec) {
    if (EngineStatus s = CheckTableName(tableSpec.name))
        return s;
    TableSpec named = tableSpec;
    named.name = BaseName(tableSpec.name);
    TableSchema schema;
    if (EngineStatus s = schema.FromSpec(named))
        return s;
    PgConnection db;
    if (EngineStatus s = db.Connect(conninfo))
        return s;
    // Tables are made one at a time, whoever else makes them.
    for (const std::string& sql : {std::string("BEGIN"), std::string("SELECT pg_advisory_xact_lock(0, 0)")}) {
        PgResult r = db.Exec(sql);
        if (!r.Ok())
            return db.Fail(r, "Creating table " + named.name);
    }
    const auto fail = [&](const PgResult& r) {
        const EngineStatus s = db.Fail(r, "Creating table " + named.name);
        db.Exec("ROLLBACK");
        return s;
    };
    for (const char* sql : kMetadataSql) {
        PgResult r = db.Exec(sql);
        if (!r.Ok())
            return fail(r);
    }
    std::string existing;
    if (EngineStatus s = FindTable(db, named.name, existing)) {
        db.Exec("ROLLBACK");
        return s;
    }
    PgResult other = db.Exec("SELECT to_regclass($1) IS NOT NULL", {Quote(named.name)});
    if (!other.Ok())
        return fail(other);
    if (!existing.empty() || other.Text(0, 0) == "t") {
        db.Exec("ROLLBACK");
        return Errors::Fail(esTableExists, "Table: " + named.name);
    }
    std::string rowIdColumn = "yard_rowid";
    std::string columns;
    for (const FieldDesc& field : schema.Fields()) {
        columns += columns.empty() ? "" : ", ";
        if (field.subtype == FieldSubtype::AutoInc) {
            rowIdColumn = field.name;
            columns += Quote(field.name) + " integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
            continue;
        }
        if (SameText(field.name, "yard_rowid")) {
            db.Exec("ROLLBACK");
            return Errors::Fail(esInvalidParameter, "field name 'yard_rowid' is the engine's own");
        }
        columns += Quote(field.name) + " " + ServerType(field) + (field.required ? " NOT NULL" : "");
    }
    if (rowIdColumn == "yard_rowid")
        columns = "yard_rowid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, " + columns;
    std::vector<std::pair<std::string, std::vector<PgParam>>> statements;
    statements.push_back({"CREATE TABLE " + Quote(named.name) + " (" + columns + ")", {}});
    for (const IndexDesc& index : schema.Indexes()) {
        std::string keys;
        std::string numbers;
        for (std::uint16_t number : index.fields) {
            const FieldDesc& field = schema.Fields()[number - 1u];
            keys += keys.empty() ? "" : ", ";
            if (field.type == FieldType::ZString)
                keys += index.caseInsensitive ? "lower(" + Quote(field.name) + " COLLATE \"C\")"
                                              : Quote(field.name) + " COLLATE \"C\"";
            else
                keys += Quote(field.name);
            numbers += numbers.empty() ? "" : ",";
            numbers += std::to_string(number);
        }
        // The row id closes every key: rows with equal keys come in row-id order. With the row id
        // in it a key is never repeated, so a unique index refuses repeated keys with a second
        // index over the key alone.
        statements.push_back(
            {Format("CREATE INDEX %s ON %s (%s, %s)", Quote(named.name + "." + index.name).c_str(),
                    Quote(named.name).c_str(), keys.c_str(), Quote(rowIdColumn).c_str()),
             {}});
        if (index.unique)
            statements.push_back({Format("CREATE UNIQUE INDEX %s ON %s (%s)",
                                         Quote(named.name + "." + index.name + ".unique").c_str(),
                                         Quote(named.name).c_str(), keys.c_str()),
                                  {}});
    }
    PgResult id = db.Exec("INSERT INTO yard_tables (name, rowid_column) VALUES ($1, $2) RETURNING id",
                          {named.name, rowIdColumn});
    if (!id.Ok())
        return fail(id);
    const std::string tableId = id.Text(0, 0);
    for (const FieldDesc& field : schema.Fields()) {
        statements.push_back(
            {"INSERT INTO yard_fields VALUES ($1, $2, $3, $4, $5, $6, $7)",
             {tableId, std::to_string(field.number), field.name, std::to_string(static_cast<int>(field.type)),
              std::to_string(static_cast<int>(field.subtype)), std::to_string(field.size),
              std::string(field.required ? "true" : "false")}});
    }
    for (std::size_t i = 0; i < schema.Indexes().size(); ++i) {
        const IndexDesc& index = schema.Indexes()[i];
        std::string numbers;
        for (std::uint16_t number : index.fields)
            numbers += (numbers.empty() ? "" : ",") + std::to_string(number);
        statements.push_back({"INSERT INTO yard_indexes VALUES ($1, $2, $3, $4, $5, $6)",
                              {tableId, std::to_string(i + 1), index.name, numbers,
                               std::string(index.caseInsensitive ? "true" : "false"),
                               std::string(index.unique ? "true" : "false")}});
    }
    for (const ValidityCheck& check : tableSpec.checks)
        statements.push_back({"INSERT INTO yard_checks VALUES ($1, $2, $3)",
                              {tableId, std::to_string(check.fieldNo), check.picture}});
    statements.push_back({"COMMIT", {}});
    for (const auto& [sql, params] : statements) {
        PgResult r = db.Exec(sql, params);
        if (!r.Ok())
            return fail(r);
    }
    return esOk;
}

// ---- opening ------------------------------------------------------------------------------------

PgCursor::PgCursor(hCursor handle, std::string conninfo, std::string tableName)
    : CursorBase(handle), m_ConnInfo(std::move(conninfo)), m_TableName(std::move(tableName)) {}

// The session's end would drop its locks too, but the server learns of that end only after the
// connection is gone: another cursor asking at once could still find them held.
PgCursor::~PgCursor() {
    if (m_Db.IsOpen() && !m_Db.Lost())
        m_Db.Exec("SELECT pg_advisory_unlock_all()");
}

// Every statement of the cursor goes through here. A session the server lost (restarted, ended
// it) is replaced by a new one at the cursor's next statement: the call that met the loss failed
// with it, the next one works again once the server is back. The old session's locks are gone
// with it, the table's open lock is taken again. A session the server ended while the cursor
// was idle is replaced at once, before the statement, when it held no record lock: nothing was
// lost with it, and every cursor of a program works again at its first call after a restart
// (the board reports a restart at the one tick that fails, not again at a later one). Record
// locks that went with it fail the call, which says so.
PgResult PgCursor::Exec(const std::string& sql, const std::vector<PgParam>& params) {
    if (m_Db.IsOpen() && !m_Db.Lost() && m_Db.EndedMeanwhile() && !m_Locked.empty()) {
        m_Locked.clear();
        m_LockImages.clear();
        m_DroppedLock.reset();
        return PgResult();
    }
    if (m_Db.Lost()) {
        m_Locked.clear();
        m_LockImages.clear();
        m_DroppedLock.reset();
        if (m_Db.Connect(m_ConnInfo) != esOk)
            return PgResult();
        PgResult lock = m_Db.Exec(std::string("SELECT ") +
                                      (m_Exclusive ? "pg_try_advisory_lock" : "pg_try_advisory_lock_shared") +
                                      "($1::int4, 0)",
                                  {std::to_string(m_LockSpace)});
        if (!lock.Ok() || lock.Text(0, 0) != "t") {
            m_Db.Close();
            return PgResult();
        }
    }
    if (!m_Db.IsOpen() && m_Db.Connect(m_ConnInfo) != esOk)
        return PgResult();
    return m_Db.Exec(sql, params);
}

EngineStatus PgCursor::Failed(const PgResult& result) {
    return m_Db.Fail(result, "Table: " + m_TableName);
}

EngineStatus PgCursor::Connect(bool readOnly) {
    m_ReadOnly = readOnly;
    if (EngineStatus s = CheckTableName(m_TableName))
        return s;
    if (EngineStatus s = m_Db.Connect(m_ConnInfo)) {
        Errors::AddContext("Table: " + m_TableName);
        return s;
    }
    return LoadSchema();
}

EngineStatus PgCursor::LoadSchema() {
    std::string stored;
    if (EngineStatus s = FindTable(m_Db, m_TableName, stored))
        return s;
    if (stored.empty())
        return Errors::Fail(esTableNotFound, "Table: " + m_TableName);
    m_TableName = stored;
    PgResult table = Exec("SELECT id, rowid_column FROM yard_tables WHERE name = $1", {stored});
    if (!table.Ok() || table.Rows() != 1)
        return table.Ok() ? Errors::Fail(esTableNotFound, "Table: " + stored) : Failed(table);
    const std::string id = table.Text(0, 0);
    m_RowIdColumn = table.Text(0, 1);
    // Advisory locks are the server database's, whatever the schema: the data table's object id
    // names the table among all of them.
    PgResult oid = Exec("SELECT to_regclass($1)::oid::bigint", {Quote(stored)});
    if (!oid.Ok() || oid.Rows() != 1 || oid.IsNull(0, 0))
        return oid.Ok() ? Errors::Fail(esTableNotFound, "Table: " + stored) : Failed(oid);
    m_LockSpace = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::stoull(oid.Text(0, 0))));
    m_TableId = id;
    TableSpec layout;
    layout.name = stored;
    PgResult fields = Exec(
        "SELECT name, type, subtype, size, required FROM yard_fields WHERE table_id = $1 ORDER BY field_no",
        {id});
    if (!fields.Ok())
        return Failed(fields);
    for (int r = 0; r < fields.Rows(); ++r) {
        FieldDesc field;
        field.name = fields.Text(r, 0);
        field.type = static_cast<FieldType>(std::stoi(fields.Text(r, 1)));
        field.subtype = static_cast<FieldSubtype>(std::stoi(fields.Text(r, 2)));
        field.size = static_cast<std::uint16_t>(std::stoi(fields.Text(r, 3)));
        field.required = fields.Text(r, 4) == "t";
        layout.fields.push_back(field);
    }
    PgResult indexes = Exec("SELECT name, fields, case_insensitive, is_unique FROM yard_indexes WHERE "
                            "table_id = $1 ORDER BY position",
                            {id});
    if (!indexes.Ok())
        return Failed(indexes);
    for (int r = 0; r < indexes.Rows(); ++r) {
        IndexDesc index{indexes.Text(r, 0), {}, indexes.Text(r, 2) == "t", indexes.Text(r, 3) == "t", 0};
        for (const std::string& number : Split(indexes.Text(r, 1), ','))
            index.fields.push_back(static_cast<std::uint16_t>(std::stoi(number)));
        layout.indexes.push_back(index);
    }
    PgResult checks = Exec("SELECT field_no, picture FROM yard_checks WHERE table_id = $1", {id});
    if (!checks.Ok())
        return Failed(checks);
    for (int r = 0; r < checks.Rows(); ++r)
        layout.checks.push_back(
            {static_cast<std::uint16_t>(std::stoi(checks.Text(r, 0))), checks.Text(r, 1)});
    if (m_Schema.FromSpec(layout) != esOk) {
        Errors::Fail(esNotATable, "Table: " + stored);
        Errors::AddContext("The engine's description of the table on the server is not valid");
        return esNotATable;
    }
    m_Scratch.assign(m_Schema.RecordSize(), 0);
    return esOk;
}

EngineStatus PgCursor::Open(const std::string& indexName, OpenMode mode, ShareMode share) {
    if (EngineStatus s = Connect(mode == OpenMode::ReadOnly))
        return s;
    // The table's open lock: key 0 of the table's lock space, shared or exclusive.
    m_Exclusive = share == ShareMode::Exclusive;
    PgResult lock =
        Exec(std::string("SELECT ") +
                 (share == ShareMode::Exclusive ? "pg_try_advisory_lock" : "pg_try_advisory_lock_shared") +
                 "($1::int4, 0)",
             {std::to_string(m_LockSpace)});
    if (!lock.Ok())
        return Failed(lock);
    if (lock.Text(0, 0) != "t")
        return Errors::Fail(esTableInUse, "Table: " + m_TableName);
    return SwitchToIndex(indexName);
}

EngineStatus PgCursor::OpenClone(const PgCursor& source, bool readOnly) {
    if (EngineStatus s = Connect(readOnly || source.m_ReadOnly))
        return s;
    PgResult lock = Exec("SELECT pg_try_advisory_lock_shared($1::int4, 0)", {std::to_string(m_LockSpace)});
    if (!lock.Ok())
        return Failed(lock);
    if (lock.Text(0, 0) != "t")
        return Errors::Fail(esTableInUse, "Table: " + m_TableName);
    if (source.m_Index) {
        if (EngineStatus s = SwitchToIndex(source.m_Index->name))
            return s;
    }
    m_Position = source.m_Position;
    return esOk;
}

// ---- SQL ----------------------------------------------------------------------------------------

std::string PgCursor::Column(const FieldDesc& field) const {
    return Quote(field.name);
}

std::string PgCursor::SelectList() const {
    std::string list = Quote(m_RowIdColumn);
    for (const FieldDesc& field : m_Schema.Fields())
        list +=
            ", " + (field.type == FieldType::Blob ? "(" + Column(field) + " IS NOT NULL)" : Column(field));
    return list;
}

std::string PgCursor::KeyExpr(std::size_t i) const {
    const FieldDesc& field = *m_Schema.Field(m_Index->fields[i]);
    if (field.type != FieldType::ZString)
        return Column(field);
    return m_Index->caseInsensitive ? "lower(" + Column(field) + " COLLATE \"C\")"
                                    : "(" + Column(field) + " COLLATE \"C\")";
}

std::string PgCursor::ParamExpr(std::size_t i, std::size_t number) const {
    const FieldDesc& field = *m_Schema.Field(m_Index->fields[i]);
    const std::string p = Param(number);
    switch (field.type) {
    case FieldType::ZString:
        return m_Index->caseInsensitive ? "lower(" + p + "::text COLLATE \"C\")"
                                        : "(" + p + "::text COLLATE \"C\")";
    case FieldType::Int16:
        return p + "::smallint";
    case FieldType::Bool:
        return p + "::boolean";
    case FieldType::Float:
        return p + "::double precision";
    default:
        return p + "::integer";
    }
}

std::string PgCursor::OrderBy(bool descending) const {
    const char* direction = descending ? " DESC NULLS LAST" : " ASC NULLS FIRST";
    std::string order = " ORDER BY ";
    const std::size_t n = m_Index ? m_Index->fields.size() : 0;
    for (std::size_t i = 0; i < n; ++i)
        order += KeyExpr(i) + direction + ", ";
    return order + Quote(m_RowIdColumn) + (descending ? " DESC" : " ASC");
}

// Rows strictly after (or before) the position in key order, blank keys first.
std::string PgCursor::AfterCondition(bool next, std::vector<PgParam>& params) const {
    if (m_Position.where != Where::Row)
        return "TRUE";
    const std::size_t n = m_Index ? m_Index->fields.size() : 0;
    std::string any;
    std::string equal = "TRUE";
    for (std::size_t j = 0; j <= n; ++j) {
        std::string beyond;
        if (j == n) {
            params.push_back(std::to_string(m_Position.rowId));
            beyond = Quote(m_RowIdColumn) + (next ? " > " : " < ") + Param(params.size()) + "::bigint";
        } else {
            const SqlValue& v = m_Position.key[j];
            const bool blank = std::holds_alternative<std::monostate>(v);
            if (next) {
                if (blank) {
                    beyond = KeyExpr(j) + " IS NOT NULL";
                } else {
                    params.push_back(ToParam(*m_Schema.Field(m_Index->fields[j]), v));
                    beyond = KeyExpr(j) + " > " + ParamExpr(j, params.size());
                }
            } else if (!blank) {
                params.push_back(ToParam(*m_Schema.Field(m_Index->fields[j]), v));
                beyond = "(" + KeyExpr(j) + " < " + ParamExpr(j, params.size()) + " OR " + KeyExpr(j) +
                         " IS NULL)";
            }
        }
        if (!beyond.empty()) {
            any += any.empty() ? "" : " OR ";
            any += "(" + equal + " AND " + beyond + ")";
        }
        if (j < n) {
            const SqlValue& v = m_Position.key[j];
            if (std::holds_alternative<std::monostate>(v)) {
                equal += " AND " + KeyExpr(j) + " IS NULL";
            } else {
                params.push_back(ToParam(*m_Schema.Field(m_Index->fields[j]), v));
                equal += " AND " + KeyExpr(j) + " = " + ParamExpr(j, params.size());
            }
        }
    }
    return any.empty() ? "FALSE" : "(" + any + ")";
}

PgParam PgCursor::ToParam(const FieldDesc& field, const SqlValue& value) const {
    if (std::holds_alternative<std::monostate>(value))
        return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        if (field.type == FieldType::Bool)
            return std::string(*number != 0 ? "true" : "false");
        if (field.type == FieldType::Float)
            return Format("%.17g", static_cast<double>(*number));
        return std::to_string(*number);
    }
    return Format("%.17g", std::get<double>(value));
}

// ---- decoding -----------------------------------------------------------------------------------

void PgCursor::DecodeRow(const PgResult& rows, int row, std::uint8_t* record) const {
    Store<std::int64_t>(record, std::stoll(rows.Text(row, 0)));
    for (std::size_t i = 0; i < m_Schema.Fields().size(); ++i) {
        const FieldDesc& field = m_Schema.Fields()[i];
        const int column = static_cast<int>(i + 1);
        codec::ClearField(field, record);
        if (field.type == FieldType::Blob) {
            codec::PutMemoPresence(field, rows.Text(row, column) == "t", record);
            continue;
        }
        if (rows.IsNull(row, column))
            continue;
        const std::string text = rows.Text(row, column);
        switch (field.type) {
        case FieldType::ZString:
            codec::PutText(field, text, record);
            break;
        case FieldType::Date:
        case FieldType::Int32:
        case FieldType::Int16:
            codec::PutInteger(field, std::stoll(text), record);
            break;
        case FieldType::Bool:
            codec::PutInteger(field, text == "t" ? 1 : 0, record);
            break;
        case FieldType::Float:
            codec::PutReal(field, std::strtod(text.c_str(), nullptr), record);
            break;
        default:
            break;
        }
    }
}

std::vector<SqlValue> PgCursor::KeyOfRow(const PgResult& rows, int row) const {
    std::vector<SqlValue> key;
    if (!m_Index)
        return key;
    for (std::uint16_t number : m_Index->fields) {
        const FieldDesc& field = *m_Schema.Field(number);
        if (rows.IsNull(row, number)) {
            key.emplace_back(std::monostate{});
            continue;
        }
        const std::string text = rows.Text(row, number);
        switch (field.type) {
        case FieldType::ZString:
            key.emplace_back(text);
            break;
        case FieldType::Float:
            key.emplace_back(std::strtod(text.c_str(), nullptr));
            break;
        case FieldType::Bool:
            key.emplace_back(std::int64_t{text == "t" ? 1 : 0});
            break;
        default:
            key.emplace_back(static_cast<std::int64_t>(std::stoll(text)));
            break;
        }
    }
    return key;
}

// ---- moving -------------------------------------------------------------------------------------

EngineStatus PgCursor::Scan(bool next, bool fromPosition, const std::string& extra,
                            std::vector<PgParam> params) {
    const Position start = m_Position;
    const std::size_t fixed = params.size();
    if (!fromPosition)
        m_Position = {};
    for (;;) {
        params.resize(fixed);
        const std::string after = AfterCondition(next, params);
        const std::string sql = "SELECT " + SelectList() + " FROM " + Quote(m_TableName) + " WHERE " + after +
                                " AND " + extra + OrderBy(!next) + " LIMIT " + std::to_string(kBatch);
        PgResult rows = Exec(sql, params);
        if (!rows.Ok()) {
            m_Position = start;
            return Failed(rows);
        }
        for (int r = 0; r < rows.Rows(); ++r) {
            DecodeRow(rows, r, m_Scratch.data());
            m_Position = {Where::Row, KeyOfRow(rows, r), RowIdOf(m_Scratch.data()), false};
            if (PassesFilters()) {
                m_Position.onRow = true;
                return esOk;
            }
        }
        if (rows.Rows() < kBatch) {
            m_Position = start;
            return esRecordNotFound;
        }
    }
}

EngineStatus PgCursor::FetchRow(std::int64_t rowId, FetchedRow& fetched) {
    PgResult rows = Exec("SELECT " + SelectList() + " FROM " + Quote(m_TableName) + " WHERE " +
                             Quote(m_RowIdColumn) + " = $1::bigint",
                         {std::to_string(rowId)});
    if (!rows.Ok())
        return Failed(rows);
    fetched.found = rows.Rows() > 0;
    fetched.passes = false;
    if (fetched.found) {
        DecodeRow(rows, 0, m_Scratch.data());
        fetched.passes = PassesFilters();
        fetched.key = KeyOfRow(rows, 0);
    }
    return esOk;
}

EngineStatus PgCursor::TakeLock(std::int64_t rowId) {
    if (!IsLocked(rowId)) {
        PgResult lock = Exec("SELECT pg_try_advisory_lock($1::int4, $2::bigint::int4)",
                             {std::to_string(m_LockSpace), std::to_string(rowId)});
        if (!lock.Ok())
            return Failed(lock);
        if (lock.Text(0, 0) != "t")
            return Errors::Fail(esRecordLocked, "Table: " + m_TableName);
        m_Locked[rowId] = true;
    }
    if (m_DroppedLock == rowId)
        m_DroppedLock.reset();
    return esOk;
}

void PgCursor::Unlock(std::int64_t rowId, bool dropped) {
    m_LockImages.erase(rowId);
    if (m_Locked.erase(rowId))
        Exec("SELECT pg_advisory_unlock($1::int4, $2::bigint::int4)",
             {std::to_string(m_LockSpace), std::to_string(rowId)});
    if (dropped)
        m_DroppedLock = rowId;
}

EngineStatus PgCursor::ReadAdjacent(Direction direction) {
    return Scan(direction == Direction::Next, true, "TRUE", {});
}

// ---- bookmarks ----------------------------------------------------------------------------------

EngineStatus PgCursor::SetToCursor(const PgCursor& source) {
    if (source.m_TableName != m_TableName || source.m_ConnInfo != m_ConnInfo)
        return Errors::Fail(esDifferentTables);
    return FollowPosition(source.m_Position);
}

// ---- keyed reads --------------------------------------------------------------------------------

EngineStatus PgCursor::SeekKey(const std::vector<KeyTerm>& terms) {
    std::string where = "TRUE";
    std::vector<PgParam> params;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const FieldDesc& field = *m_Schema.Field(m_Index->fields[i]);
        const SqlValue& value = terms[i].value;
        if (std::holds_alternative<std::monostate>(value)) {
            where += " AND " + KeyExpr(i) + " IS NULL";
        } else if (terms[i].prefix) {
            // The prefix's characters; substr counts characters as the field's size does.
            const std::string& prefix = std::get<std::string>(value);
            params.push_back(prefix);
            const std::string cut =
                "substr(" + Column(field) + ", 1, " + std::to_string(Utf8Length(prefix)) + ") COLLATE \"C\"";
            where += " AND " + (m_Index->caseInsensitive ? "lower(" + cut + ")" : "(" + cut + ")") + " = " +
                     ParamExpr(i, params.size());
        } else {
            params.push_back(ToParam(field, value));
            where += " AND " + KeyExpr(i) + " = " + ParamExpr(i, params.size());
        }
    }
    return Scan(true, false, where, params);
}

// ---- values -------------------------------------------------------------------------------------

EngineStatus PgCursor::ReadStoredMemo(std::uint16_t fieldNo, std::int64_t rowId, std::string& text,
                                      bool& isBlank) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    PgResult rows = Exec("SELECT " + Column(*field) + " FROM " + Quote(m_TableName) + " WHERE " +
                             Quote(m_RowIdColumn) + " = $1::bigint",
                         {std::to_string(rowId)});
    if (!rows.Ok())
        return Failed(rows);
    if (rows.Rows() == 0)
        return Errors::Fail(esRecordDeleted);
    isBlank = rows.IsNull(0, 0);
    text = rows.Text(0, 0);
    return esOk;
}

// ---- writing ------------------------------------------------------------------------------------

// Insert: every field. Modify: only the fields changed relative to the reference image (the row
// as read under its lock, or as last read; without one, the row as stored now). A modify that
// changes nothing writes nothing. Each write is one statement, and so one transaction.
EngineStatus PgCursor::WriteRow(std::uint8_t* record, bool insert, const std::uint8_t* reference) {
    const std::int64_t target = m_Position.rowId;
    std::vector<std::uint8_t> stored;
    if (!insert && !reference) {
        FetchedRow row;
        if (EngineStatus s = FetchRow(target, row))
            return s;
        if (!row.found)
            return Errors::Fail(esRecordDeleted);
        stored = m_Scratch;
        reference = stored.data();
    }
    RowWrite write;
    if (EngineStatus s = CollectWrite(record, insert, reference, write))
        return s;
    std::vector<std::string> columns;
    std::vector<PgParam> values;
    for (std::size_t i = 0; i < write.fields.size(); ++i) {
        columns.push_back(Column(*write.fields[i]));
        values.push_back(ToParam(*write.fields[i], write.values[i]));
    }
    if (!insert && columns.empty())
        return ShowStoredRow(target, record); // nothing changed: nothing is written
    std::string sql;
    if (insert) {
        std::string names;
        std::string marks;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            names += (i ? ", " : "") + columns[i];
            marks += (i ? ", " : "") + Param(i + 1);
        }
        sql = "INSERT INTO " + Quote(m_TableName) +
              (columns.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
    } else {
        std::string sets;
        for (std::size_t i = 0; i < columns.size(); ++i)
            sets += (i ? ", " : "") + columns[i] + " = " + Param(i + 1);
        values.push_back(std::to_string(target));
        sql = "UPDATE " + Quote(m_TableName) + " SET " + sets + " WHERE " + Quote(m_RowIdColumn) + " = " +
              Param(values.size()) + "::bigint";
    }
    PgResult rows = Exec(sql + " RETURNING " + SelectList(), values);
    if (!rows.Ok())
        return Failed(rows);
    if (rows.Rows() == 0)
        return Errors::Fail(esRecordDeleted);
    for (std::uint64_t id : write.usedMemos)
        m_PendingMemos.erase(id);
    DecodeRow(rows, 0, m_Scratch.data());
    m_Position = {Where::Row, KeyOfRow(rows, 0), RowIdOf(m_Scratch.data()), PassesFilters()};
    std::memcpy(record, m_Scratch.data(), m_Scratch.size());
    return esOk;
}

EngineStatus PgCursor::DeleteRow(std::int64_t rowId) {
    PgResult done =
        Exec("DELETE FROM " + Quote(m_TableName) + " WHERE " + Quote(m_RowIdColumn) + " = $1::bigint",
             {std::to_string(rowId)});
    EngineStatus s = done.Ok() ? esOk : Failed(done);
    if (!s && done.Affected() == 0)
        s = Errors::Fail(esRecordDeleted);
    return s;
}

void PgCursor::UnlockAll() {
    while (!m_Locked.empty())
        Unlock(m_Locked.begin()->first, false);
}

// ---- counting, filters, re-reading --------------------------------------------------------------

EngineStatus PgCursor::ExactCount(std::uint32_t& count) {
    count = 0;
    if (!HasActiveFilters())
        return RowCount(count);
    PgResult rows = Exec("SELECT " + SelectList() + " FROM " + Quote(m_TableName));
    if (!rows.Ok())
        return Failed(rows);
    for (int r = 0; r < rows.Rows(); ++r) {
        DecodeRow(rows, r, m_Scratch.data());
        count += PassesFilters() ? 1 : 0;
    }
    return esOk;
}

EngineStatus PgCursor::RowCount(std::uint32_t& count) {
    count = 0;
    PgResult rows = Exec("SELECT count(*) FROM " + Quote(m_TableName));
    if (!rows.Ok())
        return Failed(rows);
    count = static_cast<std::uint32_t>(std::stoull(rows.Text(0, 0)));
    return esOk;
}

EngineStatus PgCursor::ForceReread() {
    // Nothing is kept between calls; the session is checked at once.
    PgResult ping = Exec("SELECT 1");
    return ping.Ok() ? esOk : Failed(ping);
}

EngineStatus PgCursor::StoreChecks(const std::vector<ValidityCheck>& checks) {
    const std::string id = m_TableId;
    std::vector<std::pair<std::string, std::vector<PgParam>>> statements = {
        {"BEGIN", {}}, {"DELETE FROM yard_checks WHERE table_id = $1", {id}}};
    for (const ValidityCheck& check : checks)
        statements.push_back({"INSERT INTO yard_checks VALUES ($1, $2, $3)",
                              {id, std::to_string(check.fieldNo), check.picture}});
    statements.push_back({"COMMIT", {}});
    for (const auto& [sql, params] : statements) {
        PgResult r = Exec(sql, params);
        if (!r.Ok()) {
            const EngineStatus s = Failed(r);
            Exec("ROLLBACK");
            return s;
        }
    }
    return esOk;
}

} // namespace ws::engine
