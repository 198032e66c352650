#pragma once

#include "engine/RecordBuffer.h"
#include "engine/Status.h"
#include "engine/Types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The database engine's operations. Each answers with a status (dbiOk on success); a failure
// leaves its error entries for LastErrorEntries(). All operations are safe to call from any
// thread; one cursor is used by one thread at a time.
namespace ws::engine {

inline constexpr std::uint16_t EngineVersion = 500;

// ---- engine --------------------------------------------------------------------------------------
// The first start answers dbiOk, every further one dbiAlreadyStarted (not an error); each start
// is paired with an EngineExit, and the last exit closes whatever is still open.
DBIResult EngineInit(std::uint16_t version = EngineVersion);
DBIResult EngineExit();
int EngineStartCount();

// ---- database ------------------------------------------------------------------------------------
// A database is opened by alias (session aliases first, then the configuration file) or by the
// path of an existing directory.
DBIResult OpenDatabase(const std::string& name, OpenMode mode, ShareMode share, hDBIDb& db);
DBIResult CloseDatabase(hDBIDb db);
DBIResult GetAliasInfo(const std::string& alias, AliasInfo& info);
// A session-local alias; it takes precedence over the configuration file.
DBIResult AddSessionAlias(const std::string& name, const std::string& driver,
                          const std::map<std::string, std::string>& params);
DBIResult DatabaseDirectory(hDBIDb db, std::string& directory);
// Creates an empty table file; the wall screen never does, the admin tool and tests do.
DBIResult CreateTable(hDBIDb db, const TableSpec& spec);

// ---- tables --------------------------------------------------------------------------------------
// Table names are "OrderHead.DB" or "OrderHead" within the database's directory. An empty index
// name opens in physical order. dbiTableReadOnly for a read/write open of a file that may only
// be read: the caller then opens it read-only.
DBIResult OpenTable(hDBIDb db, const std::string& tableName, const std::string& driverType,
                    const std::string& indexName, OpenMode mode, ShareMode share, hDBICur& cursor);
DBIResult SwitchToIndex(hDBICur cursor, const std::string& indexName);
DBIResult GetCursorProps(hDBICur cursor, CursorProps& props);
DBIResult GetFieldDescs(hDBICur cursor, std::vector<FieldDesc>& fields);
// The active index, or dbiUnknownIndex when the cursor runs in physical order.
DBIResult GetIndexDesc(hDBICur cursor, IndexDesc& index);
DBIResult GetIndexDescs(hDBICur cursor, std::vector<IndexDesc>& indexes);
DBIResult CloneCursor(hDBICur cursor, bool readOnly, hDBICur& clone);
DBIResult CloseCursor(hDBICur cursor);

// ---- moving --------------------------------------------------------------------------------------
DBIResult SetToBegin(hDBICur cursor);
DBIResult SetToEnd(hDBICur cursor);
// record may be null to move without reading. dbiBOF / dbiEOF at the ends; dbiRecordDeleted
// when the current row was deleted or no longer passes the active filters.
DBIResult GetNextRecord(hDBICur cursor, LockType lock, std::uint8_t* record);
DBIResult GetPriorRecord(hDBICur cursor, LockType lock, std::uint8_t* record);
DBIResult GetRecord(hDBICur cursor, LockType lock, std::uint8_t* record);
// Bookmarks are bookmark-size bytes; they stay valid across forced re-reads.
DBIResult GetBookMark(hDBICur cursor, std::uint8_t* bookmark);
// dbiNeighbourPositioned: the row is gone and the cursor rests where it was, so that the next
// and prior reads give its neighbours in key order.
DBIResult SetToBookMark(hDBICur cursor, const std::uint8_t* bookmark);
DBIResult CompareBookMarks(hDBICur cursor, const std::uint8_t* a, const std::uint8_t* b, int& result);
DBIResult SetToCursor(hDBICur dest, hDBICur source);
// The first row whose leading fieldCount index fields (0 = all) equal those of keyRecord; with a
// partial length, the last of them, a string, only has to begin with that many characters.
DBIResult GetRecordForKey(hDBICur cursor, std::uint16_t fieldCount, std::uint16_t partialLength,
                          const std::uint8_t* keyRecord, std::uint8_t* record);

// ---- values --------------------------------------------------------------------------------------
// dest / source hold the field's value bytes (FieldDesc::length): strings zero-terminated, dates
// 32-bit day numbers, booleans 16-bit words, integers 16 or 32 bits, floats doubles. A null source
// blanks the field; for a memo a non-null source is a zero-terminated text.
DBIResult GetField(hDBICur cursor, std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                   bool& isBlank);
DBIResult PutField(hDBICur cursor, std::uint16_t fieldNo, std::uint8_t* record, const void* source);
DBIResult InitRecord(hDBICur cursor, std::uint8_t* record);
DBIResult ReadMemo(hDBICur cursor, std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                   bool& isBlank);
DBIResult WriteMemo(hDBICur cursor, std::uint16_t fieldNo, std::uint8_t* record, const std::string& text);
// Typed forms of GetField / PutField (memos included).
DBIResult GetValue(hDBICur cursor, std::uint16_t fieldNo, const std::uint8_t* record, Value& value);
DBIResult PutValue(hDBICur cursor, std::uint16_t fieldNo, std::uint8_t* record, const Value& value);

// ---- writing -------------------------------------------------------------------------------------
// Writes the buffer over the current row (taking its lock for the moment if not held).
DBIResult ModifyRecord(hDBICur cursor, std::uint8_t* record, bool freeLock);
// Inserts a new row; the buffer receives its row id and autoincrement value.
DBIResult InsertRecord(hDBICur cursor, LockType lock, std::uint8_t* record);
DBIResult DeleteRecord(hDBICur cursor);
DBIResult RelRecordLock(hDBICur cursor, bool all);

// ---- counting ------------------------------------------------------------------------------------
DBIResult GetExactRecordCount(hDBICur cursor, std::uint32_t& count);
DBIResult GetRecordCount(hDBICur cursor, std::uint32_t& count);

// ---- filters -------------------------------------------------------------------------------------
// Filters are added inactive. Lower priorities are tested first; all active filters must pass.
DBIResult AddFilter(hDBICur cursor, std::uint16_t priority, std::span<const std::uint8_t> expression,
                    hDBIFilter& filter);
DBIResult AddFilterCallback(hDBICur cursor, std::uint16_t priority, RowCallback callback, hDBIFilter& filter);
DBIResult ActivateFilter(hDBICur cursor, hDBIFilter filter);
DBIResult DeactivateFilter(hDBICur cursor, hDBIFilter filter);
DBIResult DropFilter(hDBICur cursor, hDBIFilter filter);

// ---- other ---------------------------------------------------------------------------------------
// Drops what the cursor has read; its next read sees what other programs have committed since.
DBIResult ForceReread(hDBICur cursor);
DBIResult GetValidityChecks(hDBICur cursor, std::vector<ValidityCheck>& checks);
DBIResult SetValidityChecks(hDBICur cursor, const std::vector<ValidityCheck>& checks);

} // namespace ws::engine
