#pragma once

#include "engine/CursorBase.h"
#include "engine/ExpressionEvaluator.h"
#include "engine/LockFile.h"
#include "engine/RecordBuffer.h"
#include "engine/Sqlite.h"
#include "engine/TableCursor.h"
#include "engine/TableSchema.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ws::engine {

// One open cursor over one table file: its own connection, a position in the order of the
// active index, record locks and filters.
//
// Every call that reads or writes the file answers from the file as it is committed at that call:
// no read transaction outlives a call. Each such call first checks the file's identity (device
// and inode): a file replaced under its name is re-opened, a file that is gone is an error.
//
// A position is before the first row, after the last, on a row, or on the crack where a row was
// (deleted or filtered out): reading next or prior from a crack gives that row's neighbours.
class Cursor : public CursorBase {
public:
    Cursor(hCursor handle, std::string tablePath);
    ~Cursor() override;
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    EngineStatus Open(const std::string& indexName, OpenMode mode, ShareMode share);
    EngineStatus OpenClone(const Cursor& source, bool readOnly);

    const std::string& TablePath() const override { return m_TablePath; }
    EngineStatus SetToCursor(const Cursor& source);
    // The first row, in the order of the active index, whose string field equals text exactly
    // (case-sensitive, a blank field never equals): what a scan through an equality filter would
    // find, answered from a map of the field's values the cursor keeps for itself and builds again
    // whenever the file changed. answered is false when the cursor cannot answer this way (active
    // filters, an empty or over-long text): the caller scans instead. Not found leaves the cursor
    // after the last row, as a scan would.
    EngineStatus ReadFirstEqual(std::uint16_t fieldNo, const std::string& text, std::uint8_t* record,
                                bool& answered, bool& found) override;

    EngineStatus ExactCount(std::uint32_t& count) override;
    EngineStatus RowCount(std::uint32_t& count) override;

    EngineStatus ForceReread() override;

    // For RecordBuffer: the row under test.
    const std::uint8_t* TestRowData() override;
    EngineStatus TestRowValue(std::uint16_t fieldNo, Value& value) override;

private:
    struct Segment {
        std::string where;
        std::vector<SqlValue> params;
        bool descending = false;
        // Stop at the first row that does not satisfy this (prefix searches).
        std::function<bool(Statement&)> within;
    };

    // For ReadFirstEqual: each text of one field mapped to the first row holding it, valid while
    // the file is unchanged (data version for other connections' commits, the connection's own
    // change count for its own) and the order is the same.
    struct KeyMap {
        const IndexDesc* index = nullptr;
        std::int64_t dataVersion = -1;
        std::int64_t changes = -1;
        // Every text once, with the row id of the first row holding it, sorted by text: the
        // texts end to end in one string, each entry naming its place there. A few bytes a row
        // beyond the texts themselves, where a hash map costs a node and a string per row.
        struct Entry {
            std::uint32_t offset = 0;
            std::uint32_t length = 0;
            std::int64_t rowId = 0;
        };
        std::string texts;
        std::vector<Entry> entries;
        void Clear() {
            std::string().swap(texts);
            std::vector<Entry>().swap(entries);
        }
        std::string_view TextOf(const Entry& entry) const {
            return {texts.data() + entry.offset, entry.length};
        }
        const Entry* Find(std::string_view text) const;
    };

    // A read of the next (or prior) rows left stepping between calls, so that a view filling its
    // row window walks the order once instead of starting a statement at every row. It goes on
    // only while nothing was committed to the file since it began (data version of a connection
    // of its own, which no open statement holds back) and the caller reads on from the row it
    // gave last in the same direction, with the same index and filters; else it is ended and the
    // read starts afresh. It holds the connection's read snapshot between calls, so at most one
    // cursor of the process keeps one open.
    struct Step {
        bool open = false;
        Direction direction = Direction::Next;
        const IndexDesc* index = nullptr;
        std::uint64_t filters = 0;
        std::int64_t dataVersion = -1;
        std::int64_t changes = -1;
        // The segments still to read, the first of them stepping in statement.
        std::vector<Segment> segments;
        Statement* statement = nullptr;
        // The row it gave last.
        std::int64_t rowId = 0;
        std::vector<SqlValue> key;
    };

    // The rows of the view in the order of the active index, taken in one pass of the table (the
    // few rows the filters let through sorted, not a walk of the index that looks up every row),
    // with the key each had. Valid while the file (data version seen through the probe
    // connection, the connection's own change count), the filters and the index are as they were
    // when it was taken; a read checks that at every call and takes the list again when anything
    // changed. Next, prior and counts are answered from it with one read by row id per row
    // given. Only filters said in SQL may be in force, and it holds at most kOrderListRows rows:
    // beyond that most rows pass and the stepping read serves as well (overLong).
    struct OrderList {
        bool valid = false;
        bool overLong = false;
        const IndexDesc* index = nullptr;
        std::uint64_t filters = 0;
        std::int64_t dataVersion = -1;
        std::int64_t changes = -1;
        std::vector<std::int64_t> rowIds;
        std::vector<std::vector<SqlValue>> keys;
        std::unordered_map<std::int64_t, std::size_t> at; // row id -> place in the list
    };
    static constexpr std::size_t kOrderListRows = 4096;

    // The last exact count, valid while the file and the filters are as they were.
    struct CountMemo {
        bool valid = false;
        std::int64_t dataVersion = -1;
        std::int64_t changes = -1;
        std::uint64_t filters = 0;
        std::uint32_t count = 0;
    };

    struct FileId {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        friend bool operator==(const FileId&, const FileId&) = default;
    };
    static bool IdentifyFile(const std::string& path, FileId& id);
    static bool DirectoryWritable(const std::string& path);
    // What tells that a file read as it stands was written to since.
    struct FileStamp {
        std::int64_t modified = 0;
        std::int64_t size = 0;
        bool log = false;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };
    static FileStamp StampOf(const std::string& path);

    EngineStatus OpenConnection(bool readOnly);
    EngineStatus Connect();
    // Closes the connection (the file is gone or replaced); the next Live() opens it again.
    void Disconnect(bool checkpoint);
    // Checks the file's identity before a call that reads or writes it; re-opens a replaced file.
    EngineStatus Live() override;
    void IndexChanged() override;
    EngineStatus ReadAdjacent(Direction direction) override;
    EngineStatus DeleteRow(std::int64_t rowId) override;
    EngineStatus StoreChecks(const std::vector<ValidityCheck>& checks) override;
    EngineStatus ReadStoredMemo(std::uint16_t fieldNo, std::int64_t rowId, std::string& text,
                                bool& isBlank) override;
    void UnlockAll() override;
    bool IsLocked(std::int64_t rowId) const override;
    std::optional<SqlCondition> PushDownOf(const CompiledFilter& expression) const override;
    void ResetStatements();
    EngineStatus InstallRowGuard();
    Statement* Cached(const std::string& sql);
    Statement* Cached(const std::string& sql, std::map<std::string, Statement>& cache);
    // A statement (prepared once, from cache) with its parameters bound; none when it cannot be
    // prepared (m_PrepareStatus says why).
    Statement* Bound(const std::string& sql, const std::vector<SqlValue>& params,
                     std::map<std::string, Statement>& cache);
    // How a row ends the walk through a statement's rows: read on (Next), stop there with the
    // statement reset (Stopped), or stop with the statement left on the row (Held). Done: the
    // rows ran out.
    enum class RowsEnd { Next, Done, Stopped, Held };
    // The one loop every statement of this driver runs: steps the statement, hands each row to row()
    // until it says otherwise, resets the statement (unless held) and maps a storage error.
    template <typename Row>
    EngineStatus EachRow(Statement& stmt, Row&& row, RowsEnd& end);
    // The same loop through a statement prepared once (from cache) with its parameters bound.
    template <typename Row>
    EngineStatus EachRow(const std::string& sql, const std::vector<SqlValue>& params, Row&& row);
    // A statement read for its first row only: row() is called on it when there is one (found).
    template <typename Row>
    EngineStatus OneRow(const std::string& sql, const std::vector<SqlValue>& params, Row&& row, bool& found);
    // A statement that gives no rows (a write), run to its end.
    EngineStatus Execute(Statement& stmt);
    EngineStatus Execute(const std::string& sql, const std::vector<SqlValue>& params);
    const std::string& SelectList() const;
    std::string KeyColumn(std::size_t i) const;
    std::string OrderBy(bool descending) const;
    std::string FromClause() const;
    std::string FilterSql(std::vector<SqlValue>& params) const;
    std::vector<Segment> SegmentsFrom(Direction direction) const;
    EngineStatus RunSegments(const std::vector<Segment>& segments, std::int64_t& rowId);
    EngineStatus SeekKey(const std::vector<KeyTerm>& terms) override;
    // Prepares a segment's statement (from cache) and binds its parameters and the filters'.
    Statement* SegmentStatement(const Segment& segment, std::map<std::string, Statement>& cache);
    // Steps a segment's statement to its next row passing every filter: esOk on one (the cursor
    // on it, the statement left there), esRecordNotFound once it has none (reset; stopped says
    // the segment's own bound ended it), else a storage error (reset).
    EngineStatus StepSegment(Statement& stmt, const Segment& segment, std::int64_t& rowId, bool& stopped);
    // Next or prior through the stepping read: continued when it follows on, else begun afresh.
    EngineStatus ReadOn(Direction direction, std::int64_t& rowId);
    bool StepFollowsOn(Direction direction) const;
    void EndStep();
    // Ends the stepping read when anything was committed to the file since it began.
    void CheckStep();
    // Brings the order list up to date with the file; use says whether reads may be answered
    // from it (filters it can serve, the probe connection at hand, not over long).
    EngineStatus CurrentOrderList(bool& use);
    EngineStatus BuildOrderList(OrderList& list);
    // Next or prior from the order list; answered is false when the list cannot say (then the
    // stepping read serves the call).
    EngineStatus ReadFromList(Direction direction, std::int64_t& rowId, bool& answered);
    // The place in the order list of the first row after (next) or the last row before (prior)
    // the position; false when the list cannot tell.
    bool ListPlace(Direction direction, std::size_t& place, bool& none) const;
    // The file's data version seen through the probe connection; false when it cannot be asked.
    bool ProbeVersion(std::int64_t& version);
    // Reads one row by id into m_Scratch; passes says whether it passes every active filter,
    // those said in SQL included.
    EngineStatus FetchRow(std::int64_t rowId, FetchedRow& fetched) override;
    void Unlock(std::int64_t rowId, bool dropped) override;
    EngineStatus DataVersion(std::int64_t& version);
    EngineStatus BuildKeyMap(std::uint16_t fieldNo, KeyMap& map);
    std::string FieldText(const FieldDesc& field, const std::uint8_t* record);
    void DecodeField(Statement& stmt, std::size_t index, std::uint8_t* record) const;
    bool HasRowFilters() const;
    void Decode(Statement& stmt, std::uint8_t* record) const;
    std::vector<SqlValue> KeyOf(Statement& stmt) const;
    EngineStatus TakeLock(std::int64_t rowId) override;
    EngineStatus WriteRow(std::uint8_t* record, bool insert, const std::uint8_t* reference) override;
    EngineStatus RowIdAfterInsert(std::int64_t& rowId);
    EngineStatus BeginWrite();
    // Commits the write transaction begun by BeginWrite, or rolls it back when the write failed (s):
    // the write's failure, or the commit's, is the answer.
    EngineStatus EndWrite(EngineStatus s);
    EngineStatus Storage(int rc);

    std::string m_TablePath;
    SqliteConnection m_Db;
    bool m_Connected = false;
    FileId m_FileId;              // of the file the connection is on
    EngineStatus m_Broken = esOk; // the file was replaced by one of another structure
    mutable std::string m_SelectList;
    std::shared_ptr<LockFile> m_Locks;
    // Read as it stands, without locks or side files (its directory cannot be written): connected
    // anew when its stamp changes, to see what others wrote.
    bool m_Immutable = false;
    FileStamp m_Stamp;
    bool m_TableOpened = false;
    std::map<std::string, Statement> m_Statements;
    EngineStatus m_PrepareStatus = esOk; // why the last Cached() gave no statement
    // The row a filter is testing: the live statement, decoded into m_Scratch on demand.
    Statement* m_TestRow = nullptr;
    bool m_TestDecoded = false;
    std::vector<int> m_Columns; // select-list column of each field
    std::map<std::uint16_t, KeyMap> m_KeyMaps;
    CountMemo m_CountMemo;
    OrderList m_OrderList;
    Step m_Step;
    // The stepping read's statements, apart from the others so that no other read resets one.
    std::map<std::string, Statement> m_StepStatements;
    // A second connection that only asks the file's data version for the stepping read.
    SqliteConnection m_Probe;
    bool m_ProbeOpen = false;
    Statement m_ProbeStatement; // declared after m_Probe: finalized before it closes
};

} // namespace ws::engine
