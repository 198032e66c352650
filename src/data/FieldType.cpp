#include "data/FieldType.h"

namespace ws {

namespace {

using engine::FieldSubtype;

// The field types the engine holds, each with its engine type and subtype.
struct EngineFieldType {
    TFieldType fieldType;
    engine::FieldType type;
    FieldSubtype subtype;
};
constexpr EngineFieldType kEngineFieldTypes[] = {
    {ftString, engine::FieldType::ZString, FieldSubtype::None},
    {ftDate, engine::FieldType::Date, FieldSubtype::None},
    {ftBoolean, engine::FieldType::Bool, FieldSubtype::None},
    {ftSmallint, engine::FieldType::Int16, FieldSubtype::None},
    {ftInteger, engine::FieldType::Int32, FieldSubtype::None},
    {ftAutoInc, engine::FieldType::Int32, FieldSubtype::AutoInc},
    {ftFloat, engine::FieldType::Float, FieldSubtype::None},
    {ftCurrency, engine::FieldType::Float, FieldSubtype::Money},
    {ftBlob, engine::FieldType::Blob, FieldSubtype::None},
    {ftMemo, engine::FieldType::Blob, FieldSubtype::Memo},
};

} // namespace

TFieldType FieldTypeOf(const engine::FieldDesc& desc) {
    if ((desc.type == engine::FieldType::ZString && desc.size == 0) ||
        (desc.type == engine::FieldType::Int16 && desc.length != 2))
        return ftUnknown;
    // The type's own subtype, else the plain type: an unknown subtype refines nothing.
    TFieldType plain = ftUnknown;
    for (const EngineFieldType& row : kEngineFieldTypes) {
        if (row.type != desc.type)
            continue;
        if (row.subtype == desc.subtype)
            return row.fieldType;
        if (row.subtype == FieldSubtype::None)
            plain = row.fieldType;
    }
    return plain;
}

void SetEngineFieldType(TFieldType type, engine::FieldDesc& desc) {
    desc.type = engine::FieldType::Unknown;
    desc.subtype = FieldSubtype::None;
    for (const EngineFieldType& row : kEngineFieldTypes) {
        if (row.fieldType == type) {
            desc.type = row.type;
            desc.subtype = row.subtype;
            return;
        }
    }
}

std::string_view FieldTypeName(TFieldType type) {
    static constexpr std::string_view names[] = {
#define WS_FIELD_TYPE_NAME(id, name) name,
        WS_FIELD_TYPES(WS_FIELD_TYPE_NAME)
#undef WS_FIELD_TYPE_NAME
    };
    const auto i = static_cast<size_t>(type);
    return i < std::size(names) ? names[i] : names[0];
}

const std::vector<std::string>& FieldTypeIdentifiers() {
    static const std::vector<std::string> identifiers = {
#define WS_FIELD_TYPE_IDENTIFIER(id, name) #id,
        WS_FIELD_TYPES(WS_FIELD_TYPE_IDENTIFIER)
#undef WS_FIELD_TYPE_IDENTIFIER
    };
    return identifiers;
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
