#pragma once

#include "engine/RecordBuffer.h"
#include "engine/Status.h"
#include "engine/Types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The database engine's operations. Each answers with a status (esOk on success); a failure
// leaves its error entries for LastErrorEntries(). All operations are safe to call from any
// thread; one cursor is used by one thread at a time.
namespace ws::engine {

inline constexpr std::uint16_t EngineVersion = 500;

// ---- engine --------------------------------------------------------------------------------------
// The first start answers esOk, every further one esAlreadyStarted (not an error); each start
// is paired with an EngineExit, and the last exit closes whatever is still open.
EngineStatus EngineInit(std::uint16_t version = EngineVersion);
EngineStatus EngineExit();
int EngineStartCount();

// ---- database ------------------------------------------------------------------------------------
// A database is opened by alias (session aliases first, then the configuration file) or by the
// path of an existing directory.
EngineStatus OpenDatabase(const std::string& name, OpenMode mode, ShareMode share, hDatabase& db);
EngineStatus CloseDatabase(hDatabase db);
EngineStatus GetAliasInfo(const std::string& alias, AliasInfo& info);
// A session-local alias; it takes precedence over the configuration file. configuredName is the
// alias it was copied from, as configured (a connection's own name for it): messages about the
// database name that one.
EngineStatus AddSessionAlias(const std::string& name, const std::string& driver,
                             const std::map<std::string, std::string>& params,
                             const std::string& configuredName = {});
EngineStatus DatabaseDirectory(hDatabase db, std::string& directory);
// Creates an empty table file; the wall screen never does, the admin tool and tests do.
EngineStatus CreateTable(hDatabase db, const TableSpec& tableSpec);

// ---- tables --------------------------------------------------------------------------------------
// Table names are "OrderHead.DB" or "OrderHead" within the database's directory. An empty index
// name opens in physical order. esTableReadOnly for a read/write open of a file that may only
// be read: the caller then opens it read-only.
EngineStatus OpenTable(hDatabase db, const std::string& tableName, const std::string& driverType,
                       const std::string& indexName, OpenMode mode, ShareMode share, hCursor& cursor);
EngineStatus SwitchToIndex(hCursor cursor, const std::string& indexName);
EngineStatus GetCursorProps(hCursor cursor, CursorProps& props);
EngineStatus GetFieldDescs(hCursor cursor, std::vector<FieldDesc>& fields);
// The active index, or esUnknownIndex when the cursor runs in physical order.
EngineStatus GetIndexDesc(hCursor cursor, IndexDesc& index);
EngineStatus GetIndexDescs(hCursor cursor, std::vector<IndexDesc>& indexes);
EngineStatus CloneCursor(hCursor cursor, bool readOnly, hCursor& clone);
EngineStatus CloseCursor(hCursor cursor);

// ---- moving --------------------------------------------------------------------------------------
EngineStatus SetToBegin(hCursor cursor);
EngineStatus SetToEnd(hCursor cursor);
// record may be null to move without reading. esBOF / esEOF at the ends; esRecordDeleted
// when the current row was deleted or no longer passes the active filters.
EngineStatus GetNextRecord(hCursor cursor, LockType lock, std::uint8_t* record);
EngineStatus GetPriorRecord(hCursor cursor, LockType lock, std::uint8_t* record);
EngineStatus GetRecord(hCursor cursor, LockType lock, std::uint8_t* record);
// Bookmarks are bookmark-size bytes; they stay valid across forced re-reads.
EngineStatus GetBookmark(hCursor cursor, std::uint8_t* bookmark);
// esNeighbourPositioned: the row is gone and the cursor rests where it was, so that the next
// and prior reads give its neighbours in key order.
EngineStatus SetToBookmark(hCursor cursor, const std::uint8_t* bookmark);
EngineStatus CompareBookmarks(hCursor cursor, const std::uint8_t* a, const std::uint8_t* b, int& result);
EngineStatus SetToCursor(hCursor dest, hCursor source);
// The first row whose leading fieldCount index fields (0 = all) equal those of keyRecord; with a
// partial length, the last of them, a string, only has to begin with that many characters.
EngineStatus GetRecordForKey(hCursor cursor, std::uint16_t fieldCount, std::uint16_t partialLength,
                             const std::uint8_t* keyRecord, std::uint8_t* record);
// The first row, in the cursor's order, whose string field equals text exactly (case-sensitive),
// found without a scan while the file is unchanged; answered is false when the cursor has active
// filters or the text is empty or longer than the field, and the caller should scan. Not found
// leaves the cursor after the last row.
EngineStatus ReadFirstEqual(hCursor cursor, std::uint16_t fieldNo, const std::string& text,
                            std::uint8_t* record, bool& answered, bool& found);

// ---- values --------------------------------------------------------------------------------------
// dest / source hold the field's value bytes (FieldDesc::length): strings as UTF-8 of at most
// `size` characters (up to 4 bytes each), zero-terminated; a longer text is refused with
// esValueTooLong, and a longer stored one reads cut at a character boundary. Dates
// 32-bit day numbers, booleans 16-bit words, integers 16 or 32 bits, floats doubles. A null source
// blanks the field; for a memo a non-null source is a zero-terminated text.
EngineStatus GetField(hCursor cursor, std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                      bool& isBlank);
EngineStatus PutField(hCursor cursor, std::uint16_t fieldNo, std::uint8_t* record, const void* source);
EngineStatus InitRecord(hCursor cursor, std::uint8_t* record);
EngineStatus ReadMemo(hCursor cursor, std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                      bool& isBlank);
EngineStatus WriteMemo(hCursor cursor, std::uint16_t fieldNo, std::uint8_t* record, const std::string& text);
// Typed forms of GetField / PutField (memos included).
EngineStatus GetValue(hCursor cursor, std::uint16_t fieldNo, const std::uint8_t* record, Value& value);
EngineStatus PutValue(hCursor cursor, std::uint16_t fieldNo, std::uint8_t* record, const Value& value);

// ---- writing -------------------------------------------------------------------------------------
// Writes over the current row the fields the caller changed in the buffer, relative to the image
// read under the row's lock (or, without a lock, to the row as last read); the other fields keep
// what is stored, whatever its type. A buffer with no change writes nothing. The lock is taken
// for the moment if not held. On success the lock is freed when asked; esRecordDeleted frees it;
// any other failure leaves it as it was before the call (held if it was held), and says so in
// the last context entry.
EngineStatus ModifyRecord(hCursor cursor, std::uint8_t* record, bool freeLock);
// Inserts a new row; the buffer receives its row id and autoincrement value.
EngineStatus InsertRecord(hCursor cursor, LockType lock, std::uint8_t* record);
EngineStatus DeleteRecord(hCursor cursor);
// Frees the current row's lock. esNotLocked when this cursor never held it; a lock the engine
// already let go of (the row was modified with freeLock, deleted, or found gone) answers esOk.
EngineStatus ReleaseLock(hCursor cursor, bool all);
// Whether this cursor holds the lock of its current row.
EngineStatus IsRecordLocked(hCursor cursor, bool& locked);

// ---- counting ------------------------------------------------------------------------------------
EngineStatus GetExactRecordCount(hCursor cursor, std::uint32_t& count);
EngineStatus GetRecordCount(hCursor cursor, std::uint32_t& count);

// ---- filters -------------------------------------------------------------------------------------
// Filters are added inactive. Lower priorities are tested first; all active filters must pass.
EngineStatus AddFilter(hCursor cursor, std::uint16_t priority, std::span<const std::uint8_t> expression,
                       hFilter& filter);
EngineStatus AddFilterCallback(hCursor cursor, std::uint16_t priority, RowCallback callback, hFilter& filter);
EngineStatus ActivateFilter(hCursor cursor, hFilter filter);
EngineStatus DeactivateFilter(hCursor cursor, hFilter filter);
EngineStatus DropFilter(hCursor cursor, hFilter filter);

// ---- other ---------------------------------------------------------------------------------------
// Every read already answers from the file as committed at that call; this also checks the
// file's identity at once (a replaced file is re-opened, a removed one gives esTableNotFound).
EngineStatus ForceReread(hCursor cursor);
EngineStatus GetValidityChecks(hCursor cursor, std::vector<ValidityCheck>& checks);
EngineStatus SetValidityChecks(hCursor cursor, const std::vector<ValidityCheck>& checks);

} // namespace ws::engine
