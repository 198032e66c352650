// What a cursor sees while another program changes its table between two calls: the other program
// is a plain SQLite connection (no engine, no record locks), as any office program may be.
#include "ActiveFilterEvaluator.h"
#include "EngineTestSupport.h"
#include "engine/ExpressionEvaluator.h"

#include <cstring>
#include <set>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ws::engine::test {

namespace {

// A plain SQLite connection to a table file.
class Raw {
public:
    explicit Raw(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &m_Db), SQLITE_OK);
        sqlite3_busy_timeout(m_Db, 5000);
    }
    ~Raw() { sqlite3_close(m_Db); }
    Raw(const Raw&) = delete;
    Raw& operator=(const Raw&) = delete;

    void Exec(const std::string& sql) {
        ASSERT_EQ(sqlite3_exec(m_Db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sql << ": " << sqlite3_errmsg(m_Db);
    }
    // The first column of the first row as text ("NULL" for null), with its storage class in
    // front when asked: "integer:3".
    std::string Value(const std::string& sql, bool withType = false) {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_Db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
        std::string out = "<no row>";
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            static const char* kTypes[] = {"", "integer", "real", "text", "blob", "null"};
            const int type = sqlite3_column_type(stmt, 0);
            const auto* text = sqlite3_column_text(stmt, 0);
            out = text ? std::string(reinterpret_cast<const char*>(text),
                                     static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)))
                       : "NULL";
            if (withType)
                out = std::string(kTypes[type]) + ":" + out;
        }
        sqlite3_finalize(stmt);
        return out;
    }
    std::int64_t Number(const std::string& sql) { return std::stoll(Value(sql)); }
    std::int64_t LastRowId() { return sqlite3_last_insert_rowid(m_Db); }

private:
    sqlite3* m_Db = nullptr;
};

// Runs SQL on the table file from another process (a plain SQLite connection) and waits for it.
void InAnotherProcess(const std::string& path, const std::string& sql) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open(path.c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        ::_exit(rc == SQLITE_OK ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sql;
}

// Reads of the files whose names begin with a prefix fail from the k-th one on, once armed, as a
// failing disk's do, through SQLite's own file layer. Installed as the default file layer for as
// long as it lives; only files opened meanwhile go through it.
class FailingReads {
public:
    explicit FailingReads(std::string prefix) {
        s_Prefix = std::move(prefix);
        s_Left = -1;
        s_Real = sqlite3_vfs_find(nullptr);
        s_Vfs = *s_Real;
        s_Vfs.zName = "failing-reads";
        s_Vfs.szOsFile = static_cast<int>(sizeof(File)) + s_Real->szOsFile;
        s_Vfs.xOpen = &Open;
        sqlite3_vfs_register(&s_Vfs, 1);
    }
    ~FailingReads() {
        s_Left = -1;
        sqlite3_vfs_register(s_Real, 1);
        sqlite3_vfs_unregister(&s_Vfs);
    }
    FailingReads(const FailingReads&) = delete;
    FailingReads& operator=(const FailingReads&) = delete;

    // The k-th read from now on fails, and every one after it; Disarm() ends it.
    static void Arm(int k) { s_Left = k; }
    static void Disarm() { s_Left = -1; }
    static bool Struck() { return s_Left == 0; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
        bool chosen;
    };
    static sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
        auto* f = reinterpret_cast<File*>(file);
        f->real = reinterpret_cast<sqlite3_file*>(f + 1);
        f->chosen = name != nullptr && std::strncmp(name, s_Prefix.c_str(), s_Prefix.size()) == 0;
        const int rc = s_Real->xOpen(s_Real, name, f->real, flags, outFlags);
        if (f->real->pMethods == nullptr) {
            f->base.pMethods = nullptr;
            return rc;
        }
        static sqlite3_io_methods methods{};
        methods = *f->real->pMethods;
        methods.xClose = [](sqlite3_file* x) { return Real(x)->pMethods->xClose(Real(x)); };
        methods.xRead = [](sqlite3_file* x, void* p, int n, sqlite3_int64 o) {
            if (reinterpret_cast<File*>(x)->chosen && s_Left > 0)
                --s_Left;
            if (reinterpret_cast<File*>(x)->chosen && s_Left == 0)
                return SQLITE_IOERR_READ;
            return Real(x)->pMethods->xRead(Real(x), p, n, o);
        };
        methods.xWrite = [](sqlite3_file* x, const void* p, int n, sqlite3_int64 o) {
            return Real(x)->pMethods->xWrite(Real(x), p, n, o);
        };
        methods.xTruncate = [](sqlite3_file* x, sqlite3_int64 size) {
            return Real(x)->pMethods->xTruncate(Real(x), size);
        };
        methods.xSync = [](sqlite3_file* x, int how) { return Real(x)->pMethods->xSync(Real(x), how); };
        methods.xFileSize = [](sqlite3_file* x, sqlite3_int64* size) {
            return Real(x)->pMethods->xFileSize(Real(x), size);
        };
        methods.xLock = [](sqlite3_file* x, int l) { return Real(x)->pMethods->xLock(Real(x), l); };
        methods.xUnlock = [](sqlite3_file* x, int l) { return Real(x)->pMethods->xUnlock(Real(x), l); };
        methods.xCheckReservedLock = [](sqlite3_file* x, int* r) {
            return Real(x)->pMethods->xCheckReservedLock(Real(x), r);
        };
        methods.xFileControl = [](sqlite3_file* x, int op, void* arg) {
            return Real(x)->pMethods->xFileControl(Real(x), op, arg);
        };
        methods.xSectorSize = [](sqlite3_file* x) { return Real(x)->pMethods->xSectorSize(Real(x)); };
        methods.xDeviceCharacteristics = [](sqlite3_file* x) {
            return Real(x)->pMethods->xDeviceCharacteristics(Real(x));
        };
        methods.xShmMap = [](sqlite3_file* x, int page, int size, int extend, void volatile** p) {
            return Real(x)->pMethods->xShmMap(Real(x), page, size, extend, p);
        };
        methods.xShmLock = [](sqlite3_file* x, int offset, int n, int how) {
            return Real(x)->pMethods->xShmLock(Real(x), offset, n, how);
        };
        methods.xShmBarrier = [](sqlite3_file* x) { Real(x)->pMethods->xShmBarrier(Real(x)); };
        methods.xShmUnmap = [](sqlite3_file* x, int del) {
            return Real(x)->pMethods->xShmUnmap(Real(x), del);
        };
        // No memory-mapped pages: every page goes through xRead.
        methods.iVersion = 2;
        methods.xFetch = nullptr;
        methods.xUnfetch = nullptr;
        f->base.pMethods = &methods;
        return rc;
    }

    static inline std::string s_Prefix;
    static inline int s_Left = -1;
    static inline sqlite3_vfs* s_Real = nullptr;
    static inline sqlite3_vfs s_Vfs{};
};

} // namespace

class LiveTableFixture : public EngineTest {
protected:
    // Another program writing the Jobs table, in SQL both storages take; $T is the table.
    void Office(std::string sql) {
        const std::string table = m_Driver == Driver::Desktop ? "records" : "\"Jobs\"";
        for (auto at = sql.find("$T"); at != std::string::npos; at = sql.find("$T"))
            sql.replace(at, 2, table);
        if (m_Driver == Driver::Desktop) {
            Raw(TablePath()).Exec(sql);
            return;
        }
        PgConnection office;
        ASSERT_EQ(office.Connect(ServerConnInfo()), esOk);
        const PgResult result = office.Exec(sql);
        ASSERT_TRUE(result.Ok()) << sql << ": " << result.Message();
    }

    void SetUp() override {
        EngineTest::SetUp();
        m_Standard = GetExpressionEvaluator();
        SetExpressionEvaluator(std::make_shared<ActiveFilterEvaluator>());
    }
    void TearDown() override {
        SetExpressionEvaluator(m_Standard);
        EngineTest::TearDown();
    }
    // The active-jobs filter on a cursor, said in SQL or not.
    hFilter FilterActive(hCursor cursor, bool inSql) {
        hFilter filter = 0;
        const std::vector<std::uint8_t> buffer = {static_cast<std::uint8_t>(inSql ? 1 : 0)};
        EXPECT_EQ(AddFilter(cursor, 0, buffer, filter), esOk);
        EXPECT_EQ(ActivateFilter(cursor, filter), esOk);
        return filter;
    }
    std::vector<std::uint8_t> Bookmark(hCursor cursor) {
        CursorProps props;
        EXPECT_EQ(GetCursorProps(cursor, props), esOk);
        std::vector<std::uint8_t> bookmark(props.bookmarkSize);
        EXPECT_EQ(GetBookmark(cursor, bookmark.data()), esOk);
        return bookmark;
    }

    std::shared_ptr<ExpressionEvaluator> m_Standard;
};

// What every driver does the same.
class LiveTableTest : public OnEachDriver<LiveTableFixture> {};
ON_BOTH_DRIVERS(LiveTableTest);

// What the desktop driver does with table files other programs write.
class LiveTableFileTest : public LiveTableFixture {};

TEST_P(LiveTableTest, TheCurrentRowIsTestedAgainstEveryFilterAtEveryRead) {
    for (const bool inSql : {true, false}) {
        SCOPED_TRACE(inSql ? "filter said in SQL" : "filter tested row by row");
        const hCursor cursor = Open("iDueDateA");
        AddJob(cursor, "Adams", 738001);
        AddJob(cursor, "Baker", 738002);
        AddJob(cursor, "Carter", 738003);
        FilterActive(cursor, inSql);
        const hCursor plain = Open("iDueDateA");
        auto record = NewRecord(cursor);
        ASSERT_TRUE(Seek(cursor, "Adams", record));
        const auto adams = Bookmark(cursor);
        ASSERT_TRUE(Seek(plain, "Adams", record));

        Office("UPDATE $T SET \"IsActive\" = FALSE WHERE \"Name\" = 'Adams'");
        EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esRecordDeleted);
        EXPECT_EQ(GetRecord(cursor, LockType::Write, record.data()), esRecordDeleted);
        bool locked = true;
        ASSERT_EQ(IsRecordLocked(cursor, locked), esOk);
        EXPECT_FALSE(locked);
        ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
        EXPECT_EQ(NameOf(cursor, record), "Baker");
        // Going back to the row by bookmark or from another cursor finds where it was, not the row.
        EXPECT_EQ(SetToBookmark(cursor, adams.data()), esNeighbourPositioned);
        EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esRecordDeleted);
        ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
        EXPECT_EQ(NameOf(cursor, record), "Baker");
        EXPECT_EQ(SetToCursor(cursor, plain), esRecordDeleted);
        EXPECT_EQ(ReadNames(cursor), (Names{"Baker", "Carter"}));

        // Back in the list: the same row, found again.
        Office("UPDATE $T SET \"IsActive\" = TRUE WHERE \"Name\" = 'Adams'");
        ASSERT_EQ(SetToBookmark(cursor, adams.data()), esOk);
        ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), esOk);
        EXPECT_EQ(NameOf(cursor, record), "Adams");
        ASSERT_EQ(SetToCursor(cursor, plain), esOk);
        ASSERT_EQ(CloseCursor(cursor), esOk);
        ASSERT_EQ(CloseCursor(plain), esOk);
        Office("DELETE FROM $T");
    }
}

TEST_P(LiveTableTest, CountsKeyedReadsMemosAndClonesAnswerFromTheFileAsItIsNow) {
    const hCursor cursor = Open("iName");
    AddJob(cursor, "Adams", 738001);
    AddJob(cursor, "Baker", 738002, false);
    const hCursor filtered = Open("iName");
    FilterActive(filtered, true);
    const hCursor byCallback = Open();
    hFilter callback = 0;
    ASSERT_EQ(AddFilterCallback(
                  byCallback, 1,
                  [](const RecordBuffer& row) {
                      Value v;
                      row.Get(fIsActive, v);
                      return v == Value{true};
                  },
                  callback),
              esOk);
    ASSERT_EQ(ActivateFilter(byCallback, callback), esOk);
    hCursor clone = 0;
    ASSERT_EQ(CloneCursor(cursor, true, clone), esOk);
    ASSERT_EQ(SwitchToIndex(clone, "iDueDateA"), esOk);
    const auto counts = [&] {
        std::vector<std::uint32_t> all;
        for (const hCursor c : {cursor, filtered, byCallback, clone}) {
            std::uint32_t n = 0;
            EXPECT_EQ(GetExactRecordCount(c, n), esOk);
            all.push_back(n);
            EXPECT_EQ(GetRecordCount(c, n), esOk);
            all.push_back(n);
        }
        return all;
    };
    EXPECT_EQ(counts(), (std::vector<std::uint32_t>{2, 2, 1, 2, 1, 2, 2, 2}));

    auto record = NewRecord(cursor);
    auto key = NewRecord(cursor);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Office("INSERT INTO $T (\"Name\", \"IsActive\", \"DueDate\", \"Address\") VALUES ('Evans" +
               std::to_string(round) + "', TRUE, 738100, 'first')");
        EXPECT_EQ(counts(), (std::vector<std::uint32_t>{3u + round, 3u + round, 2u + round, 3u + round,
                                                        2u + round, 3u + round, 3u + round, 3u + round}));
        // Keyed reads, on the cursor's own index and through the clone on another one.
        ASSERT_EQ(PutValue(cursor, fName, key.data(), "Evans" + std::to_string(round)), esOk);
        ASSERT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), esOk);
        Value address;
        ASSERT_EQ(GetValue(cursor, fAddress, record.data(), address), esOk);
        EXPECT_EQ(address, Value{std::string("first")});
        // A memo read asks the file too: the text another program wrote since the row was read.
        Office("UPDATE $T SET \"Address\" = 'second' WHERE \"Name\" = 'Evans" + std::to_string(round) + "'");
        ASSERT_EQ(GetValue(cursor, fAddress, record.data(), address), esOk);
        EXPECT_EQ(address, Value{std::string("second")});
        ASSERT_EQ(PutValue(clone, fDueDate, key.data(), DayNumber{738100}), esOk);
        ASSERT_EQ(GetRecordForKey(clone, 1, 0, key.data(), record.data()), esOk);
        EXPECT_EQ(NameOf(clone, record), "Evans" + std::to_string(round));
        Office("UPDATE $T SET \"DueDate\" = 738099 WHERE \"Name\" = 'Evans" + std::to_string(round) + "'");
        ASSERT_EQ(GetRecordForKey(clone, 1, 0, key.data(), record.data()), esRecordNotFound);
        ASSERT_EQ(PutValue(clone, fDueDate, key.data(), DayNumber{738099}), esOk);
        ASSERT_EQ(GetRecordForKey(clone, 1, 0, key.data(), record.data()), esOk);
        EXPECT_EQ(NameOf(clone, record), "Evans0");
    }
    Office("DELETE FROM $T WHERE \"Name\" LIKE 'Evans%'");
    EXPECT_EQ(counts(), (std::vector<std::uint32_t>{2, 2, 1, 2, 1, 2, 2, 2}));
}

TEST_F(LiveTableFileTest, AnExactCountIsTakenAgainAfterAnyCommitAndAnyFilterChange) {
    const hCursor cursor = Open("iDueDateA");
    AddJob(cursor, "Adams", 738001);
    AddJob(cursor, "Baker", 738002, false);
    AddJob(cursor, "Carter", 738003);
    const hFilter inSql = FilterActive(cursor, true);
    const auto count = [](hCursor c) {
        std::uint32_t n = 0;
        EXPECT_EQ(GetExactRecordCount(c, n), esOk);
        return n;
    };
    EXPECT_EQ(count(cursor), 2u);
    EXPECT_EQ(count(cursor), 2u);
    // Committed by another process, by another connection of this one, by another cursor and by
    // the cursor itself: each is seen by the next count.
    InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 1 WHERE Name = 'Baker'");
    EXPECT_EQ(count(cursor), 3u);
    InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 0 WHERE Name = 'Baker'");
    EXPECT_EQ(count(cursor), 2u);
    Raw(TablePath()).Exec("DELETE FROM records WHERE Name = 'Adams'");
    EXPECT_EQ(count(cursor), 1u);
    AddJob(Open(), "Davis", 738004);
    EXPECT_EQ(count(cursor), 2u);
    AddJob(cursor, "Evans", 738005);
    EXPECT_EQ(count(cursor), 3u);
    auto record = NewRecord(cursor);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    ASSERT_EQ(DeleteRecord(cursor), esOk);
    EXPECT_EQ(count(cursor), 2u);

    // Switched off, on, another added, dropped.
    ASSERT_EQ(DeactivateFilter(cursor, inSql), esOk);
    EXPECT_EQ(count(cursor), 3u);
    ASSERT_EQ(ActivateFilter(cursor, inSql), esOk);
    EXPECT_EQ(count(cursor), 2u);
    const hFilter byRow = FilterActive(cursor, false);
    ASSERT_EQ(DropFilter(cursor, inSql), esOk);
    EXPECT_EQ(count(cursor), 2u);
    ASSERT_EQ(DropFilter(cursor, byRow), esOk);
    EXPECT_EQ(count(cursor), 3u);

    // A row callback may answer differently without any commit: such a cursor counts every time.
    bool wanted = true;
    hFilter callback = 0;
    ASSERT_EQ(AddFilterCallback(
                  cursor, 1, [&wanted](const RecordBuffer&) { return wanted; }, callback),
              esOk);
    ASSERT_EQ(ActivateFilter(cursor, callback), esOk);
    EXPECT_EQ(count(cursor), 3u);
    wanted = false;
    EXPECT_EQ(count(cursor), 0u);
}

TEST_F(LiveTableFileTest, AReadGoingOnThroughTheRowsSeesWhatWasCommittedBetweenTwoOfItsCalls) {
    // Going forward then back, each step checked against a fresh cursor on the same position:
    // what any read from there gives at that moment.
    for (const bool inSql : {true, false}) {
        SCOPED_TRACE(inSql ? "filter said in SQL" : "filter tested row by row");
        const hCursor cursor = Open("iDueDateA");
        const char* const names[] = {"Adams", "Baker",  "Carter", "Davis",
                                     "Evans", "Fisher", "Grant",  "Hughes"};
        for (int i = 0; i < 8; ++i)
            AddJob(cursor, names[i], 738001 + i, i != 6);
        FilterActive(cursor, inSql);
        auto record = NewRecord(cursor);
        const auto next = [&](EngineStatus expected = esOk) {
            EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), expected);
            return expected == esOk ? NameOf(cursor, record) : std::string();
        };
        const auto prior = [&] {
            EXPECT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), esOk);
            return NameOf(cursor, record);
        };
        ASSERT_EQ(SetToBegin(cursor), esOk);
        EXPECT_EQ(next(), "Adams");
        EXPECT_EQ(next(), "Baker");
        // Ahead of the read: a row inserted, the next one deleted, one moved behind it, one no
        // longer passing the filter, one starting to pass it; behind it: a row moved ahead.
        InAnotherProcess(TablePath(),
                         "INSERT INTO records (Name, DueDate, IsActive) VALUES ('Bell', 738002, 1);"
                         "DELETE FROM records WHERE Name = 'Carter';"
                         "UPDATE records SET DueDate = 738000 WHERE Name = 'Davis';"
                         "UPDATE records SET IsActive = 0 WHERE Name = 'Evans';"
                         "UPDATE records SET IsActive = 1 WHERE Name = 'Grant';"
                         "UPDATE records SET DueDate = 738007 WHERE Name = 'Adams'");
        EXPECT_EQ(next(), "Bell");
        const auto bell = Bookmark(cursor);
        EXPECT_EQ(next(), "Fisher");
        // Unchanged between these calls: read on from where it was.
        EXPECT_EQ(next(), "Adams");
        // The current row read in between, and a bookmark gone back to, do not disturb it.
        ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), esOk);
        const auto here = Bookmark(cursor);
        ASSERT_EQ(SetToBookmark(cursor, here.data()), esOk);
        // Gone back to an earlier row: read on from there.
        ASSERT_EQ(SetToBookmark(cursor, bell.data()), esOk);
        EXPECT_EQ(next(), "Fisher");
        EXPECT_EQ(next(), "Adams");
        // Another connection of this process and another cursor commit.
        Raw(TablePath()).Exec("UPDATE records SET DueDate = 738010 WHERE Name = 'Grant'");
        EXPECT_EQ(next(), "Hughes");
        AddJob(Open(), "Irwin", 738009);
        EXPECT_EQ(next(), "Irwin");
        // The cursor's own writes: an insert (the cursor goes onto the new row) and a modify.
        AddJob(cursor, "Jones", 738011);
        EXPECT_EQ(prior(), "Grant");
        EXPECT_EQ(prior(), "Irwin");
        ASSERT_EQ(PutValue(cursor, fDueDate, record.data(), DayNumber{737990}), esOk);
        ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
        EXPECT_EQ(next(), "Davis");
        // Backwards from the end.
        ASSERT_EQ(SetToEnd(cursor), esOk);
        EXPECT_EQ(prior(), "Jones");
        EXPECT_EQ(prior(), "Grant");
        InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 0 WHERE Name = 'Adams'");
        EXPECT_EQ(prior(), "Hughes");
        EXPECT_EQ(prior(), "Fisher");
        // Another cursor's read in between.
        const hCursor other = Open("iDueDateA");
        EXPECT_EQ(prior(), "Bell");
        EXPECT_EQ(ReadNames(other).size(), 10u);
        EXPECT_EQ(prior(), "Baker");
        // Back to where Adams was, which no longer passes the filter.
        ASSERT_EQ(SetToBookmark(cursor, here.data()), esNeighbourPositioned);
        EXPECT_EQ(next(), "Hughes");
        EXPECT_EQ(next(), "Grant");
        EXPECT_EQ(next(), "Jones");
        next(esEOF);
        EXPECT_EQ(ReadNames(cursor),
                  (Names{"Irwin", "Davis", "Baker", "Bell", "Fisher", "Hughes", "Grant", "Jones"}));
        ASSERT_EQ(CloseCursor(cursor), esOk);
        ASSERT_EQ(CloseCursor(other), esOk);
        Raw(TablePath()).Exec("DELETE FROM records");
    }
}

TEST_F(LiveTableFileTest, RowIdsAreNeverGivenTwiceWithOrWithoutAnAutoincrementField) {
    TableSpec plainSpec = JobsSpec();
    plainSpec.name = "Plain";
    plainSpec.fields[0].subtype = FieldSubtype::None; // "Index" is a plain number: no autoincrement field
    plainSpec.indexes.clear();
    ASSERT_EQ(CreateTable(m_Db, plainSpec), esOk);
    // A file made before the row-id guard: the same file without it, its last rows deleted.
    ASSERT_EQ(CreateTable(m_Db,
                          [&] {
                              TableSpec old = plainSpec;
                              old.name = "Older";
                              return old;
                          }()),
              esOk);
    {
        Raw older(m_Dir + "/Older.DB");
        older.Exec("DROP TRIGGER yard_rowid_guard; DROP TABLE yard_sequence");
        older.Exec("INSERT INTO records (Name) VALUES ('one'), ('two'), ('three'), ('four')");
        older.Exec("DELETE FROM records WHERE rowid >= 3");
    }
    {
        Raw jobs(TablePath());
        jobs.Exec("INSERT INTO records (Name) VALUES ('gone')");
        jobs.Exec("DELETE FROM records");
    }
    for (const char* table : {"Jobs", "Plain", "Older"}) {
        SCOPED_TRACE(table);
        hCursor cursor = 0;
        ASSERT_EQ(OpenTable(m_Db, table, "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor), esOk);
        const std::string path = m_Dir + "/" + table + ".DB";
        Raw office(path);
        const std::int64_t before = office.Number("SELECT count(*) FROM records");
        // Jobs gave id 1 before; the older file gave 1 to 4, of which it remembers the 2 it holds.
        std::int64_t highest = std::string(table) == "Jobs" ? 1 : std::string(table) == "Older" ? 2 : 0;
        std::set<std::int64_t> given;
        for (int round = 0; round < 4; ++round) {
            // The engine inserts, another program inserts, and the last row goes each time.
            auto record = NewRecord(cursor);
            ASSERT_EQ(PutValue(cursor, fName, record.data(), "ours" + std::to_string(round)), esOk);
            ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
            std::int64_t id = 0;
            std::memcpy(&id, record.data(), sizeof id);
            EXPECT_GT(id, highest);
            EXPECT_TRUE(given.insert(id).second);
            EXPECT_EQ(office.Value("SELECT Name FROM records WHERE rowid = " + std::to_string(id)),
                      "ours" + std::to_string(round));
            highest = id;
            office.Exec("DELETE FROM records WHERE rowid = " + std::to_string(id));
            office.Exec("INSERT INTO records (Name) VALUES ('theirs')");
            const std::int64_t theirs = office.Number("SELECT rowid FROM records WHERE Name = 'theirs'");
            EXPECT_GT(theirs, highest);
            EXPECT_TRUE(given.insert(theirs).second);
            highest = theirs;
            office.Exec("DELETE FROM records WHERE rowid = " + std::to_string(theirs));
        }
        EXPECT_EQ(office.Number("SELECT count(*) FROM records"), before) << "every older row kept";
    }
    // An older file that may only be read still opens and reads as before.
    {
        TableSpec old = plainSpec;
        old.name = "Fixed";
        ASSERT_EQ(CreateTable(m_Db, old), esOk);
        Raw fixed(m_Dir + "/Fixed.DB");
        fixed.Exec("DROP TRIGGER yard_rowid_guard; DROP TABLE yard_sequence");
        fixed.Exec("INSERT INTO records (Name) VALUES ('kept')");
    }
    hCursor reader = 0;
    ASSERT_EQ(OpenTable(m_Db, "Fixed", "", "", OpenMode::ReadOnly, ShareMode::Shared, reader), esOk);
    EXPECT_EQ(ReadNames(reader), (Names{"kept"}));
}

TEST_F(LiveTableFileTest, ModifyWritesOnlyWhatTheCallerChangedAndLeavesForeignValuesAsStored) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738001);
    Raw office(TablePath());
    // Values of other types than their columns', as another program may store them.
    const std::vector<std::pair<std::string, std::string>> foreign = {
        {"Priority = 2.5", "real 2.5"},
        {"Priority = 'high'", "text 'high'"},
        {"DueDate = '2026-12-10'", "text '2026-12-10'"},
        {"DueDate = 739000.75", "real 739000.75"},
        {"IsActive = 'yes'", "text 'yes'"},
        {"Total = x'00ff'", "blob X'00FF'"},
        {"Name = 'A name much longer than its twenty characters'",
         "text 'A name much longer than its twenty characters'"},
    };
    for (const auto& [set, stored] : foreign) {
        SCOPED_TRACE(set);
        const std::string column = set.substr(0, set.find(' '));
        const std::string query =
            "SELECT typeof(" + column + ") || ' ' || quote(" + column + ") FROM records";
        office.Exec("UPDATE records SET " + set);
        auto record = NewRecord(cursor);
        ASSERT_EQ(SetToBegin(cursor), esOk);
        ASSERT_EQ(GetNextRecord(cursor, LockType::Write, record.data()), esOk);
        // Another program changes the row after our locked read, before we write.
        office.Exec("UPDATE records SET OrderNo = 'theirs'");
        const std::int64_t version = office.Number("PRAGMA data_version");
        ASSERT_EQ(ModifyRecord(cursor, record.data(), false), esOk) << "an unchanged rewrite";
        EXPECT_EQ(office.Number("PRAGMA data_version"), version) << "wrote something";
        EXPECT_EQ(office.Value(query), stored);
        ASSERT_EQ(PutValue(cursor, fDateOffSet, record.data(), 1.5), esOk);
        ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
        EXPECT_EQ(office.Value(query), stored);
        EXPECT_EQ(office.Value("SELECT OrderNo FROM records"), "theirs");
        EXPECT_EQ(office.Value("SELECT DateOffSet FROM records", true), "real:1.5");
        office.Exec("UPDATE records SET OrderNo = 'O-Adams', DateOffSet = NULL, " + column + " = NULL");
    }
}

TEST_F(LiveTableFileTest, AFailedModifySaysWhetherTheLockIsStillHeld) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738001);
    AddJob(cursor, "Baker", 738002);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    ASSERT_EQ(GetRecord(cursor, LockType::Write, record.data()), esOk);
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), 7), esOk);
    {
        // Another program holds a write transaction past the busy wait.
        Raw office(TablePath());
        office.Exec("BEGIN IMMEDIATE");
        EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esBusyTimeout);
        const auto entries = LastErrorEntries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().context, "The record lock is still held");
        office.Exec("ROLLBACK");
    }
    bool locked = false;
    ASSERT_EQ(IsRecordLocked(cursor, locked), esOk);
    EXPECT_TRUE(locked);
    const hCursor other = Open();
    auto theirs = NewRecord(other);
    ASSERT_TRUE(Seek(other, "Adams", theirs));
    EXPECT_EQ(GetRecord(other, LockType::Write, theirs.data()), esRecordLocked);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk); // tried again, it goes through
    ASSERT_EQ(IsRecordLocked(cursor, locked), esOk);
    EXPECT_FALSE(locked);
    EXPECT_EQ(ReleaseLock(cursor, false), esOk) << "a lock already let go of";

    // The row is deleted while we hold its lock: the lock goes with it, and cleaning up is harmless.
    ASSERT_TRUE(Seek(cursor, "Baker", record));
    ASSERT_EQ(GetRecord(cursor, LockType::Write, record.data()), esOk);
    Raw(TablePath()).Exec("DELETE FROM records WHERE Name = 'Baker'");
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), 8), esOk);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esRecordDeleted);
    ASSERT_EQ(IsRecordLocked(cursor, locked), esOk);
    EXPECT_FALSE(locked);
    EXPECT_EQ(ReleaseLock(cursor, false), esOk);
    EXPECT_EQ(ReleaseLock(other, false), esNotLocked) << "never held";
}

TEST_F(LiveTableFileTest, AReplacedTableFileIsOpenedAgainAndARemovedOneIsAnError) {
    const hCursor cursor = Open("iDueDateA");
    for (const char* name : {"Adams", "Baker", "Carter", "Davis"})
        AddJob(cursor, name, 738000);
    hCursor clone = 0;
    ASSERT_EQ(CloneCursor(cursor, true, clone), esOk);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Baker", record));
    // The backup: a whole copy, changed, then renamed over the table while the cursor is open.
    const std::string copy = m_Dir + "/Jobs.copy";
    {
        Raw office(TablePath());
        office.Exec("VACUUM INTO '" + copy + "'");
    }
    {
        Raw backup(copy);
        backup.Exec("DELETE FROM records WHERE Name IN ('Adams', 'Davis')");
        backup.Exec("UPDATE records SET Name = 'Baxter' WHERE Name = 'Baker'");
    }
    // Writes after the copy sit in the old file's log.
    AddJob(Open(), "Evans", 738000);
    std::filesystem::rename(copy, TablePath());
    ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Baxter");
    EXPECT_EQ(ReadNames(cursor), (Names{"Baxter", "Carter"}));
    std::uint32_t count = 0;
    ASSERT_EQ(GetRecordCount(clone, count), esOk);
    EXPECT_EQ(count, 2u);
    // Written into the new file, with an id the old one never gave.
    AddJob(cursor, "Fisher", 738000);
    EXPECT_EQ(Raw(TablePath()).Value("SELECT group_concat(Name) FROM records"), "Baxter,Carter,Fisher");

    // Removed: every read fails until the file is back.
    std::filesystem::rename(TablePath(), copy);
    EXPECT_EQ(GetRecordCount(cursor, count), esTableNotFound);
    EXPECT_EQ(ForceReread(clone), esTableNotFound);
    EXPECT_EQ(SetToBegin(cursor), esOk);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esTableNotFound);
    std::filesystem::rename(copy, TablePath());
    EXPECT_EQ(ReadNames(cursor), (Names{"Baxter", "Carter", "Fisher"}));
    ASSERT_EQ(ForceReread(clone), esOk);

    // A file of another structure under the name: the cursor cannot go on with it.
    TableSpec other = JobsSpec();
    other.name = "Other";
    other.fields.pop_back();
    ASSERT_EQ(CreateTable(m_Db, other), esOk);
    std::filesystem::rename(m_Dir + "/Other.DB", TablePath());
    EXPECT_EQ(GetRecordCount(cursor, count), esTableChanged);
    EXPECT_EQ(GetRecordCount(clone, count), esTableChanged);
    EXPECT_EQ(CloseCursor(cursor), esOk);
    EXPECT_EQ(ReadNames(Open()), (Names{}));
}

// Many jobs of which few are active, due dates repeating (ties go by row id) and some blank.
class ManyJobsTest : public LiveTableFixture {
protected:
    void AddJobs(int count, int activeEvery) {
        Raw office(TablePath());
        office.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    std::to_string(count) +
                    ") INSERT INTO records (Name, DueDate, IsActive) SELECT 'J' || i, CASE WHEN i % 7 = 0 "
                    "THEN NULL ELSE 738000 + (i * 37) % 50 END, i % " +
                    std::to_string(activeEvery) + " = 3 % " + std::to_string(activeEvery) + " FROM n");
    }
    // The names SQLite itself gives for the rows passing 'where' (in SQL) in 'order', all of them
    // or those after the row with the name.
    Names Model(const std::string& where, const std::string& order = "coalesce(DueDate, -1), rowid",
                const std::string& after = "") {
        std::string sql = "SELECT Name FROM records WHERE (" + where + ")";
        if (!after.empty())
            sql += " AND (" + order + ") > (SELECT " + order + " FROM records WHERE Name = '" + after + "')";
        const std::string all =
            Raw(TablePath())
                .Value("SELECT coalesce(group_concat(Name), '') FROM (" + sql + " ORDER BY " + order + ")");
        Names names;
        for (std::size_t at = 0; at < all.size();) {
            const std::size_t comma = std::min(all.find(',', at), all.size());
            names.push_back(all.substr(at, comma - at));
            at = comma + 1;
        }
        return names;
    }
    // The names the cursor gives reading on from where it is to the end (or the beginning).
    Names ReadOnNames(hCursor cursor, bool prior = false, EngineStatus* last = nullptr) {
        Names names;
        auto record = NewRecord(cursor);
        EngineStatus status = esOk;
        while ((status = prior ? GetPriorRecord(cursor, LockType::None, record.data())
                               : GetNextRecord(cursor, LockType::None, record.data())) == esOk)
            names.push_back(NameOf(cursor, record));
        if (last)
            *last = status;
        return names;
    }
    std::uint32_t Count(hCursor cursor) {
        std::uint32_t n = 0;
        EXPECT_EQ(GetExactRecordCount(cursor, n), esOk);
        return n;
    }
};

TEST_F(ManyJobsTest, AViewInIndexOrderFollowsEveryKindOfChangeAmongManyRowsFewPassing) {
    AddJobs(600, 40);
    const hCursor cursor = Open("iDueDateA");
    const hFilter active = FilterActive(cursor, true);
    const std::string passing = "IsActive = 1";
    EXPECT_EQ(ReadNames(cursor), Model(passing));
    EXPECT_EQ(Count(cursor), Model(passing).size());

    // Read part way, then another process changes rows ahead, behind and at the next row.
    ASSERT_EQ(SetToBegin(cursor), esOk);
    auto record = NewRecord(cursor);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    const std::string here = NameOf(cursor, record);
    const Names ahead = Model(passing, "coalesce(DueDate, -1), rowid", here);
    ASSERT_GE(ahead.size(), 3u);
    InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 0 WHERE Name = '" + ahead[0] +
                                      "'; UPDATE records SET IsActive = 1 WHERE Name IN ('J5', 'J590', 'J7');"
                                      "UPDATE records SET DueDate = 737000 WHERE Name = '" +
                                      ahead[2] + "'");
    EXPECT_EQ(ReadOnNames(cursor), Model(passing, "coalesce(DueDate, -1), rowid", here));
    // Written through the cursor's own connection, by another connection of this process.
    AddJob(cursor, "Early", 737500);
    EXPECT_EQ(ReadNames(cursor), Model(passing));
    Raw(TablePath()).Exec("UPDATE records SET DueDate = NULL WHERE Name = 'Early'");
    EXPECT_EQ(ReadNames(cursor), Model(passing));
    EXPECT_EQ(Count(cursor), Model(passing).size());

    // The filter off and on again.
    ASSERT_EQ(DeactivateFilter(cursor, active), esOk);
    EXPECT_EQ(ReadNames(cursor), Model("1"));
    EXPECT_EQ(Count(cursor), 601u);
    ASSERT_EQ(ActivateFilter(cursor, active), esOk);
    EXPECT_EQ(Count(cursor), Model(passing).size());

    // Cracks: a row no longer passing, gone back to by its bookmark, read on from either way; on
    // an index of texts compared without regard to case as well.
    for (const char* index : {"iDueDateA", "iNameCI"}) {
        SCOPED_TRACE(index);
        const std::string order =
            index[1] == 'D' ? "coalesce(DueDate, -1), rowid" : "Name COLLATE NOCASE, rowid";
        ASSERT_EQ(SwitchToIndex(cursor, index), esOk);
        const Names rows = Model(passing, order);
        ASSERT_GE(rows.size(), 5u);
        ASSERT_TRUE(Seek(cursor, rows[3], record));
        const auto mark = Bookmark(cursor);
        InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 0 WHERE Name = '" + rows[3] + "'");
        ASSERT_EQ(SetToBookmark(cursor, mark.data()), esNeighbourPositioned);
        EXPECT_EQ(ReadOnNames(cursor), Model(passing, order, rows[3]));
        ASSERT_EQ(SetToBookmark(cursor, mark.data()), esNeighbourPositioned);
        const Names back = ReadOnNames(cursor, true);
        EXPECT_EQ(back, (Names{rows[2], rows[1], rows[0]}));
        InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 1 WHERE Name = '" + rows[3] + "'");
    }
    ASSERT_EQ(SwitchToIndex(cursor, "iDueDateA"), esOk);

    // A backup put in place of the file, with other rows active.
    const std::string copy = m_Dir + "/Jobs.copy";
    Raw(TablePath()).Exec("VACUUM INTO '" + copy + "'");
    Raw(copy).Exec("UPDATE records SET IsActive = NOT IsActive WHERE rowid % 50 = 1");
    std::filesystem::rename(copy, TablePath());
    // Read by the cursor before any other connection opens the new file (which would take the
    // old file's log, found by name, for its own).
    const Names shown = ReadNames(cursor);
    EXPECT_EQ(shown, Model(passing));
    EXPECT_EQ(Count(cursor), Model(passing).size());
}

TEST_F(ManyJobsTest, BeyondWhatTheOrderListHoldsCountsAndReadsStillComeWhole) {
    AddJobs(5000, 1);
    const hCursor cursor = Open("iDueDateA");
    FilterActive(cursor, true);
    AddJob(Open(), "Blank", 0);
    const Names all = Model("IsActive = 1");
    EXPECT_EQ(Count(cursor), 5001u);
    EXPECT_EQ(ReadNames(cursor), all);
    InAnotherProcess(TablePath(), "UPDATE records SET IsActive = 0 WHERE rowid > 1000");
    EXPECT_EQ(Count(cursor), 1000u);
    EXPECT_EQ(ReadNames(cursor), Model("IsActive = 1"));
}

TEST_F(ManyJobsTest, AStorageFailureWhileTheOrderListIsTakenLeavesNoHalfListBehind) {
    FailingReads reads(TablePath());
    AddJobs(2000, 9);
    const Names expected = Model("IsActive = 1");
    int k = 1;
    for (;; ++k) {
        SCOPED_TRACE("read " + std::to_string(k) + " fails");
        const hCursor cursor = Open("iDueDateA");
        FilterActive(cursor, true);
        FailingReads::Arm(k);
        std::uint32_t n = 0;
        const EngineStatus counted = GetExactRecordCount(cursor, n);
        ASSERT_EQ(SetToBegin(cursor), esOk);
        EngineStatus last = esOk;
        const Names names = ReadOnNames(cursor, false, &last);
        const bool struck = FailingReads::Struck();
        FailingReads::Disarm();
        // Under the failure each answer is a failure or right; afterwards all of them are right.
        if (counted == esOk) {
            EXPECT_EQ(n, expected.size());
        }
        ASSERT_LE(names.size(), expected.size());
        if (names.size() < expected.size()) {
            EXPECT_NE(last, esEOF) << "a failed read said the view ended";
        }
        EXPECT_EQ(names, Names(expected.begin(), expected.begin() + static_cast<long>(names.size())));
        EXPECT_EQ(Count(cursor), expected.size());
        EXPECT_EQ(ReadNames(cursor), expected);
        ASSERT_EQ(CloseCursor(cursor), esOk);
        if (!struck)
            break;
    }
    EXPECT_GT(k, 5);
}

} // namespace ws::engine::test
