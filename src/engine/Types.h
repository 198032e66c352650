#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace ws::engine {

// Handles are plain numbers: a stale or foreign handle is answered with esInvalidHandle
// instead of touching freed memory.
using hDatabase = std::uint32_t;
using hCursor = std::uint32_t;
using hFilter = std::uint32_t;

enum class OpenMode { ReadWrite, ReadOnly };
enum class ShareMode { Shared, Exclusive };
enum class LockType { None, Write };

// Logical field types; the numbers are the engine type codes that expression buffers carry.
enum class FieldType : std::uint16_t {
    Unknown = 0,
    ZString = 1,
    Date = 2,
    Blob = 3,
    Bool = 4,
    Int16 = 5,
    Int32 = 6,
    Float = 7,
};

enum class FieldSubtype : std::uint16_t {
    None = 0,
    Money = 21,   // Float holding an amount of money
    Memo = 22,    // Blob holding text
    AutoInc = 29, // Int32 the engine assigns on insert
};

struct FieldDesc {
    std::uint16_t number = 0; // 1-based position in the table
    std::string name;
    FieldType type = FieldType::Unknown;
    FieldSubtype subtype = FieldSubtype::None;
    std::uint16_t size = 0;   // characters for strings, declared size for memos, else 0
    std::uint32_t offset = 0; // of the null flag inside the record buffer
    // Value bytes following the flag; a string of size n takes up to 4n bytes of UTF-8 and a zero.
    std::uint16_t length = 0;
    bool required = false;
    bool readOnly = false;
};

struct IndexDesc {
    std::string name;
    std::vector<std::uint16_t> fields; // field numbers of the key, in key order
    bool caseInsensitive = false;
    bool unique = false;
    std::uint16_t keySize = 0; // bytes of the key's field images
};

enum class RowNumbering { None, Sequence, Physical };

struct CursorProps {
    std::uint32_t recordSize = 0;
    std::uint16_t bookmarkSize = 0;
    std::uint16_t fieldCount = 0;
    bool canModify = false;
    RowNumbering numbering = RowNumbering::None;
    std::string tableName;
    std::string indexName; // empty: physical order
};

// One validity check of a table: the picture a field's text must match.
struct ValidityCheck {
    std::uint16_t fieldNo = 0;
    std::string picture;
};

// What CreateTable needs: the fields (number, offset and length are ignored) and the indexes.
struct TableSpec {
    std::string name; // "OrderHead" or "OrderHead.DB"
    std::vector<FieldDesc> fields;
    std::vector<IndexDesc> indexes;
    std::vector<ValidityCheck> checks;
};

struct AliasInfo {
    std::string name;
    // For a session alias made from another alias (a connection under a name of its own): the
    // name of that alias as configured, which messages name. Empty otherwise.
    std::string configuredName;
    std::string driver;
    std::map<std::string, std::string> params; // upper-case keys ("PATH")
};

// A typed field value for the convenience accessors; monostate is a blank field. Dates are day
// numbers (1 = 1 January 0001), booleans are bool, memos and strings are std::string.
struct DayNumber {
    std::int32_t days = 0;
    friend bool operator==(const DayNumber&, const DayNumber&) = default;
};
using Value = std::variant<std::monostate, std::string, std::int32_t, double, bool, DayNumber>;

} // namespace ws::engine
