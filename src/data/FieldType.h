#pragma once

#include "engine/Types.h"

#include <string>
#include <string_view>
#include <vector>

namespace ws {

// Field types of the data sets, in the order whose names the binding messages use: each with the
// name those messages give it.
#define WS_FIELD_TYPES(X)                                                                                    \
    X(ftUnknown, "Unknown")                                                                                  \
    X(ftString, "String")                                                                                    \
    X(ftSmallint, "SmallInt")                                                                                \
    X(ftInteger, "Integer")                                                                                  \
    X(ftWord, "Word")                                                                                        \
    X(ftBoolean, "Boolean")                                                                                  \
    X(ftFloat, "Float")                                                                                      \
    X(ftCurrency, "Currency")                                                                                \
    X(ftBCD, "BCD")                                                                                          \
    X(ftDate, "Date")                                                                                        \
    X(ftTime, "Time")                                                                                        \
    X(ftDateTime, "DateTime")                                                                                \
    X(ftBytes, "Bytes")                                                                                      \
    X(ftVarBytes, "VarBytes")                                                                                \
    X(ftAutoInc, "AutoInc")                                                                                  \
    X(ftBlob, "Blob")                                                                                        \
    X(ftMemo, "Memo")                                                                                        \
    X(ftGraphic, "Graphic")                                                                                  \
    X(ftFmtMemo, "FmtMemo")                                                                                  \
    X(ftTableOle, "TableOle")                                                                                \
    X(ftFileOle, "FileOle")                                                                                  \
    X(ftTypedBinary, "TypedBinary")                                                                          \
    X(ftCursor, "Cursor")                                                                                    \
    X(ftFixedChar, "FixedChar")                                                                              \
    X(ftWideString, "WideString")                                                                            \
    X(ftLargeint, "LargeInt")                                                                                \
    X(ftADT, "ADT")                                                                                          \
    X(ftArray, "Array")                                                                                      \
    X(ftReference, "Reference")                                                                              \
    X(ftDataSet, "DataSet")                                                                                  \
    X(ftHugeBlob, "HugeBlob")                                                                                \
    X(ftHugeClob, "HugeClob")                                                                                \
    X(ftVariant, "Variant")                                                                                  \
    X(ftInterface, "Interface")                                                                              \
    X(ftIDispatch, "Dispatch")                                                                               \
    X(ftGuid, "Guid")                                                                                        \
    X(ftTimeStamp, "SQLTimeStamp")                                                                           \
    X(ftFMTBcd, "FMTBcdField")

enum TFieldType {
#define WS_FIELD_TYPE_ENUMERATOR(id, name) id,
    WS_FIELD_TYPES(WS_FIELD_TYPE_ENUMERATOR)
#undef WS_FIELD_TYPE_ENUMERATOR
};

// The enumerators as stored properties spell them ("ftUnknown", "ftString", ...), in order.
const std::vector<std::string>& FieldTypeIdentifiers();

// The name a binding message gives a type ("String", "AutoInc", "FMTBcdField", ...).
std::string_view FieldTypeName(TFieldType type);

// The field type of a field the engine describes: its logical type, refined by its subtype. A string of
// size 0 and a 16-bit integer whose value is not two bytes long are of no type a field can hold
// (ftUnknown), as is every engine type without a field type.
TFieldType FieldTypeOf(const engine::FieldDesc& desc);

// The engine's type and subtype that hold a field of the type, for the tables a program creates;
// FieldType::Unknown for a type no engine field holds.
void SetEngineFieldType(TFieldType type, engine::FieldDesc& desc);

// Whether values of the type are held as blobs (memo texts, pictures, binary data), read on demand.
bool IsBlobFieldType(TFieldType type);

} // namespace ws
