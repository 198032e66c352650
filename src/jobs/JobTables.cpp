#include "jobs/JobTables.h"

#include "base/Strings.h"

namespace ws {

namespace {

engine::FieldDesc MakeFieldDesc(const SchemaField& field) {
    engine::FieldDesc desc;
    desc.name = std::string(field.name);
    desc.size = static_cast<std::uint16_t>(field.size);
    SetEngineFieldType(field.type, desc);
    return desc;
}

} // namespace

engine::TableSpec MakeTableSpec(const SchemaTable& table) {
    engine::TableSpec tableSpec;
    tableSpec.name = std::string(table.name);
    for (const SchemaField& field : table.fields)
        tableSpec.fields.push_back(MakeFieldDesc(field));
    for (const SchemaIndex& index : table.indexes) {
        engine::IndexDesc desc;
        desc.name = std::string(index.name);
        desc.fields = {static_cast<std::uint16_t>(table.FieldNo(index.field))};
        tableSpec.indexes.push_back(desc);
    }
    return tableSpec;
}

} // namespace ws
