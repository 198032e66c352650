#pragma once

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
// Filters are tested here, on each row as read; nothing of them is said in SQL.
class PgCursor : public TableCursor {
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

    hCursor Handle() const override { return m_Handle; }
    const std::string& TablePath() const override { return m_TableName; }
    const TableSchema& Schema() const override { return m_Schema; }
    const IndexDesc* ActiveIndex() const override { return m_Index; }
    CursorProps Props() const override;

    EngineStatus SwitchToIndex(const std::string& indexName) override;
    void SetToBegin() override;
    void SetToEnd() override;
    EngineStatus Read(Direction direction, LockType lock, std::uint8_t* record) override;
    EngineStatus GetBookmark(std::uint8_t* bookmark) const override;
    EngineStatus SetToBookmark(const std::uint8_t* bookmark) override;
    EngineStatus CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b, int& result) const override;
    EngineStatus ReadForKey(std::uint16_t fieldCount, std::uint16_t partialLength, const std::uint8_t* key,
                            std::uint8_t* record) override;
    EngineStatus ReadFirstEqual(std::uint16_t fieldNo, const std::string& text, std::uint8_t* record,
                                bool& answered, bool& found) override;

    EngineStatus GetField(std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                          bool& isBlank) const override;
    EngineStatus PutField(std::uint16_t fieldNo, std::uint8_t* record, const void* source) override;
    void BlankRecord(std::uint8_t* record) const override;
    EngineStatus ReadMemo(std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                          bool& isBlank) override;
    EngineStatus WriteMemo(std::uint16_t fieldNo, std::uint8_t* record, const std::string& text) override;
    EngineStatus GetValue(std::uint16_t fieldNo, const std::uint8_t* record, Value& value) override;
    EngineStatus PutValue(std::uint16_t fieldNo, std::uint8_t* record, const Value& value) override;

    EngineStatus Modify(std::uint8_t* record, bool freeLock) override;
    EngineStatus Insert(LockType lock, std::uint8_t* record) override;
    EngineStatus Delete() override;
    EngineStatus ReleaseLock(bool all) override;
    bool HoldsLock() const override;

    EngineStatus ExactCount(std::uint32_t& count) override;
    EngineStatus RowCount(std::uint32_t& count) override;

    EngineStatus AddFilter(std::uint16_t priority, std::unique_ptr<CompiledFilter> expression,
                           RowCallback callback, hFilter& filter) override;
    EngineStatus ActivateFilter(hFilter filter, bool active) override;
    EngineStatus DropFilter(hFilter filter) override;

    EngineStatus ForceReread() override;
    EngineStatus SetValidityChecks(const std::vector<ValidityCheck>& checks) override;

    const std::uint8_t* TestRowData() override;
    EngineStatus TestRowValue(std::uint16_t fieldNo, Value& value) override;

private:
    enum class Where { Begin, End, Row };
    struct Position {
        Where where = Where::Begin;
        std::vector<SqlValue> key;
        std::int64_t rowId = 0;
        bool onRow = false;
    };
    struct Filter {
        hFilter handle = 0;
        std::uint16_t priority = 0;
        bool active = false;
        std::unique_ptr<CompiledFilter> expression;
        RowCallback callback;
    };

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
    SqlValue FieldSql(const FieldDesc& field, const std::uint8_t* record) const;
    bool PassesFilters();
    // Scans from the position (rows matching extra, in order) for the first row passing the
    // filters; esRecordNotFound when there is none.
    EngineStatus Scan(bool next, bool fromPosition, const std::string& extra, std::vector<PgParam> params);
    EngineStatus FetchRow(std::int64_t rowId, bool& found, bool& passes, std::vector<SqlValue>& key);
    EngineStatus TakeLock(std::int64_t rowId);
    void Unlock(std::int64_t rowId, bool dropped);
    bool IsLocked(std::int64_t rowId) const { return m_Locked.count(rowId) != 0; }
    EngineStatus FinishRead(LockType lock, std::uint8_t* record);
    EngineStatus WriteRow(std::uint8_t* record, bool insert, const std::uint8_t* reference);
    bool FieldChanged(const FieldDesc& field, const std::uint8_t* record,
                      const std::uint8_t* reference) const;
    std::uint16_t BookmarkSize() const;
    std::uint16_t IndexTag() const;
    void EncodeKey(const std::vector<SqlValue>& key, std::uint8_t* out) const;
    std::vector<SqlValue> DecodeKey(const std::uint8_t* in) const;
    int CompareKeys(const std::vector<SqlValue>& a, const std::vector<SqlValue>& b) const;
    EngineStatus CheckField(std::uint16_t fieldNo, const FieldDesc*& field) const;

    hCursor m_Handle;
    std::string m_ConnInfo;
    std::string m_TableName; // as asked for, until the table is found; then as the server keeps it
    PgConnection m_Db;
    TableSchema m_Schema;
    std::string m_RowIdColumn;
    std::int32_t m_LockSpace = 0; // the advisory-lock key of the table
    std::string m_TableId;        // its number in the engine's metadata tables
    const IndexDesc* m_Index = nullptr;
    bool m_ReadOnly = false;
    bool m_Exclusive = false;
    Position m_Position;
    std::vector<Filter> m_Filters;
    hFilter m_NextFilter = 1;
    std::map<std::uint64_t, std::string> m_PendingMemos;
    std::uint64_t m_NextMemo = 1;
    std::vector<std::uint8_t> m_Scratch; // the row last read, and the row a filter tests
    std::map<std::int64_t, std::vector<std::uint8_t>> m_LockImages;
    std::map<std::int64_t, bool> m_Locked;
    std::vector<std::uint8_t> m_LastRead;
    std::optional<std::int64_t> m_DroppedLock;
};

} // namespace ws::engine
