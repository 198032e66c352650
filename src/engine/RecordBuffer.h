#pragma once

#include "engine/Status.h"
#include "engine/Types.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace ws::engine {

class TableCursor;

// The row a filter is asked about. Field values are decoded on demand, so a filter that looks
// at two fields of a wide row does not pay for the other hundred.
class RecordBuffer {
public:
    explicit RecordBuffer(TableCursor& cursor) : m_Cursor(cursor) {}
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    hCursor CursorHandle() const;
    // The whole record image (record size bytes), as GetField reads it.
    const std::uint8_t* Data() const;
    std::size_t Size() const;
    // One field's value; monostate for a blank field.
    EngineStatus Get(std::uint16_t fieldNo, Value& value) const;

private:
    TableCursor& m_Cursor;
};

using RowCallback = std::function<bool(const RecordBuffer&)>;

} // namespace ws::engine
