// The board while the storage under it fails for real: another program holding a write
// transaction open, a table file replaced, removed or made unreadable, the database directory
// gone or shut, the disk full. Each time a failing tick says so in one box, holds no row lock,
// changes no row and is followed by the next tick; once the fault is gone, the first tick shows
// exactly what the model computes from the files, with the office's latest change.

#include "app/BoardComparison.h"
#include "app/BoardFixture.h"
#include "app/BoardModel.h"
#include "app/TableFiles.h"
#include "base/DateTime.h"
#include "support/TempDirectory.h"
#include "ui/Timer.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace ws::test {
namespace {

constexpr const char* kTables[] = {"OrderHead.DB", "Jewish.DB", "RNR.DB", "Options.DB"};

// Runs SQL on a table file as another program would.
void OfficeSql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// A change to one row of each table that the board shows, different each time.
std::string ChangeOf(const std::string& table, const std::string& mark) {
    if (table == "OrderHead.DB")
        return "UPDATE records SET Name = 'Name " + mark + "' WHERE OrderNo = 'J1'";
    if (table == "Jewish.DB")
        return "UPDATE records SET Stone = 'Stone " + mark + "' WHERE OrderNo = 'J2'";
    if (table == "RNR.DB")
        return "UPDATE records SET CurrentLocation = 'Bay " + mark + "' WHERE OrderNo = 'R1'";
    return "UPDATE records SET OptionValue = '" + std::string(mark.size() % 2 ? "clAqua" : "clMaroon") +
           "' WHERE OptionName = 'Band 1'";
}

// A disk that is full for the files of one table: every write to them fails as the system's
// "no space left" does, through SQLite's own file layer, while the rest of the process writes
// as usual. Installed as the default file layer for as long as it lives.
class FullDisk {
public:
    explicit FullDisk(std::string prefix) {
        s_Prefix = std::move(prefix);
        s_Writes = 0;
        s_Full = true;
        s_Real = sqlite3_vfs_find(nullptr);
        s_Vfs = *s_Real;
        s_Vfs.zName = "full-disk";
        s_Vfs.szOsFile = static_cast<int>(sizeof(File)) + s_Real->szOsFile;
        s_Vfs.xOpen = &Open;
        sqlite3_vfs_register(&s_Vfs, 1);
    }
    // Files opened meanwhile keep their methods: from now on they write again.
    ~FullDisk() {
        s_Full = false;
        sqlite3_vfs_register(s_Real, 1);
        sqlite3_vfs_unregister(&s_Vfs);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Writes that were refused.
    static int Refused() { return s_Writes; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
        bool full;
    };
    static sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
        auto* f = reinterpret_cast<File*>(file);
        f->real = reinterpret_cast<sqlite3_file*>(f + 1);
        f->full = name != nullptr && std::strncmp(name, s_Prefix.c_str(), s_Prefix.size()) == 0;
        const int rc = s_Real->xOpen(s_Real, name, f->real, flags, outFlags);
        if (f->real->pMethods == nullptr) {
            f->base.pMethods = nullptr;
            return rc;
        }
        Methods() = *f->real->pMethods;
        Methods().xClose = [](sqlite3_file* x) { return Real(x)->pMethods->xClose(Real(x)); };
        Methods().xRead = [](sqlite3_file* x, void* p, int n, sqlite3_int64 o) {
            return Real(x)->pMethods->xRead(Real(x), p, n, o);
        };
        Methods().xWrite = [](sqlite3_file* x, const void* p, int n, sqlite3_int64 o) {
            if (s_Full && reinterpret_cast<File*>(x)->full) {
                ++s_Writes;
                return SQLITE_FULL;
            }
            return Real(x)->pMethods->xWrite(Real(x), p, n, o);
        };
        Methods().xTruncate = [](sqlite3_file* x, sqlite3_int64 size) {
            return Real(x)->pMethods->xTruncate(Real(x), size);
        };
        Methods().xSync = [](sqlite3_file* x, int how) { return Real(x)->pMethods->xSync(Real(x), how); };
        Methods().xFileSize = [](sqlite3_file* x, sqlite3_int64* size) {
            return Real(x)->pMethods->xFileSize(Real(x), size);
        };
        Methods().xLock = [](sqlite3_file* x, int l) { return Real(x)->pMethods->xLock(Real(x), l); };
        Methods().xUnlock = [](sqlite3_file* x, int l) { return Real(x)->pMethods->xUnlock(Real(x), l); };
        Methods().xCheckReservedLock = [](sqlite3_file* x, int* r) {
            return Real(x)->pMethods->xCheckReservedLock(Real(x), r);
        };
        Methods().xFileControl = [](sqlite3_file* x, int op, void* arg) {
            return Real(x)->pMethods->xFileControl(Real(x), op, arg);
        };
        Methods().xSectorSize = [](sqlite3_file* x) { return Real(x)->pMethods->xSectorSize(Real(x)); };
        Methods().xDeviceCharacteristics = [](sqlite3_file* x) {
            return Real(x)->pMethods->xDeviceCharacteristics(Real(x));
        };
        Methods().xShmMap = [](sqlite3_file* x, int page, int size, int extend, void volatile** p) {
            return Real(x)->pMethods->xShmMap(Real(x), page, size, extend, p);
        };
        Methods().xShmLock = [](sqlite3_file* x, int offset, int n, int how) {
            return Real(x)->pMethods->xShmLock(Real(x), offset, n, how);
        };
        Methods().xShmBarrier = [](sqlite3_file* x) { Real(x)->pMethods->xShmBarrier(Real(x)); };
        Methods().xShmUnmap = [](sqlite3_file* x, int del) {
            return Real(x)->pMethods->xShmUnmap(Real(x), del);
        };
        // No memory-mapped pages: every page goes through xRead / xWrite.
        Methods().iVersion = 2;
        Methods().xFetch = nullptr;
        Methods().xUnfetch = nullptr;
        f->base.pMethods = &Methods();
        return rc;
    }
    static sqlite3_io_methods& Methods() {
        static sqlite3_io_methods methods{};
        return methods;
    }

    static inline std::string s_Prefix;
    static inline int s_Writes = 0;
    static inline bool s_Full = false;
    static inline sqlite3_vfs* s_Real = nullptr;
    static inline sqlite3_vfs s_Vfs{};
};

class BoardStorageFaultTest : public BoardFixture {
protected:
    // The job database every test starts from, made by jobsdb once and copied for each test.
    static inline std::unique_ptr<TempDirectory> s_Template;
    static void TearDownTestSuite() { s_Template.reset(); }

    void SetUp() override {
        BoardFixture::SetUp();
        if (!s_Template) {
            PutSmallOffice();
            s_Template = std::make_unique<TempDirectory>("ws-storage-template");
            for (const char* table : kTables)
                std::filesystem::copy_file(m_Dir + "/" + table, s_Template->Path() + "/" + table);
        } else {
            for (const char* table : kTables)
                std::filesystem::copy_file(s_Template->Path() + "/" + table, m_Dir + "/" + table,
                                           std::filesystem::copy_options::overwrite_existing);
        }
        m_Model = std::make_unique<model::BoardModel>(m_Dir);
        Start();
        EXPECT_FALSE(m_Model->StartProgram().has_value());
        ExpectBoardAsModel("at start");
        EXPECT_TRUE(boxes.empty());
    }

    // A tick of the board, and how long it took on the wall clock.
    std::chrono::milliseconds Tick() {
        const auto start = std::chrono::steady_clock::now();
        system->AdvanceTime(5000);
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     start);
    }
    // A tick the model follows: the files are readable again.
    void ModelTick() {
        Tick();
        m_Model->Tick();
    }

    void ExpectBoardAsModel(const std::string& when) {
        ASSERT_NE(ActiveJobsForm, nullptr) << when;
        const BoardDifferences differences =
            CompareBoard(*ActiveJobsForm, m_Model->Compute(DateTimeToMSecs(system->Now())));
        EXPECT_TRUE(differences.Empty()) << when << ":\n" << differences.Text();
    }
    void ExpectNoRowLockHeld(const std::string& dir) {
        for (const char* table : kTables)
            EXPECT_FALSE(AnyRowLockHeld(dir + "/" + table)) << table;
    }

    // Ticks while a fault lasts: each says so in exactly 'boxesEach' boxes (0 or 1), holds no row
    // lock in 'dir' and leaves the timer running.
    void TicksDuringFault(int ticks, std::size_t boxesEach, const std::string& dir) {
        for (int t = 0; t < ticks; ++t) {
            SCOPED_TRACE("tick " + std::to_string(t + 1) + " of the fault");
            const std::size_t reported = boxes.size();
            Tick();
            EXPECT_EQ(boxes.size(), reported + boxesEach);
            ExpectNoRowLockHeld(dir);
            ASSERT_NE(ActiveJobsForm, nullptr);
            EXPECT_TRUE(ActiveJobsForm->Timer1()->Enabled());
        }
    }

    // Once the fault is gone: no row changed, and after an office change the next tick shows the
    // files without a further box.
    void ExpectRecovery(const std::string& before, const std::string& mark) {
        EXPECT_EQ(AllRows(m_Dir), before) << "a row changed";
        for (const char* table : kTables)
            OfficeSql(m_Dir + "/" + table, ChangeOf(table, mark));
        const std::size_t reported = boxes.size();
        ModelTick();
        ExpectBoardAsModel("the first tick after the fault");
        EXPECT_EQ(boxes.size(), reported) << (boxes.empty() ? "" : boxes.back().text);
        ExpectNoRowLockHeld(m_Dir);
    }

    std::string LastBox() const { return boxes.empty() ? std::string() : boxes.back().text; }

    std::unique_ptr<model::BoardModel> m_Model;
};

// In write-ahead mode a writer does not hold up readers: the board reads on without waiting out
// the other program, shows what is committed and not the pending change, and needs no box.
TEST_F(BoardStorageFaultTest, AWriteTransactionHeldOnAnyTableNeitherStallsNorChangesWhatTheBoardShows) {
    int round = 0;
    for (const char* table : kTables) {
        SCOPED_TRACE(table);
        const std::string before = AllRows(m_Dir);
        {
            WriteTransactionHolder writer(m_Dir + "/" + table,
                                          ChangeOf(table, "pending " + std::to_string(round)));
            ASSERT_TRUE(writer.Held());
            for (int t = 0; t < 2; ++t) {
                const std::size_t reported = boxes.size();
                const auto took = Tick();
                m_Model->Tick();
                // Waiting for the writer would take the engine's whole busy wait of ten seconds.
                EXPECT_LT(took.count(), 5000) << "the tick waited for the writer";
                EXPECT_EQ(boxes.size(), reported) << LastBox();
                ExpectBoardAsModel("while the write is pending");
                ExpectNoRowLockHeld(m_Dir);
            }
        }
        ExpectRecovery(before, "after " + std::to_string(round++));
    }
}

// A table file replaced under its name (as a restore from a backup does) is read from the next
// tick on, each view on it re-opened onto the new file, without a box.
TEST_F(BoardStorageFaultTest, ATableFileReplacedWhileTheBoardRunsIsShownFromTheNextTick) {
    int round = 0;
    for (const char* table : kTables) {
        SCOPED_TRACE(table);
        const std::string file = m_Dir + "/" + table;
        const std::string copy = file + ".restore";
        OfficeSql(file, "VACUUM INTO '" + copy + "'");
        OfficeSql(copy, ChangeOf(table, "restored " + std::to_string(round++)));
        ASSERT_EQ(std::rename(copy.c_str(), file.c_str()), 0);
        const std::size_t reported = boxes.size();
        ModelTick();
        EXPECT_EQ(boxes.size(), reported) << LastBox();
        ExpectBoardAsModel("the tick after the replacement");
        ExpectNoRowLockHeld(m_Dir);
        ExpectRecovery(AllRows(m_Dir), "later " + std::to_string(round));
    }
}

// A table file that is gone: each tick says so once, naming the table, until it is back.
TEST_F(BoardStorageFaultTest, ATableFileRemovedIsReportedEachTickUntilItIsBack) {
    int round = 0;
    for (const char* table : kTables) {
        SCOPED_TRACE(table);
        const std::string before = AllRows(m_Dir);
        const std::string file = m_Dir + "/" + table;
        const std::string away = m_Dir + "/away";
        ASSERT_EQ(std::rename(file.c_str(), away.c_str()), 0);
        TicksDuringFault(2, 1, m_Dir);
        EXPECT_NE(LastBox().find("Table does not exist"), std::string::npos) << LastBox();
        EXPECT_NE(LastBox().find(table), std::string::npos) << LastBox();
        ASSERT_EQ(std::rename(away.c_str(), file.c_str()), 0);
        ExpectRecovery(before, std::to_string(round++));
    }
}

// A table file the board may not read put in place of the one it reads (permissions do not shut
// a file the board has open already): a copy with mode 000 where that stops reads; as root,
// where it does not, a file that holds no table.
TEST_F(BoardStorageFaultTest, AnUnreadableTableFileIsReportedEachTickUntilItIsReadableAgain) {
    const bool permissionsStopReads = ::geteuid() != 0;
    int round = 0;
    for (const char* table : kTables) {
        SCOPED_TRACE(table);
        const std::string before = AllRows(m_Dir);
        const std::string file = m_Dir + "/" + table;
        const std::string kept = m_Dir + "/kept";
        const std::string unreadable = m_Dir + "/unreadable";
        if (permissionsStopReads) {
            OfficeSql(file, "VACUUM INTO '" + unreadable + "'");
            ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
        } else {
            std::ofstream(unreadable) << std::string(4096, 'x');
        }
        ASSERT_EQ(std::rename(file.c_str(), kept.c_str()), 0);
        ASSERT_EQ(std::rename(unreadable.c_str(), file.c_str()), 0);
        TicksDuringFault(2, 1, m_Dir);
        EXPECT_NE(LastBox().find(table), std::string::npos) << LastBox();
        EXPECT_EQ(LastBox().find("Table does not exist"), std::string::npos) << LastBox();
        EXPECT_NE(LastBox().find(permissionsStopReads ? "No permission" : "not a table"), std::string::npos)
            << LastBox();
        ASSERT_EQ(std::remove(file.c_str()), 0);
        ASSERT_EQ(std::rename(kept.c_str(), file.c_str()), 0);
        ExpectRecovery(before, std::to_string(round++));
    }
}

// The database directory renamed away (a share unmounted, a folder moved), then back.
TEST_F(BoardStorageFaultTest, TheDirectoryRenamedAwayIsReportedEachTickUntilItIsBack) {
    const std::string before = AllRows(m_Dir);
    const std::string away = m_Dir + ".away";
    ASSERT_EQ(std::rename(m_Dir.c_str(), away.c_str()), 0);
    TicksDuringFault(2, 1, away);
    EXPECT_NE(LastBox().find("Table does not exist"), std::string::npos) << LastBox();
    ASSERT_EQ(std::rename(away.c_str(), m_Dir.c_str()), 0);
    ExpectRecovery(before, "back");
}

// The directory's permissions taken away: the board says it may not reach the tables, not that
// they do not exist.
TEST_F(BoardStorageFaultTest, TheDirectoryShutIsReportedAsSuchEachTickUntilItIsOpenAgain) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which permissions do not stop";
    const std::string before = AllRows(m_Dir);
    ASSERT_EQ(::chmod(m_Dir.c_str(), 0), 0);
    const std::size_t reported = boxes.size();
    for (int t = 0; t < 2; ++t) {
        const std::size_t at = boxes.size();
        Tick();
        EXPECT_EQ(boxes.size(), at + 1);
        ASSERT_NE(ActiveJobsForm, nullptr);
        EXPECT_TRUE(ActiveJobsForm->Timer1()->Enabled());
    }
    ASSERT_EQ(::chmod(m_Dir.c_str(), 0755), 0);
    ASSERT_EQ(boxes.size(), reported + 2);
    EXPECT_EQ(LastBox().find("Table does not exist"), std::string::npos) << LastBox();
    EXPECT_NE(LastBox().find("ermission"), std::string::npos) << LastBox();
    ExpectNoRowLockHeld(m_Dir);
    ExpectRecovery(before, "open");
}

// A full disk under Jewish.DB while the board rewrites its rows: the rewrite of an unchanged row
// writes nothing, so the board goes on without a box, and the file is as it was. The board
// meets the full disk through a copy of the file put in place of it, so that it opens it anew.
TEST_F(BoardStorageFaultTest, AFullDiskUnderJewishTableLeavesTheBoardShowingItsRows) {
    const std::string file = m_Dir + "/Jewish.DB";
    const std::string copy = m_Dir + "/copy.tmp";
    OfficeSql(file, "VACUUM INTO '" + copy + "'");
    OfficeSql(copy, "PRAGMA journal_mode=WAL");
    std::string before;
    {
        FullDisk full(file);
        ASSERT_EQ(std::rename(copy.c_str(), file.c_str()), 0);
        before = AllRows(m_Dir);
        // The office program meets the full disk too: its change is refused.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, ChangeOf("Jewish.DB", "full").c_str(), nullptr, nullptr, nullptr) & 0xFF,
                  SQLITE_FULL);
        sqlite3_close(db);
        const int refused = FullDisk::Refused();
        EXPECT_GT(refused, 0);
        for (int t = 0; t < 2; ++t) {
            const std::size_t reported = boxes.size();
            ModelTick();
            EXPECT_EQ(boxes.size(), reported) << LastBox();
            ExpectBoardAsModel("on the full disk");
            ExpectNoRowLockHeld(m_Dir);
        }
        EXPECT_EQ(FullDisk::Refused(), refused) << "the board wrote to Jewish.DB";
    }
    ExpectRecovery(before, "space again");
}

} // namespace
} // namespace ws::test
