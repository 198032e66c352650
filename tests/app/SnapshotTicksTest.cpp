// wallscreen-snapshot with an office scripted between its ticks: the command runs before each
// tick with the tick's number and virtual time, the board shows what it did at that tick, each
// tick's account is written, and a failing command stops the run.

#include "support/Jobsdb.h"
#include "support/TempDirectory.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace ws::test {
namespace {

class SnapshotTicks : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(m_Dir + "/engine.ini") << "";
        Jobsdb({"init"});
        Jobsdb({"put", "OrderHead.DB", "OrderNo=J1", "Name=First job", "IsActive=True", "IsJewish=True",
                "Invoiced=False", "DueDate=2026-03-20"});
    }

    // jobsdb's words on the test's job database.
    std::vector<std::string> OnJobs(std::vector<std::string> words) const {
        words.insert(words.begin(), {"--dir", m_Dir});
        return words;
    }
    void Jobsdb(const std::vector<std::string>& words) {
        const ProgramRun run = RunJobsdb(OnJobs(words));
        ASSERT_TRUE(run.Succeeded()) << run.Report();
    }

    // Runs the tool on the test's job database, what it writes to standard error kept apart.
    ProgramRun Snapshot(std::vector<std::string> words) const {
        words.insert(words.begin(), {"--dir", m_Dir});
        ProgramOptions options;
        options.environment = {"XDG_RUNTIME_DIR=" + m_Dir, "YARD_ENGINE_CONFIG=" + m_Dir + "/engine.ini"};
        options.errorsApart = true;
        return RunProgram(SNAPSHOT_PATH, words, options);
    }

    std::string Read(const std::string& file) const {
        std::ifstream in(m_Dir + "/" + file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& file) const { return std::filesystem::exists(m_Dir + "/" + file); }

    TempDirectory m_Temp{"ws-snapshot-ticks"};
    const std::string m_Dir = m_Temp.Path();
};

TEST_F(SnapshotTicks, TheCommandRunsBeforeEachTickAndEachTicksAccountShowsItsWork) {
    // Tick 2 brings in a second job; the ticks cross midnight.
    const std::string office =
        "echo \"$TICK $AT\" >> '" + m_Dir + "/ticks.txt'; echo noise; " + "if [ \"$TICK\" = 2 ]; then " +
        ShellCommand(JOBSDB_PATH,
                     OnJobs({"put", "OrderHead.DB", "OrderNo=J2", "Name=Second job", "IsActive=True",
                             "IsJewish=True", "Invoiced=True", "DueDate=2026-03-21"})) +
        " > /dev/null; fi";
    std::ofstream(m_Dir + "/office.sh") << office << "\n";
    const ProgramRun run =
        Snapshot({"--at", "2026-03-02 23:59:50", "--ticks", "3", "--json-dir", m_Dir + "/accounts", "--json",
                  m_Dir + "/final.json", "--between-ticks", "sh " + ShellQuoted(m_Dir + "/office.sh")});
    ASSERT_EQ(run.status, 0) << run.Report();
    EXPECT_EQ(Read("ticks.txt"),
              "1 2026-03-02 23:59:55.000\n2 2026-03-03 00:00:00.000\n3 2026-03-03 00:00:05.000\n");
    // The command's output goes to standard error, never into an account on standard output.
    EXPECT_NE(run.errors.find("noise"), std::string::npos) << run.errors;

    const std::string first = Read("accounts/tick-0001.json");
    const std::string second = Read("accounts/tick-0002.json");
    const std::string third = Read("accounts/tick-0003.json");
    EXPECT_NE(first.find("\"text\": \"Active Jobs - Jewish(Top) : 1 |"), std::string::npos) << first;
    EXPECT_EQ(first.find("Second job"), std::string::npos);
    EXPECT_NE(second.find("\"text\": \"Active Jobs - Jewish(Top) : 2 |"), std::string::npos) << second;
    EXPECT_NE(second.find("\"text\": \"Second job\""), std::string::npos) << second;
    EXPECT_NE(third.find("\"text\": \"Second job\""), std::string::npos);
    EXPECT_FALSE(Exists("accounts/tick-0004.json"));
    // Each file is a whole account, and the last one is what the run ends with.
    EXPECT_NE(first.find("\"exitCode\": 0"), std::string::npos);
    EXPECT_EQ(third, Read("final.json"));
}

TEST_F(SnapshotTicks, AFailingCommandStopsTheRunWithItsMessage) {
    const ProgramRun failed = Snapshot(
        {"--at", "2026-03-02 10:00", "--ticks", "5", "--json-dir", m_Dir + "/accounts", "--json",
         m_Dir + "/final.json", "--between-ticks", "echo \"no office at tick $TICK\" >&2; [ $TICK -lt 3 ]"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.errors.find("no office at tick 3"), std::string::npos) << failed.errors;
    EXPECT_NE(failed.errors.find("before tick 3 failed (exit status 1)"), std::string::npos) << failed.errors;
    EXPECT_TRUE(Exists("accounts/tick-0001.json"));
    EXPECT_TRUE(Exists("accounts/tick-0002.json"));
    EXPECT_FALSE(Exists("accounts/tick-0003.json"));
    EXPECT_FALSE(Exists("final.json"));
    // A command that cannot even start counts as failing too.
    const ProgramRun unstarted =
        Snapshot({"--at", "2026-03-02 10:00", "--ticks", "2", "--between-ticks", "exec /nonexistent/office"});
    EXPECT_EQ(unstarted.status, 1);
    EXPECT_NE(unstarted.errors.find("before tick 1 failed (exit status 127)"), std::string::npos)
        << unstarted.errors;
}

} // namespace
} // namespace ws::test
