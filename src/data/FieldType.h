#pragma once

#include <string_view>

namespace ws {

// Field types of the data sets, in the order whose names the binding messages use.
enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftTableOle,
    ftFileOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftHugeBlob,
    ftHugeClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd,
};

// The name a binding message gives a type ("String", "AutoInc", "FMTBcdField", ...).
std::string_view FieldTypeName(TFieldType type);

// Whether values of the type are held as blobs (memo texts, pictures, binary data), read on demand.
bool IsBlobFieldType(TFieldType type);

} // namespace ws
