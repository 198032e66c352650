#pragma once

#include "engine/Sqlite.h"
#include "engine/TableSchema.h"
#include "engine/Types.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ws::engine::codec {

// The record buffer's bytes, as TableSchema lays them out, and the values they stand for. Both
// drivers read and write records through these; what each reads from its storage (a statement's
// columns, a server's texts) it hands over as plain numbers and texts.

template <typename T>
T Load(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T>
void Store(std::uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

inline std::int64_t RowIdOf(const std::uint8_t* record) {
    return Load<std::int64_t>(record);
}

// The text of a string field's value bytes: up to the first zero, never past the value.
std::string TextAt(const FieldDesc& field, const std::uint8_t* p);

// A field read from storage, into its flag byte and value bytes (cleared first). A text is cut to
// the field's size at a character boundary, a number clamped to the field's range: both are
// then flagged clipped.
void ClearField(const FieldDesc& field, std::uint8_t* record);
void PutText(const FieldDesc& field, const std::string& text, std::uint8_t* record);
// Date, Int32, Int16 and Bool fields.
void PutInteger(const FieldDesc& field, std::int64_t value, std::uint8_t* record);
void PutReal(const FieldDesc& field, double value, std::uint8_t* record);
// A memo's flag only: its text is read on demand.
void PutMemoPresence(const FieldDesc& field, bool present, std::uint8_t* record);

// A field of a record as the storage layer holds it (memos excepted): null for a blank field.
SqlValue SqlOf(const FieldDesc& field, const std::uint8_t* record);
// A field of a record as a caller sees it (memos excepted): monostate for a blank field.
Value ValueOf(const FieldDesc& field, const std::uint8_t* record);

// A key of the index (one value per key field) in a bookmark's key area and back.
void EncodeKey(const TableSchema& schema, const IndexDesc& index, const std::vector<SqlValue>& key,
               std::uint8_t* out);
std::vector<SqlValue> DecodeKey(const TableSchema& schema, const IndexDesc& index, const std::uint8_t* in);

// Key values in index order: blank first, then numbers, then texts.
int CompareSql(const SqlValue& a, const SqlValue& b, bool noCase);
int CompareKeys(const std::vector<SqlValue>& a, const std::vector<SqlValue>& b, bool noCase);

} // namespace ws::engine::codec
