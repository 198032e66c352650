#pragma once

#include "engine/CursorBase.h"
#include "engine/PgConnection.h"
#include "engine/Sqlite.h"
#include "engine/TableCursor.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ws::engine {

// One open cursor over one table of a database server (driver POSTGRES): its own session, a
// position in the order of the active index, record locks and filters. It behaves as the desktop
// driver's Cursor does: every call answers from the table as committed at that call, positions
// are row ids and keys, row ids are never given twice (an identity column), and a record lock is
// an advisory lock of the cursor's session, seen by every other session at once and dropped by
// the server when the session ends.
//
// Filters are tested here, on each row as read; nothing of them is said in SQL. A look-up of the
// first row holding a text (ReadFirstEqual) is left to the caller's scan through an equality
// filter, which the server answers well enough.
class PgCursor : public CursorBase {
public:
    PgCursor(hCursor handle, std::string conninfo, std::string tableName);
    ~PgCursor() override;
    PgCursor(const PgCursor&) = delete;
    PgCursor& operator=(const PgCursor&) = delete;

    // Creates the table, its indexes and its entries in the engine's metadata tables.
    static EngineStatus CreateTable(const std::string& conninfo, const TableSpec& tableSpec);
    // The table's name as the server keeps it, for "Jobs" or "Jobs.DB" in any letter case; empty
    // (esOk) when there is no such table.
    static EngineStatus FindTable(PgConnection& db, const std::string& tableName, std::string& stored);

    EngineStatus Open(const std::string& indexName, OpenMode mode, ShareMode share);
    EngineStatus OpenClone(const PgCursor& source, bool readOnly);
    EngineStatus SetToCursor(const PgCursor& source);
    const std::string& ConnInfo() const { return m_ConnInfo; }

    const std::string& TablePath() const override { return m_TableName; }
    EngineStatus ExactCount(std::uint32_t& count) override;
    EngineStatus RowCount(std::uint32_t& count) override;

    EngineStatus ForceReread() override;

private:
    EngineStatus Connect(bool readOnly);
    EngineStatus LoadSchema();
    EngineStatus Failed(const PgResult& result);
    PgResult Exec(const std::string& sql, const std::vector<PgParam>& params = {});
    std::string Column(const FieldDesc& field) const;
    std::string KeyExpr(std::size_t i) const;
    std::string ParamExpr(std::size_t i, std::size_t number) const;
    std::string OrderBy(bool descending) const;
    std::string SelectList() const;
    std::string AfterCondition(bool next, std::vector<PgParam>& params) const;
    PgParam ToParam(const FieldDesc& field, const SqlValue& value) const;
    void DecodeRow(const PgResult& rows, int row, std::uint8_t* record) const;
    std::vector<SqlValue> KeyOfRow(const PgResult& rows, int row) const;
    // Scans from the position (rows matching extra, in order) for the first row passing the
    // filters; esRecordNotFound when there is none.
    EngineStatus Scan(bool next, bool fromPosition, const std::string& extra, std::vector<PgParam> params);
    EngineStatus FetchRow(std::int64_t rowId, FetchedRow& fetched) override;
    EngineStatus ReadAdjacent(Direction direction) override;
    EngineStatus SeekKey(const std::vector<KeyTerm>& terms) override;
    EngineStatus WriteRow(std::uint8_t* record, bool insert, const std::uint8_t* reference) override;
    EngineStatus DeleteRow(std::int64_t rowId) override;
    EngineStatus StoreChecks(const std::vector<ValidityCheck>& checks) override;
    EngineStatus ReadStoredMemo(std::uint16_t fieldNo, std::int64_t rowId, std::string& text,
                                bool& isBlank) override;
    EngineStatus TakeLock(std::int64_t rowId) override;
    void Unlock(std::int64_t rowId, bool dropped) override;
    void UnlockAll() override;
    bool IsLocked(std::int64_t rowId) const override { return m_Locked.count(rowId) != 0; }

    std::string m_ConnInfo;
    std::string m_TableName; // as asked for, until the table is found; then as the server keeps it
    PgConnection m_Db;
    std::string m_RowIdColumn;
    std::int32_t m_LockSpace = 0; // the advisory-lock key of the table
    std::string m_TableId;        // its number in the engine's metadata tables
    bool m_Exclusive = false;
    std::map<std::int64_t, bool> m_Locked;
};

} // namespace ws::engine
