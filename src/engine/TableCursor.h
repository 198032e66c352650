#pragma once

#include "engine/ExpressionEvaluator.h"
#include "engine/RecordBuffer.h"
#include "engine/TableSchema.h"

#include <memory>
#include <string>
#include <vector>

namespace ws::engine {

// What the engine's operations ask of an open cursor, whichever driver serves its table: the
// desktop driver's Cursor (one table file) or the server driver's PgCursor (one server table).
// Nothing above the engine knows which one it talks to.
class TableCursor {
public:
    enum class Direction { Current, Next, Prior };

    virtual ~TableCursor() = default;

    virtual hCursor Handle() const = 0;
    virtual const std::string& TablePath() const = 0;
    virtual const TableSchema& Schema() const = 0;
    virtual const IndexDesc* ActiveIndex() const = 0;
    virtual CursorProps Props() const = 0;

    virtual EngineStatus SwitchToIndex(const std::string& indexName) = 0;
    virtual void SetToBegin() = 0;
    virtual void SetToEnd() = 0;
    virtual EngineStatus Read(Direction direction, LockType lock, std::uint8_t* record) = 0;
    virtual EngineStatus GetBookmark(std::uint8_t* bookmark) const = 0;
    virtual EngineStatus SetToBookmark(const std::uint8_t* bookmark) = 0;
    virtual EngineStatus CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b,
                                          int& result) const = 0;
    virtual EngineStatus GetRecordForKey(std::uint16_t fieldCount, std::uint16_t partialLength,
                                         const std::uint8_t* key, std::uint8_t* record) = 0;
    virtual EngineStatus ReadFirstEqual(std::uint16_t fieldNo, const std::string& text, std::uint8_t* record,
                                        bool& answered, bool& found) = 0;

    virtual EngineStatus GetField(std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                                  bool& isBlank) const = 0;
    virtual EngineStatus PutField(std::uint16_t fieldNo, std::uint8_t* record, const void* source) = 0;
    virtual void BlankRecord(std::uint8_t* record) const = 0;
    virtual EngineStatus ReadMemo(std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                                  bool& isBlank) = 0;
    virtual EngineStatus WriteMemo(std::uint16_t fieldNo, std::uint8_t* record, const std::string& text) = 0;
    virtual EngineStatus GetValue(std::uint16_t fieldNo, const std::uint8_t* record, Value& value) = 0;
    virtual EngineStatus PutValue(std::uint16_t fieldNo, std::uint8_t* record, const Value& value) = 0;

    virtual EngineStatus Modify(std::uint8_t* record, bool freeLock) = 0;
    virtual EngineStatus Insert(LockType lock, std::uint8_t* record) = 0;
    virtual EngineStatus Delete() = 0;
    virtual EngineStatus ReleaseLock(bool all) = 0;
    virtual bool IsRecordLocked() const = 0;

    virtual EngineStatus ExactCount(std::uint32_t& count) = 0;
    virtual EngineStatus RowCount(std::uint32_t& count) = 0;

    virtual EngineStatus AddFilter(std::uint16_t priority, std::unique_ptr<CompiledFilter> expression,
                                   RowCallback callback, hFilter& filter) = 0;
    virtual EngineStatus ActivateFilter(hFilter filter, bool active) = 0;
    virtual EngineStatus DropFilter(hFilter filter) = 0;

    virtual EngineStatus ForceReread() = 0;
    virtual EngineStatus SetValidityChecks(const std::vector<ValidityCheck>& checks) = 0;

    // For RecordBuffer: the row a filter is testing.
    virtual const std::uint8_t* TestRowData() = 0;
    virtual EngineStatus TestRowValue(std::uint16_t fieldNo, Value& value) = 0;
};

} // namespace ws::engine
