#pragma once

// The job database as the wall screen expects to find it: four tables, every field the views
// declare with its type and size, and the one index the views name. The program only reads
// these tables; the admin tool and the tests create databases from this description.

#include "data/FieldType.h"

#include <span>
#include <string_view>

namespace ws {

struct SchemaField {
    std::string_view name;
    TFieldType type;
    int size; // characters for strings, the declared size for memos, 0 otherwise
};

struct SchemaIndex {
    std::string_view name;
    std::string_view field; // a single ascending key field
};

struct SchemaTable {
    std::string_view name; // file name, e.g. "OrderHead.DB"
    std::span<const SchemaField> fields;
    std::span<const SchemaIndex> indexes;

    // 1-based position of a field, compared without regard to case; 0 when absent.
    int FieldNo(std::string_view fieldName) const;
};

// The alias through which the program reaches the job database, and the connection's name.
inline constexpr std::string_view kJobsAlias = "YardData";
inline constexpr std::string_view kJobsDatabaseName = "JobsDB";
inline constexpr std::string_view kDueDateIndex = "iDueDateA";

const SchemaTable& OrderHeadTable();
const SchemaTable& OptionsTable();
const SchemaTable& JewishTable();
const SchemaTable& RnrTable();
std::span<const SchemaTable* const> JobTables();
// The table of that file name (case-insensitive), or nullptr.
const SchemaTable* FindJobTable(std::string_view name);

} // namespace ws
