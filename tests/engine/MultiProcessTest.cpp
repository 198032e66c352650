#include "EngineTestSupport.h"
#include "engine/PgConnection.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ws::engine::test {

namespace {

// A helper process; its standard output is readable through Output().
class Helper {
public:
    explicit Helper(const std::vector<std::string>& args) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> all = {ENGINE_HELPER_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&m_Pid, ENGINE_HELPER_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_Out = ::fdopen(fds[0], "r");
    }
    ~Helper() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            Wait();
        }
        if (m_Out)
            std::fclose(m_Out);
    }
    std::string ReadLine() {
        char line[256] = {};
        return std::fgets(line, sizeof line, m_Out) ? std::string(line) : std::string();
    }
    int Wait() {
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // True once the process has ended; its exit code is then in ExitCode().
    bool Done() {
        int status = 0;
        if (m_Pid <= 0 || ::waitpid(m_Pid, &status, WNOHANG) != m_Pid)
            return m_Pid <= 0;
        m_Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_Pid = 0;
        return true;
    }
    int ExitCode() const { return m_Exit; }
    void Kill() {
        ::kill(m_Pid, SIGKILL);
        Wait();
    }

private:
    pid_t m_Pid = 0;
    int m_Exit = -1;
    FILE* m_Out = nullptr;
};

int RunHelper(const std::vector<std::string>& args) {
    return Helper(args).Wait();
}

} // namespace

class MultiProcessTest : public OnEachDriver<EngineTest> {};
ON_BOTH_DRIVERS(MultiProcessTest);

TEST_P(MultiProcessTest, OtherProcessChangesAppearAtTheVeryNextCall) {
    const hCursor cursor = Open("iDueDateA");
    AddJob(cursor, "Adams", 738005);
    AddJob(cursor, "Baker", 738010);
    AddJob(cursor, "Carter", 738020);
    EXPECT_EQ(ReadNames(cursor), (Names{"Adams", "Baker", "Carter"}));
    hCursor clone = 0;
    ASSERT_EQ(CloneCursor(cursor, true, clone), esOk);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Baker", record));
    std::uint32_t count = 0;
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 3u);

    ASSERT_EQ(RunHelper({DatabaseForOthers(), "insert", "Early", "738000"}), 0);
    ASSERT_EQ(RunHelper({DatabaseForOthers(), "insert", "Late", "739000"}), 0);
    ASSERT_EQ(RunHelper({DatabaseForOthers(), "rename", "Carter", "Cooper"}), 0);
    ASSERT_EQ(RunHelper({DatabaseForOthers(), "delete", "Baker"}), 0);

    // No re-read asked for: every call answers from the file as it is now.
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esRecordDeleted);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Cooper");
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 4u);
    ASSERT_EQ(GetRecordCount(clone, count), esOk);
    EXPECT_EQ(count, 4u);
    auto key = NewRecord(clone);
    ASSERT_EQ(PutValue(clone, fDueDate, key.data(), DayNumber{739000}), esOk);
    ASSERT_EQ(GetRecordForKey(clone, 1, 0, key.data(), record.data()), esOk);
    EXPECT_EQ(NameOf(clone, record), "Late");
    EXPECT_EQ(ReadNames(cursor), (Names{"Early", "Adams", "Cooper", "Late"}));
}

TEST_P(MultiProcessTest, LockedReadSeesTheLatestRowSoWritingBackLosesNothing) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738005);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    ASSERT_EQ(RunHelper({DatabaseForOthers(), "rename", "Adams", "Abbot"}), 0);
    ASSERT_EQ(GetRecord(cursor, LockType::Write, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Abbot");
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), 9), esOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
    EXPECT_EQ(ReadNames(Open()), (Names{"Abbot"}));
}

TEST_P(MultiProcessTest, LockHeldElsewhereFailsAtOnceAndDiesWithItsProcess) {
    const hCursor cursor = Open();
    const std::int32_t adams = AddJob(cursor, "Adams", 738005);
    AddJob(cursor, "Baker", 738010);
    Helper holder({DatabaseForOthers(), "lock", "Adams"});
    ASSERT_EQ(holder.ReadLine(), "locked\n");

    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetRecord(cursor, LockType::Write, record.data()), esRecordLocked);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esRecordLocked);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    ASSERT_TRUE(Seek(cursor, "Baker", record));
    EXPECT_EQ(GetRecord(cursor, LockType::Write, record.data()), esOk); // other rows are free

    holder.Kill();
    if (m_Driver == Driver::Server) {
        // The server ends the dead process's session, and so its locks, once its backend has seen
        // the connection close: a moment after the process is gone, not at once.
        PgConnection admin;
        ASSERT_EQ(admin.Connect(ServerConnInfo()), esOk);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (admin.Exec("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND objid = " +
                          std::to_string(adams))
                       .Text(0, 0) != "0" &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    EXPECT_EQ(GetRecord(cursor, LockType::Write, record.data()), esOk);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
}

TEST_P(MultiProcessTest, ReaderNeverSeesBusyWhileAnotherProcessWrites) {
    const hCursor cursor = Open("iDueDateA");
    for (int i = 0; i < 50; ++i)
        AddJob(cursor, "Base" + std::to_string(i), 738000 + i);
    Helper writer({DatabaseForOthers(), "hammer", "400"});
    auto record = NewRecord(cursor);
    int refreshes = 0;
    bool writerDone = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!writerDone && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(ForceReread(cursor), esOk);
        ASSERT_EQ(SetToBegin(cursor), esOk);
        for (int i = 0; i < 40; ++i) {
            const EngineStatus s = GetNextRecord(cursor, LockType::None, record.data());
            ASSERT_TRUE(s == esOk || s == esEOF) << StatusName(s);
        }
        std::uint32_t count = 0;
        ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
        ASSERT_GE(count, 50u);
        ++refreshes;
        writerDone = writer.Done();
    }
    EXPECT_GT(refreshes, 0);
    std::uint32_t count = 0;
    ASSERT_EQ(ForceReread(cursor), esOk);
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    ASSERT_TRUE(writerDone);
    EXPECT_EQ(writer.ExitCode(), 0); // the writer was never refused either
    EXPECT_EQ(count, 50u + 400u - 134u);
}

} // namespace ws::engine::test
