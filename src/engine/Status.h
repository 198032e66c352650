#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ws::engine {

// Every engine operation answers with a 16-bit status; 0 is success.
using EngineStatus = std::uint16_t;

// The status table: name, code, text. One place, so a code and its text never drift apart.
#define WS_ENGINE_STATUSES(X)                                                                                \
    X(esOk, 0x0000, "Operation succeeded")                                                                   \
    X(esBOF, 0x2201, "At beginning of table")                                                                \
    X(esEOF, 0x2202, "At end of table")                                                                      \
    X(esRecordDeleted, 0x2203, "Record deleted or no longer in view")                                        \
    X(esRecordNotFound, 0x2205, "Record not found")                                                          \
    X(esNeighbourPositioned, 0x2206, "Bookmarked record no longer exists; positioned where it was")          \
    X(esNoCurrentRecord, 0x2207, "No current record")                                                        \
    X(esLibraryNotFound, 0x2108, "Engine library not found")                                                 \
    X(esLibraryStartFailed, 0x2109, "Engine library could not be started")                                   \
    X(esBindingFailed, 0x210A, "Engine entry point could not be bound")                                      \
    X(esTableNotFound, 0x2401, "Table does not exist")                                                       \
    X(esNotATable, 0x2402, "File is not a table of this engine")                                             \
    X(esDamagedTable, 0x2403, "Table file is damaged")                                                       \
    X(esIOError, 0x2404, "Input/output error on a table file")                                               \
    X(esBusyTimeout, 0x2405, "Table stayed busy longer than the wait allows")                                \
    X(esTableInUse, 0x2406, "Table is open exclusively by another user")                                     \
    X(esTableExists, 0x2407, "Table already exists")                                                         \
    X(esTableChanged, 0x2408, "Table file was replaced by one of another structure")                         \
    X(esAccessDenied, 0x2409, "No permission to reach the table or its directory")                           \
    X(esPathTooLong, 0x240A, "Path of the table file is too long")                                           \
    X(esOutOfMemory, 0x2501, "Insufficient memory for this operation")                                       \
    X(esUnknownIndex, 0x2601, "Index does not exist")                                                        \
    X(esInvalidField, 0x2602, "Invalid field number")                                                        \
    X(esInvalidParameter, 0x2603, "Invalid parameter")                                                       \
    X(esInvalidHandle, 0x2604, "Invalid handle")                                                             \
    X(esKeyViolation, 0x2605, "Key violation")                                                               \
    X(esValueTooLong, 0x2606, "Value is longer than the field allows")                                       \
    X(esNotLocked, 0x2607, "Record is not locked by this cursor")                                            \
    X(esDifferentTables, 0x2608, "Cursors are not on the same table")                                        \
    X(esEntryPointMissing, 0x274F, "Engine entry point missing")                                             \
    X(esRecordLocked, 0x2901, "Record locked by another user")                                               \
    X(esUnknownAlias, 0x2A04, "Unknown alias")                                                               \
    X(esUnknownDatabase, 0x2A05, "Unknown database")                                                         \
    X(esBindingLockFailed, 0x2A06, "Engine binding lock not obtained")                                       \
    X(esAlreadyStarted, 0x2A07, "Engine already started")                                                    \
    X(esNotStarted, 0x2A08, "Engine not started")                                                            \
    X(esUnknownDriver, 0x2A09, "Unknown driver")                                                             \
    X(esTableReadOnly, 0x2A0B, "Table is read-only")                                                         \
    X(esFilterNotSupported, 0x2C01, "Filter expressions are not supported by this engine")                   \
    X(esInvalidFilter, 0x2C02, "Invalid filter expression buffer")                                           \
    X(esUnknownFilter, 0x2C03, "Unknown filter handle")                                                      \
    X(esContext, 0x2EC4, "Additional information")

#define WS_ENGINE_STATUS_CONSTANT(name, code, text) inline constexpr EngineStatus name = code;
WS_ENGINE_STATUSES(WS_ENGINE_STATUS_CONSTANT)
#undef WS_ENGINE_STATUS_CONSTANT

// The text of a status; unknown codes read "Engine error $xxxx".
std::string ErrorText(EngineStatus status);
// The constant's name ("esRecordLocked"), for tools and test output.
std::string StatusName(EngineStatus status);

// One entry of the error stack a failed operation leaves behind. The first entry carries the
// failure; further entries (code esContext) say what it happened to (alias, table, file).
struct ErrorEntry {
    EngineStatus code = esOk;
    int nativeCode = 0; // the storage layer's error code, or errno; 0 when none
    std::string context;
};

// The entries of the last failed operation on the calling thread; emptied by the next call.
std::vector<ErrorEntry> LastErrorEntries();

} // namespace ws::engine
