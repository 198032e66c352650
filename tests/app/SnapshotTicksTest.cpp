// wallscreen-snapshot with an office scripted between its ticks: the command runs before each
// tick with the tick's number and virtual time, the board shows what it did at that tick, each
// tick's account is written, and a failing command stops the run.

#include "support/TempDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace ws::test {
namespace {

class SnapshotTicks : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(m_Dir + "/engine.ini") << "";
        Jobsdb("init");
        Jobsdb("put OrderHead.DB OrderNo=J1 'Name=First job' IsActive=True IsJewish=True Invoiced=False "
               "DueDate=2026-03-20");
    }

    std::string JobsdbCommand(const std::string& args) const {
        return std::string(JOBSDB_PATH) + " --dir '" + m_Dir + "' " + args;
    }
    void Jobsdb(const std::string& args) {
        const std::string command = JobsdbCommand(args);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // Runs the tool; returns its exit code, with what it wrote to standard error in 'errors'.
    int Snapshot(const std::string& options, std::string& errors) {
        const std::string command = "env XDG_RUNTIME_DIR='" + m_Dir + "' YARD_ENGINE_CONFIG='" + m_Dir +
                                    "/engine.ini' " + SNAPSHOT_PATH + " --dir '" + m_Dir + "' " + options +
                                    " 2>'" + m_Dir + "/errors.txt'";
        const int status = std::system(command.c_str());
        errors = Read("errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    const std::string office = "echo \"$TICK $AT\" >> '" + m_Dir + "/ticks.txt'; echo noise; " +
                               "if [ \"$TICK\" = 2 ]; then " +
                               JobsdbCommand("put OrderHead.DB OrderNo=J2 'Name=Second job' IsActive=True "
                                             "IsJewish=True Invoiced=True DueDate=2026-03-21") +
                               " > /dev/null; fi";
    std::ofstream(m_Dir + "/office.sh") << office << "\n";
    std::string errors;
    ASSERT_EQ(Snapshot("--at '2026-03-02 23:59:50' --ticks 3 --json-dir '" + m_Dir + "/accounts' --json '" +
                           m_Dir + "/final.json' --between-ticks \"sh '" + m_Dir + "/office.sh'\"",
                       errors),
              0)
        << errors;
    EXPECT_EQ(Read("ticks.txt"),
              "1 2026-03-02 23:59:55.000\n2 2026-03-03 00:00:00.000\n3 2026-03-03 00:00:05.000\n");
    // The command's output goes to standard error, never into an account on standard output.
    EXPECT_NE(errors.find("noise"), std::string::npos) << errors;

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
    std::string errors;
    EXPECT_EQ(
        Snapshot("--at '2026-03-02 10:00' --ticks 5 --json-dir '" + m_Dir + "/accounts' --json '" + m_Dir +
                     "/final.json' --between-ticks 'echo \"no office at tick $TICK\" >&2; [ $TICK -lt 3 ]'",
                 errors),
        1);
    EXPECT_NE(errors.find("no office at tick 3"), std::string::npos) << errors;
    EXPECT_NE(errors.find("before tick 3 failed (exit status 1)"), std::string::npos) << errors;
    EXPECT_TRUE(Exists("accounts/tick-0001.json"));
    EXPECT_TRUE(Exists("accounts/tick-0002.json"));
    EXPECT_FALSE(Exists("accounts/tick-0003.json"));
    EXPECT_FALSE(Exists("final.json"));
    // A command that cannot even start counts as failing too.
    EXPECT_EQ(
        Snapshot("--at '2026-03-02 10:00' --ticks 2 --between-ticks 'exec /nonexistent/office'", errors), 1);
    EXPECT_NE(errors.find("before tick 1 failed (exit status 127)"), std::string::npos) << errors;
}

} // namespace
} // namespace ws::test
