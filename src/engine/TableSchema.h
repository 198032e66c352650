#pragma once

#include "engine/Sqlite.h"
#include "engine/Types.h"

#include <string>
#include <vector>

namespace ws::engine {

class SqliteConnection;

// What a table file says about itself: its fields with their logical types, its indexes, its
// validity checks, and the layout of a record buffer over those fields.
//
// Record buffer: an 8-byte row id, then per field a flag byte (FieldBlank, FieldValue or
// FieldClipped) followed by the field's value bytes. A string field of size n holds n characters
// of UTF-8, so its value takes 4n + 1 bytes (the text and at least one zero).
class TableSchema {
public:
    static constexpr std::uint8_t FieldBlank = 0;
    static constexpr std::uint8_t FieldValue = 1;
    // A text longer than the field's size (in characters) was read and cut at a character
    // boundary, or a number out of the field's range was read and clamped: never written back.
    static constexpr std::uint8_t FieldClipped = 2;
    static constexpr std::uint16_t RowIdBytes = 8;
    // The data table inside every table file, and the engine's own metadata tables.
    static constexpr const char* DataTable = "records";
    static constexpr const char* InfoTable = "yard_table";
    static constexpr const char* ChecksTable = "yard_checks";
    // The highest row id ever given in the file, kept by the trigger RowGuard on every insert
    // (ours and any other program's), so that no row id is ever given twice.
    static constexpr const char* SequenceTable = "yard_sequence";
    static constexpr const char* RowGuard = "yard_rowid_guard";

    // Reads the schema of an open table file; fails with esNotATable for a foreign database.
    EngineStatus Load(SqliteConnection& db, const std::string& file);

    // The schema of a table kept elsewhere (a server table), from its description, checked as
    // BuildCreateSql checks it: the same fields, record layout and indexes a file would have.
    EngineStatus FromSpec(const TableSpec& tableSpec);

    // The SQL that creates a table file from its description (checked first).
    static EngineStatus BuildCreateSql(const TableSpec& tableSpec, std::vector<std::string>& sql);
    // The SQL that adds the row-id guard to a file that has none (idempotent). The high-water
    // mark starts at the highest row id the file has ever given, as far as it can tell.
    static std::vector<std::string> RowGuardSql(bool hasSequenceTable);
    bool HasRowGuard() const { return m_HasRowGuard; }
    void SetHasRowGuard(bool has) { m_HasRowGuard = has; }
    // Same fields, record layout and indexes: record buffers and bookmarks of one fit the other.
    bool SameLayout(const TableSchema& other) const;

    const std::string& Name() const { return m_Name; }
    const std::vector<FieldDesc>& Fields() const { return m_Fields; }
    const std::vector<IndexDesc>& Indexes() const { return m_Indexes; }
    const std::vector<ValidityCheck>& Checks() const { return m_Checks; }
    std::uint32_t RecordSize() const { return m_RecordSize; }
    std::uint16_t MaxKeySize() const { return m_MaxKeySize; }
    const IndexDesc* FindIndex(const std::string& name) const;
    const FieldDesc* Field(std::uint16_t number) const;
    bool HasAutoInc() const;
    void SetChecks(std::vector<ValidityCheck> checks) { m_Checks = std::move(checks); }

    // The declared column type for a field, and back.
    static std::string DeclaredType(const FieldDesc& field, bool primaryKey);
    static bool ParseDeclaredType(const std::string& declared, bool primaryKey, FieldDesc& field);
    static std::uint16_t ValueLength(const FieldDesc& field);
    static std::string Quote(const std::string& identifier);

private:
    EngineStatus LoadInfo(SqliteConnection& db, const std::string& file);
    EngineStatus LoadFields(SqliteConnection& db, const std::string& file);
    EngineStatus LoadIndexes(SqliteConnection& db, const std::string& file);
    EngineStatus LoadChecks(SqliteConnection& db, const std::string& file);
    EngineStatus LoadGuard(SqliteConnection& db, const std::string& file);
    void Layout();

    std::string m_Name;
    std::vector<FieldDesc> m_Fields;
    std::vector<IndexDesc> m_Indexes;
    std::vector<ValidityCheck> m_Checks;
    std::uint32_t m_RecordSize = 0;
    std::uint16_t m_MaxKeySize = 0;
    bool m_HasRowGuard = false;
};

} // namespace ws::engine
