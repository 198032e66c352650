#pragma once

#include "engine/ExpressionEvaluator.h"
#include "engine/RecordBuffer.h"
#include "engine/Sqlite.h"
#include "engine/TableCursor.h"
#include "engine/TableSchema.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ws::engine {

// What every driver's cursor does the same way, whatever holds its table: the position (before
// the first row, after the last, on a row, or on the crack where one was), bookmarks, the record
// buffer's fields and memo texts, filters, record locks around a modify or delete, and the image
// of the row a modify compares against. Each driver gives the storage-specific part: reading a
// row by id and the rows next to the position, writing and deleting a row, record locks, and a
// check of its table before a call that reads or writes it.
class CursorBase : public TableCursor {
public:
    ~CursorBase() override = default;
    CursorBase(const CursorBase&) = delete;
    CursorBase& operator=(const CursorBase&) = delete;

    hCursor Handle() const override { return m_Handle; }
    const TableSchema& Schema() const override { return m_Schema; }
    const IndexDesc* ActiveIndex() const override { return m_Index; }
    CursorProps Props() const override;
    std::uint16_t BookmarkSize() const;

    EngineStatus SwitchToIndex(const std::string& indexName) override;
    void SetToBegin() override;
    void SetToEnd() override;
    EngineStatus Read(Direction direction, LockType lock, std::uint8_t* record) override;
    EngineStatus GetBookmark(std::uint8_t* bookmark) const override;
    EngineStatus SetToBookmark(const std::uint8_t* bookmark) override;
    EngineStatus CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b, int& result) const override;
    EngineStatus GetRecordForKey(std::uint16_t fieldCount, std::uint16_t partialLength,
                                 const std::uint8_t* key, std::uint8_t* record) override;
    // Answers nothing (the caller scans) unless the driver keeps a faster way of its own.
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
    bool IsRecordLocked() const override;

    EngineStatus AddFilter(std::uint16_t priority, std::unique_ptr<CompiledFilter> expression,
                           RowCallback callback, hFilter& filter) override;
    EngineStatus ActivateFilter(hFilter filter, bool active) override;
    EngineStatus DropFilter(hFilter filter) override;

    EngineStatus SetValidityChecks(const std::vector<ValidityCheck>& checks) override;

    // For RecordBuffer: the row under test, as read into m_Scratch.
    const std::uint8_t* TestRowData() override;
    EngineStatus TestRowValue(std::uint16_t fieldNo, Value& value) override;

protected:
    explicit CursorBase(hCursor handle) : m_Handle(handle) {}

    enum class Where { Begin, End, Row };
    struct Position {
        Where where = Where::Begin;
        std::vector<SqlValue> key;
        std::int64_t rowId = 0;
        bool onRow = false;
    };
    // A row read by id: whether the table has it, whether it passes every active filter, and its
    // key in the active index.
    struct FetchedRow {
        bool found = false;
        bool passes = false;
        std::vector<SqlValue> key;
    };
    // What a keyed read asks of one field of the active index, in key order: that it equals the
    // value (a blank value: that it is blank), or for the last one perhaps only that it begins
    // with it (prefix: a text of whole characters).
    struct KeyTerm {
        SqlValue value;
        bool prefix = false;
    };
    // What a write stores, field by field with its value (a memo's text read), and the pending
    // memo texts it takes.
    struct RowWrite {
        std::vector<const FieldDesc*> fields;
        std::vector<SqlValue> values;
        std::vector<std::uint64_t> usedMemos;
    };
    struct Filter {
        hFilter handle = 0;
        std::uint16_t priority = 0;
        bool active = false;
        std::unique_ptr<CompiledFilter> expression;
        // What of the filter the driver's storage tests itself; the rest is tested here.
        std::optional<SqlCondition> pushDown;
        RowCallback callback;
    };

    // ---- the driver's part ----
    // Checks the table before a call that reads or writes it.
    virtual EngineStatus Live() { return esOk; }
    // The index in force changed: whatever the driver kept for the old order goes.
    virtual void IndexChanged() {}
    // Reads one row by id into m_Scratch.
    virtual EngineStatus FetchRow(std::int64_t rowId, FetchedRow& row) = 0;
    // Moves to the next (or prior) row passing the filters, read into m_Scratch:
    // esRecordNotFound when there is none.
    virtual EngineStatus ReadAdjacent(Direction direction) = 0;
    // Writes the record (an insert, or a modify of the row at the position relative to the
    // reference image), reading the row as written back into it.
    virtual EngineStatus WriteRow(std::uint8_t* record, bool insert, const std::uint8_t* reference) = 0;
    // Moves to the first row, in the order of the active index, that meets every term and passes
    // the filters, read into m_Scratch: esRecordNotFound when there is none.
    virtual EngineStatus SeekKey(const std::vector<KeyTerm>& terms) = 0;
    // Deletes the row; esRecordDeleted when it was gone already.
    virtual EngineStatus DeleteRow(std::int64_t rowId) = 0;
    // Replaces the validity checks the table keeps with these (checked by the caller).
    virtual EngineStatus StoreChecks(const std::vector<ValidityCheck>& checks) = 0;
    // The stored memo text of a row.
    virtual EngineStatus ReadStoredMemo(std::uint16_t fieldNo, std::int64_t rowId, std::string& text,
                                        bool& isBlank) = 0;
    virtual EngineStatus TakeLock(std::int64_t rowId) = 0;
    virtual void Unlock(std::int64_t rowId, bool dropped) = 0;
    virtual void UnlockAll() = 0;
    virtual bool IsLocked(std::int64_t rowId) const = 0;
    // The part of a new filter the driver's storage tests itself, if any.
    virtual std::optional<SqlCondition> PushDownOf(const CompiledFilter&) const { return std::nullopt; }

    // ---- shared by the drivers ----
    // Reads one row by id, the table checked (Live) first.
    EngineStatus FetchLive(std::int64_t rowId, FetchedRow& row);
    EngineStatus CheckField(std::uint16_t fieldNo, const FieldDesc*& field) const;
    // A modify that writes nothing: the cursor stays on the row, the buffer gets it as stored now.
    EngineStatus ShowStoredRow(std::int64_t rowId, std::uint8_t* record);
    // Takes the position of another cursor on the same table (checked by the caller).
    EngineStatus FollowPosition(const Position& source);
    // The end of a read on a row at the position: with a write lock, the lock taken and the row
    // read again under it; the row copied out to record.
    EngineStatus FinishRead(LockType lock, std::uint8_t* record);
    bool FieldChanged(const FieldDesc& field, const std::uint8_t* record,
                      const std::uint8_t* reference) const;
    // The fields a write of record stores: for an insert every field but an auto-increment one,
    // for a modify those changed relative to the reference image. A required field left blank
    // refuses the write.
    EngineStatus CollectWrite(const std::uint8_t* record, bool insert, const std::uint8_t* reference,
                              RowWrite& write);
    bool HasActiveFilters() const;
    bool HasCallbackFilters() const;
    // Tests the row under test against every active filter the storage does not test itself.
    bool PassesFilters();
    std::uint16_t IndexTag() const;
    void EncodeKey(const std::vector<SqlValue>& key, std::uint8_t* out) const;
    std::vector<SqlValue> DecodeKey(const std::uint8_t* in) const;
    int CompareKeys(const std::vector<SqlValue>& a, const std::vector<SqlValue>& b) const;

    hCursor m_Handle;
    TableSchema m_Schema;
    const IndexDesc* m_Index = nullptr;
    bool m_ReadOnly = false;
    Position m_Position;
    std::vector<Filter> m_Filters;
    hFilter m_NextFilter = 1;
    // Raised by every change of the filters (added, switched on or off, dropped).
    std::uint64_t m_FilterChanges = 0;
    std::map<std::uint64_t, std::string> m_PendingMemos;
    std::uint64_t m_NextMemo = 1;
    // The row last read, and the row a filter tests.
    std::vector<std::uint8_t> m_Scratch;
    // The image of each row this cursor holds locked, as read under the lock: a modify writes
    // only the fields the caller changed relative to it.
    std::map<std::int64_t, std::vector<std::uint8_t>> m_LockImages;
    // The image of the row last read without a lock, for a modify without one.
    std::vector<std::uint8_t> m_LastRead;
    // The row whose lock the engine let go of itself (modify, delete, row gone): releasing it
    // again is harmless.
    std::optional<std::int64_t> m_DroppedLock;
};

} // namespace ws::engine
