#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ws::engine {

// Every engine operation answers with a 16-bit status; 0 is success.
using DBIResult = std::uint16_t;

// The status table: name, code, text. One place, so a code and its text never drift apart.
#define WS_ENGINE_STATUSES(X)                                                                                \
    X(dbiOk, 0x0000, "Operation succeeded")                                                                  \
    X(dbiBOF, 0x2201, "At beginning of table")                                                               \
    X(dbiEOF, 0x2202, "At end of table")                                                                     \
    X(dbiRecordDeleted, 0x2203, "Record deleted or no longer in view")                                       \
    X(dbiRecordNotFound, 0x2205, "Record not found")                                                         \
    X(dbiNeighbourPositioned, 0x2206, "Bookmarked record no longer exists; positioned where it was")         \
    X(dbiNoCurrentRecord, 0x2207, "No current record")                                                       \
    X(dbiLibraryNotFound, 0x2108, "Engine library not found")                                                \
    X(dbiLibraryStartFailed, 0x2109, "Engine library could not be started")                                  \
    X(dbiBindingFailed, 0x210A, "Engine entry point could not be bound")                                     \
    X(dbiTableNotFound, 0x2401, "Table does not exist")                                                      \
    X(dbiNotATable, 0x2402, "File is not a table of this engine")                                            \
    X(dbiDamagedTable, 0x2403, "Table file is damaged")                                                      \
    X(dbiIOError, 0x2404, "Input/output error on a table file")                                              \
    X(dbiBusyTimeout, 0x2405, "Table stayed busy longer than the wait allows")                               \
    X(dbiTableInUse, 0x2406, "Table is open exclusively by another user")                                    \
    X(dbiTableExists, 0x2407, "Table already exists")                                                        \
    X(dbiOutOfMemory, 0x2501, "Insufficient memory for this operation")                                      \
    X(dbiUnknownIndex, 0x2601, "Index does not exist")                                                       \
    X(dbiInvalidField, 0x2602, "Invalid field number")                                                       \
    X(dbiInvalidParameter, 0x2603, "Invalid parameter")                                                      \
    X(dbiInvalidHandle, 0x2604, "Invalid handle")                                                            \
    X(dbiKeyViolation, 0x2605, "Key violation")                                                              \
    X(dbiValueTooLong, 0x2606, "Value is longer than the field allows")                                      \
    X(dbiNotLocked, 0x2607, "Record is not locked by this cursor")                                           \
    X(dbiDifferentTables, 0x2608, "Cursors are not on the same table")                                       \
    X(dbiEntryPointMissing, 0x274F, "Engine entry point missing")                                            \
    X(dbiRecordLocked, 0x2901, "Record locked by another user")                                              \
    X(dbiUnknownAlias, 0x2A04, "Unknown alias")                                                              \
    X(dbiUnknownDatabase, 0x2A05, "Unknown database")                                                        \
    X(dbiBindingLockFailed, 0x2A06, "Engine binding lock not obtained")                                      \
    X(dbiAlreadyStarted, 0x2A07, "Engine already started")                                                   \
    X(dbiNotStarted, 0x2A08, "Engine not started")                                                           \
    X(dbiUnknownDriver, 0x2A09, "Unknown driver")                                                            \
    X(dbiTableReadOnly, 0x2A0B, "Table is read-only")                                                        \
    X(dbiFilterNotSupported, 0x2C01, "Filter expressions are not supported by this engine")                  \
    X(dbiInvalidFilter, 0x2C02, "Invalid filter expression buffer")                                          \
    X(dbiUnknownFilter, 0x2C03, "Unknown filter handle")                                                     \
    X(dbiContext, 0x2EC4, "Additional information")

#define WS_ENGINE_STATUS_CONSTANT(name, code, text) inline constexpr DBIResult name = code;
WS_ENGINE_STATUSES(WS_ENGINE_STATUS_CONSTANT)
#undef WS_ENGINE_STATUS_CONSTANT

// The text of a status; unknown codes read "Engine error $xxxx".
std::string ErrorText(DBIResult status);
// The constant's name ("dbiRecordLocked"), for tools and test output.
std::string StatusName(DBIResult status);

// One entry of the error stack a failed operation leaves behind. The first entry carries the
// failure; further entries (code dbiContext) say what it happened to (alias, table, file).
struct ErrorEntry {
    DBIResult code = dbiOk;
    int nativeCode = 0; // the storage layer's error code, or errno; 0 when none
    std::string context;
};

// The entries of the last failed operation on the calling thread; emptied by the next call.
std::vector<ErrorEntry> LastErrorEntries();

} // namespace ws::engine
