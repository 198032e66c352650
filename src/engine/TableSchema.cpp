#include "engine/TableSchema.h"

#include "base/Strings.h"
#include "base/Utf8.h"
#include "engine/Errors.h"

#include <set>
#include <sqlite3.h>

namespace ws::engine {

namespace {

constexpr std::size_t kMaxFields = 1024;
constexpr std::size_t kMaxNameLength = 128;
constexpr int kMaxStringSize = 255;
constexpr int kFormatVersion = 1;
// A bookmark (an 11-byte header and the key images of the widest index) has a 16-bit size.
constexpr std::size_t kMaxKeySize = 0xFFFF - 16;
constexpr const char* kFormatName = "yard-table";

EngineStatus Foreign(const std::string& file, const std::string& why) {
    return Errors::Fail(esNotATable, file + ": " + why);
}

// "VARCHAR(80)" -> base "VARCHAR", size 80; size -1 when there is none or it does not parse.
void SplitSize(const std::string& declared, std::string& base, int& size) {
    size = -1;
    base = UpperCase(Trim(declared));
    const auto open = base.find('(');
    if (open == std::string::npos)
        return;
    const auto close = base.find(')', open);
    if (close == std::string::npos || close != base.size() - 1) {
        base.clear();
        return;
    }
    const std::string digits = Trim(std::string_view(base).substr(open + 1, close - open - 1));
    base = Trim(std::string_view(base).substr(0, open));
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
        base.clear();
        return;
    }
    size = std::stoi(digits);
}

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength)
        return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return !SameText(name, "rowid") && !SameText(name, "oid") && !SameText(name, "_rowid_");
}

// A text as an SQL literal.
std::string SqlText(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted + "'";
}

} // namespace

std::string TableSchema::Quote(const std::string& identifier) {
    std::string quoted = "\"";
    for (char c : identifier) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::uint16_t TableSchema::ValueLength(const FieldDesc& field) {
    switch (field.type) {
    case FieldType::ZString:
        return static_cast<std::uint16_t>(Utf8MaxBytes(field.size) + 1);
    case FieldType::Date:
    case FieldType::Int32:
        return 4;
    case FieldType::Bool:
    case FieldType::Int16:
        return 2;
    case FieldType::Float:
    case FieldType::Blob: // memo: the id of a pending text, 0 for the stored one
        return 8;
    default:
        return 0;
    }
}

std::string TableSchema::DeclaredType(const FieldDesc& field, bool primaryKey) {
    switch (field.type) {
    case FieldType::ZString:
        return Format("VARCHAR(%u)", static_cast<unsigned>(field.size));
    case FieldType::Blob:
        return Format("MEMO TEXT(%u)", static_cast<unsigned>(field.size));
    case FieldType::Date:
        return "DATE INTEGER";
    case FieldType::Bool:
        return "BOOLEAN INTEGER";
    case FieldType::Int16:
        return "SMALLINT";
    case FieldType::Float:
        return field.subtype == FieldSubtype::Money ? "CURRENCY REAL" : "FLOAT";
    case FieldType::Int32:
        if (field.subtype == FieldSubtype::AutoInc)
            return primaryKey ? "INTEGER PRIMARY KEY AUTOINCREMENT" : std::string();
        return "INTEGER";
    default:
        return {};
    }
}

bool TableSchema::ParseDeclaredType(const std::string& declared, bool primaryKey, FieldDesc& field) {
    std::string base;
    int size = -1;
    SplitSize(declared, base, size);
    field.subtype = FieldSubtype::None;
    field.size = 0;
    if (base == "VARCHAR" && size >= 1 && size <= kMaxStringSize) {
        field.type = FieldType::ZString;
        field.size = static_cast<std::uint16_t>(size);
    } else if (base == "MEMO TEXT" && size <= 0xFFFF) {
        field.type = FieldType::Blob;
        field.subtype = FieldSubtype::Memo;
        field.size = static_cast<std::uint16_t>(size < 0 ? 0 : size);
    } else if (size >= 0) {
        return false;
    } else if (base == "DATE INTEGER") {
        field.type = FieldType::Date;
    } else if (base == "BOOLEAN INTEGER") {
        field.type = FieldType::Bool;
    } else if (base == "SMALLINT") {
        field.type = FieldType::Int16;
    } else if (base == "FLOAT") {
        field.type = FieldType::Float;
    } else if (base == "CURRENCY REAL") {
        field.type = FieldType::Float;
        field.subtype = FieldSubtype::Money;
    } else if (base == "INTEGER") {
        field.type = FieldType::Int32;
        if (primaryKey) {
            field.subtype = FieldSubtype::AutoInc;
            field.readOnly = true;
        }
    } else {
        return false;
    }
    return true;
}

EngineStatus TableSchema::Load(SqliteConnection& db, const std::string& file) {
    m_Fields.clear();
    m_Indexes.clear();
    m_Checks.clear();
    if (EngineStatus s = LoadInfo(db, file))
        return s;
    if (EngineStatus s = LoadFields(db, file))
        return s;
    Layout();
    if (EngineStatus s = LoadIndexes(db, file))
        return s;
    if (EngineStatus s = LoadChecks(db, file))
        return s;
    return LoadGuard(db, file);
}

EngineStatus TableSchema::LoadGuard(SqliteConnection& db, const std::string& file) {
    int rc = 0;
    Statement stmt = db.Prepare(Format("SELECT count(*) FROM sqlite_master WHERE (type = 'table' AND name = "
                                       "'%s') OR (type = 'trigger' AND name = '%s')",
                                       SequenceTable, RowGuard),
                                &rc);
    if (rc != SQLITE_OK)
        return FailFromSqlite(rc, file, db.LastMessage());
    rc = stmt.Step();
    if (rc != SQLITE_ROW)
        return FailFromSqlite(rc, file, db.LastMessage());
    m_HasRowGuard = stmt.Int(0) == 2;
    return esOk;
}

std::vector<std::string> TableSchema::RowGuardSql(bool hasSequenceTable) {
    std::vector<std::string> sql;
    sql.push_back(Format("CREATE TABLE IF NOT EXISTS %s (high INTEGER NOT NULL)", SequenceTable));
    // A file made before the guard: the highest id it holds, or, for an autoincrement field, the
    // highest SQLite has ever given (a deleted last row is then not given again either).
    std::string seen = Format("coalesce((SELECT max(rowid) FROM %s), 0)", DataTable);
    if (hasSequenceTable)
        seen = Format("max(%s, coalesce((SELECT seq FROM sqlite_sequence WHERE name = '%s'), 0))",
                      seen.c_str(), DataTable);
    sql.push_back(Format("INSERT INTO %s (high) SELECT %s WHERE NOT EXISTS (SELECT 1 FROM %s)", SequenceTable,
                         seen.c_str(), SequenceTable));
    // SQLite gives a new row max(rowid) + 1, which is a deleted row's id again when the last rows
    // were deleted. The trigger moves such a row to an id above every id ever given, and keeps the
    // high-water mark. It runs for every program that inserts, not only for this engine.
    sql.push_back(Format("CREATE TRIGGER IF NOT EXISTS %s AFTER INSERT ON %s BEGIN "
                         "UPDATE %s SET rowid = (SELECT high FROM %s) + 1 "
                         "WHERE rowid = NEW.rowid AND NEW.rowid <= (SELECT high FROM %s); "
                         "UPDATE %s SET high = (SELECT max(rowid) FROM %s) "
                         "WHERE high < (SELECT max(rowid) FROM %s); END",
                         RowGuard, DataTable, DataTable, SequenceTable, SequenceTable, SequenceTable,
                         DataTable, DataTable));
    return sql;
}

bool TableSchema::SameLayout(const TableSchema& other) const {
    if (m_RecordSize != other.m_RecordSize || m_Fields.size() != other.m_Fields.size() ||
        m_Indexes.size() != other.m_Indexes.size())
        return false;
    for (std::size_t i = 0; i < m_Fields.size(); ++i) {
        const FieldDesc& a = m_Fields[i];
        const FieldDesc& b = other.m_Fields[i];
        if (a.name != b.name || a.type != b.type || a.subtype != b.subtype || a.size != b.size ||
            a.offset != b.offset || a.length != b.length || a.required != b.required)
            return false;
    }
    for (std::size_t i = 0; i < m_Indexes.size(); ++i) {
        const IndexDesc& a = m_Indexes[i];
        const IndexDesc& b = other.m_Indexes[i];
        if (a.name != b.name || a.fields != b.fields || a.caseInsensitive != b.caseInsensitive ||
            a.unique != b.unique)
            return false;
    }
    return true;
}

EngineStatus TableSchema::LoadInfo(SqliteConnection& db, const std::string& file) {
    int rc = 0;
    Statement stmt = db.Prepare(Format("SELECT key, value FROM %s", InfoTable), &rc);
    if (rc != SQLITE_OK) {
        // A database without our information table is someone else's file.
        if ((rc & 0xFF) == SQLITE_ERROR)
            return Foreign(file, "not a table file of this engine");
        return FailFromSqlite(rc, file, db.LastMessage());
    }
    std::string format;
    std::string version;
    while ((rc = stmt.Step()) == SQLITE_ROW) {
        const std::string key = stmt.Text(0);
        if (key == "format")
            format = stmt.Text(1);
        else if (key == "version")
            version = stmt.Text(1);
        else if (key == "name")
            m_Name = stmt.Text(1);
    }
    if (rc != SQLITE_DONE)
        return FailFromSqlite(rc, file, db.LastMessage());
    if (format != kFormatName)
        return Foreign(file, "not a table file of this engine");
    if (version != std::to_string(kFormatVersion))
        return Foreign(file, "table format version '" + version + "' is not supported");
    return esOk;
}

EngineStatus TableSchema::LoadFields(SqliteConnection& db, const std::string& file) {
    int rc = 0;
    Statement stmt = db.Prepare(Format("PRAGMA table_info(%s)", DataTable), &rc);
    if (rc != SQLITE_OK)
        return FailFromSqlite(rc, file, db.LastMessage());
    std::set<std::string> names;
    while ((rc = stmt.Step()) == SQLITE_ROW) {
        if (m_Fields.size() >= kMaxFields)
            return Foreign(file, "too many fields");
        FieldDesc field;
        field.number = static_cast<std::uint16_t>(m_Fields.size() + 1);
        field.name = stmt.Text(1);
        field.required = stmt.Int(3) != 0;
        const bool primaryKey = stmt.Int(5) != 0;
        if (!ValidName(field.name) || !names.insert(UpperCase(field.name)).second)
            return Foreign(file, "field name '" + field.name + "' is not valid");
        if (!ParseDeclaredType(stmt.Text(2), primaryKey, field))
            return Foreign(file, "field '" + field.name + "' has unknown type '" + stmt.Text(2) + "'");
        if (primaryKey && field.subtype != FieldSubtype::AutoInc)
            return Foreign(file, "field '" + field.name + "' is a key of a kind this engine does not keep");
        m_Fields.push_back(field);
    }
    if (rc != SQLITE_DONE)
        return FailFromSqlite(rc, file, db.LastMessage());
    if (m_Fields.empty())
        return Foreign(file, "the table has no fields");
    return esOk;
}

void TableSchema::Layout() {
    std::size_t offset = RowIdBytes;
    for (FieldDesc& field : m_Fields) {
        field.offset = static_cast<std::uint32_t>(offset);
        field.length = ValueLength(field);
        offset += 1u + field.length;
    }
    m_RecordSize = static_cast<std::uint32_t>(offset);
}

EngineStatus TableSchema::LoadIndexes(SqliteConnection& db, const std::string& file) {
    int rc = 0;
    Statement list = db.Prepare(Format("PRAGMA index_list(%s)", DataTable), &rc);
    if (rc != SQLITE_OK)
        return FailFromSqlite(rc, file, db.LastMessage());
    std::vector<std::pair<std::string, bool>> names;
    while ((rc = list.Step()) == SQLITE_ROW) {
        if (list.Text(3) == "c")
            names.emplace_back(list.Text(1), list.Int(2) != 0);
    }
    if (rc != SQLITE_DONE)
        return FailFromSqlite(rc, file, db.LastMessage());
    for (const auto& [name, unique] : names) {
        Statement info = db.Prepare("PRAGMA index_xinfo(" + Quote(name) + ")", &rc);
        if (rc != SQLITE_OK)
            return FailFromSqlite(rc, file, db.LastMessage());
        IndexDesc index{name, {}, false, unique, 0};
        bool usable = true;
        bool anyNoCase = false;
        while ((rc = info.Step()) == SQLITE_ROW) {
            if (info.Int(5) == 0)
                continue; // the row id that every index carries after its key
            const auto cid = info.Int(1);
            if (cid < 0 || cid >= static_cast<std::int64_t>(m_Fields.size()) || info.Int(3) != 0 ||
                m_Fields[static_cast<std::size_t>(cid)].type == FieldType::Blob)
                usable = false;
            else
                index.fields.push_back(static_cast<std::uint16_t>(cid + 1));
            anyNoCase = anyNoCase || SameText(info.Text(4), "NOCASE");
        }
        if (rc != SQLITE_DONE)
            return FailFromSqlite(rc, file, db.LastMessage());
        // Expression and descending indexes are not ours; they are left out, not trusted.
        if (!usable || index.fields.empty())
            continue;
        index.caseInsensitive = anyNoCase;
        std::size_t keySize = 0;
        for (std::uint16_t number : index.fields)
            keySize += 1u + m_Fields[number - 1].length;
        if (keySize > kMaxKeySize)
            continue; // too wide a key for a bookmark: left out like the others
        index.keySize = static_cast<std::uint16_t>(keySize);
        m_MaxKeySize = std::max(m_MaxKeySize, index.keySize);
        m_Indexes.push_back(std::move(index));
    }
    return esOk;
}

EngineStatus TableSchema::LoadChecks(SqliteConnection& db, const std::string& file) {
    int rc = 0;
    Statement stmt = db.Prepare(Format("SELECT field_no, picture FROM %s ORDER BY rowid", ChecksTable), &rc);
    if (rc != SQLITE_OK)
        return Foreign(file, "the table has no list of validity checks");
    while ((rc = stmt.Step()) == SQLITE_ROW) {
        const auto number = stmt.Int(0);
        if (number < 1 || number > static_cast<std::int64_t>(m_Fields.size()))
            continue;
        m_Checks.push_back({static_cast<std::uint16_t>(number), stmt.Text(1)});
    }
    return rc == SQLITE_DONE ? esOk : FailFromSqlite(rc, file, db.LastMessage());
}

const IndexDesc* TableSchema::FindIndex(const std::string& name) const {
    for (const IndexDesc& index : m_Indexes) {
        if (SameText(index.name, name))
            return &index;
    }
    return nullptr;
}

const FieldDesc* TableSchema::Field(std::uint16_t number) const {
    if (number < 1 || number > m_Fields.size())
        return nullptr;
    return &m_Fields[number - 1];
}

bool TableSchema::HasAutoInc() const {
    for (const FieldDesc& field : m_Fields) {
        if (field.subtype == FieldSubtype::AutoInc)
            return true;
    }
    return false;
}

EngineStatus TableSchema::FromSpec(const TableSpec& tableSpec) {
    std::vector<std::string> unused;
    if (EngineStatus s = BuildCreateSql(tableSpec, unused))
        return s;
    m_Name = tableSpec.name;
    m_Fields.clear();
    m_Indexes.clear();
    m_MaxKeySize = 0;
    for (const FieldDesc& given : tableSpec.fields) {
        FieldDesc field = given;
        field.number = static_cast<std::uint16_t>(m_Fields.size() + 1);
        field.readOnly = field.type == FieldType::Int32 && field.subtype == FieldSubtype::AutoInc;
        if (field.type != FieldType::ZString && field.type != FieldType::Blob)
            field.size = 0;
        m_Fields.push_back(std::move(field));
    }
    Layout();
    for (IndexDesc index : tableSpec.indexes) {
        bool anyText = false;
        std::size_t keySize = 0;
        for (std::uint16_t number : index.fields) {
            keySize += 1u + m_Fields[number - 1].length;
            anyText = anyText || m_Fields[number - 1].type == FieldType::ZString;
        }
        index.caseInsensitive = index.caseInsensitive && anyText;
        index.keySize = static_cast<std::uint16_t>(keySize);
        m_MaxKeySize = std::max(m_MaxKeySize, index.keySize);
        m_Indexes.push_back(std::move(index));
    }
    m_Checks = tableSpec.checks;
    m_HasRowGuard = true;
    return esOk;
}

EngineStatus TableSchema::BuildCreateSql(const TableSpec& tableSpec, std::vector<std::string>& sql) {
    if (tableSpec.fields.empty() || tableSpec.fields.size() > kMaxFields)
        return Errors::Fail(esInvalidParameter, "a table needs between 1 and 1024 fields");
    std::set<std::string> names;
    std::string columns;
    bool autoIncSeen = false;
    for (const FieldDesc& field : tableSpec.fields) {
        if (!ValidName(field.name) || !names.insert(UpperCase(field.name)).second)
            return Errors::Fail(esInvalidParameter, "field name '" + field.name + "' is not valid");
        const bool autoInc = field.type == FieldType::Int32 && field.subtype == FieldSubtype::AutoInc;
        if (autoInc && autoIncSeen)
            return Errors::Fail(esInvalidParameter, "a table has at most one autoincrement field");
        autoIncSeen = autoIncSeen || autoInc;
        const bool sizeOk =
            field.type != FieldType::ZString || (field.size >= 1 && field.size <= kMaxStringSize);
        const std::string declared = DeclaredType(field, autoInc);
        if (declared.empty() || !sizeOk)
            return Errors::Fail(esInvalidParameter,
                                "field '" + field.name + "' has an unsupported type or size");
        columns += columns.empty() ? "" : ", ";
        columns += Quote(field.name) + " " + declared;
        if (field.required && !autoInc)
            columns += " NOT NULL";
    }
    sql.push_back(Format("CREATE TABLE %s (%s)", DataTable, columns.c_str()));
    sql.push_back(Format("CREATE TABLE %s (key TEXT PRIMARY KEY, value TEXT)", InfoTable));
    sql.push_back(Format("INSERT INTO %s VALUES ('format', '%s'), ('version', '%d'), ('name', %s)", InfoTable,
                         kFormatName, kFormatVersion, SqlText(tableSpec.name).c_str()));
    sql.push_back(Format("CREATE TABLE %s (field_no INTEGER, picture TEXT)", ChecksTable));
    for (std::string& guard : RowGuardSql(autoIncSeen))
        sql.push_back(std::move(guard));
    for (const ValidityCheck& check : tableSpec.checks) {
        if (check.fieldNo < 1 || check.fieldNo > tableSpec.fields.size())
            return Errors::Fail(esInvalidField, "a validity check names a field that does not exist");
        sql.push_back(Format("INSERT INTO %s VALUES (%u, %s)", ChecksTable,
                             static_cast<unsigned>(check.fieldNo), SqlText(check.picture).c_str()));
    }
    std::set<std::string> indexNames;
    for (const IndexDesc& index : tableSpec.indexes) {
        if (!ValidName(index.name) || index.fields.empty() ||
            !indexNames.insert(UpperCase(index.name)).second)
            return Errors::Fail(esInvalidParameter, "index name '" + index.name + "' is not valid");
        std::string keys;
        std::size_t keySize = 0;
        for (std::uint16_t number : index.fields) {
            if (number < 1 || number > tableSpec.fields.size())
                return Errors::Fail(esInvalidField,
                                    "index '" + index.name + "' names a field that does not exist");
            const FieldDesc& field = tableSpec.fields[number - 1];
            if (field.type == FieldType::Blob)
                return Errors::Fail(esInvalidParameter, "index '" + index.name + "' cannot have a memo key");
            keys += keys.empty() ? "" : ", ";
            keys += Quote(field.name);
            if (index.caseInsensitive && field.type == FieldType::ZString)
                keys += " COLLATE NOCASE";
            keySize += 1u + ValueLength(field);
        }
        if (keySize > kMaxKeySize)
            return Errors::Fail(esInvalidParameter, "index '" + index.name + "' has too wide a key");
        sql.push_back(Format("CREATE %sINDEX %s ON %s (%s)", index.unique ? "UNIQUE " : "",
                             Quote(index.name).c_str(), DataTable, keys.c_str()));
    }
    return esOk;
}

} // namespace ws::engine
