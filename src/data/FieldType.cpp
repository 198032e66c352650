#include "data/FieldType.h"

namespace ws {

std::string_view FieldTypeName(TFieldType type) {
    static constexpr std::string_view names[] = {
        "Unknown",     "String",       "SmallInt",   "Integer",    "Word",     "Boolean",   "Float",
        "Currency",    "BCD",          "Date",       "Time",       "DateTime", "Bytes",     "VarBytes",
        "AutoInc",     "Blob",         "Memo",       "Graphic",    "FmtMemo",  "TableOle",  "FileOle",
        "TypedBinary", "Cursor",       "FixedChar",  "WideString", "LargeInt", "ADT",       "Array",
        "Reference",   "DataSet",      "HugeBlob",   "HugeClob",   "Variant",  "Interface", "Dispatch",
        "Guid",        "SQLTimeStamp", "FMTBcdField"};
    const auto i = static_cast<size_t>(type);
    return i < std::size(names) ? names[i] : names[0];
}

bool IsBlobFieldType(TFieldType type) {
    switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftTableOle:
    case ftFileOle:
    case ftTypedBinary:
    case ftHugeBlob:
    case ftHugeClob:
        return true;
    default:
        return false;
    }
}

} // namespace ws
