// The wall screen as a service looks after it: what it writes to standard error (the journal of
// its systemd unit) and the rule of one board per X display, with the program itself on private
// X servers.

#include "e2e/WallScreenFixture.h"

#include <cctype>
#include <sys/stat.h>

namespace ws::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Whether 'line' begins with a date and time, "YYYY-MM-DD HH:MM:SS ".
bool Stamped(const std::string& line) {
    const std::string pattern = "dddd-dd-dd dd:dd:dd ";
    if (line.size() <= pattern.size())
        return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool ok = pattern[i] == 'd' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                          : line[i] == pattern[i];
        if (!ok)
            return false;
    }
    return true;
}

// The lines of 'text' that are journal lines (date and time first) of 'message'.
int CountJournalLines(const std::string& text, const std::string& message) {
    int count = 0;
    for (const std::string& line : Lines(text))
        count += Stamped(line) && line.substr(20) == message;
    return count;
}

class ServiceOnXvfb : public WallScreenOnXvfb {
protected:
    // A runtime directory of the test's own, as a desktop session gives one.
    std::string RuntimeDir(const std::string& name) {
        const std::string dir = Path(name);
        ::mkdir(dir.c_str(), 0700);
        return dir;
    }
};

TEST_F(ServiceOnXvfb, TheBandWarningIsInTheJournalOnceWhileItWaitsForOk) {
    UseJobs("demo");
    Jobsdb({"demo"});
    Jobsdb({"delete", "Options.DB", "OptionName=Band 5"});
    const std::string err = Path("wallscreen.err");
    Child board({WALLSCREEN_PROGRAM}, {}, err);
    ASSERT_TRUE(board.Started());
    const std::string warning = "Brellow Database Wall Screen: Only four colours have been configured\\n"
                                "Please use the Custom Color utility\\n in the program to correct this error";
    ASSERT_TRUE(
        WaitFor([&] { return CountJournalLines(ReadFile(err), warning) > 0; }, std::chrono::seconds(20)))
        << ReadFile(err);
    // A tick later the box is still open and nothing more was written.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    EXPECT_TRUE(board.Running());
    EXPECT_EQ(Lines(ReadFile(err)).size(), 2u) << ReadFile(err);
    EXPECT_EQ(CountJournalLines(ReadFile(err), warning), 1);
}

TEST_F(ServiceOnXvfb, TheJournalGetsTheStartAndEveryMessageOnceAsOneLine) {
    // The demo jobs around today with band 1 misspelt: the conversion error at the first paint
    // of a job due three days or more ahead.
    UseJobs("demo");
    Jobsdb({"demo"});
    Jobsdb({"update", "Options.DB", "OptionName=Band 1", "OptionValue=Redd"});
    const std::string err = Path("wallscreen.err");
    Child board({WALLSCREEN_PROGRAM}, {}, err);
    ASSERT_TRUE(board.Started());

    const std::string badColor = "Brellow Database Wall Screen: 'Redd' is not a valid integer value.";
    ASSERT_TRUE(
        WaitFor([&] { return CountJournalLines(ReadFile(err), badColor) > 0; }, std::chrono::seconds(20)))
        << ReadFile(err);
    // The office program holds the Jewish.DB row of a job of the top list locked while the board
    // reads it.
    std::string jewish;
    Jobsdb({"dump", "Jewish.DB"}, &jewish);
    std::string active;
    Jobsdb({"dump", "OrderHead.DB", "--filter", "(IsActive=True) AND (isJewish=True)"}, &active);
    std::string orderNo;
    for (const std::string& row : Lines(active)) {
        const std::string number =
            row.substr(row.find('\t') + 1, row.find('\t', row.find('\t') + 1) - row.find('\t') - 1);
        if (orderNo.empty() && number.rfind("J", 0) == 0 &&
            jewish.find("\n" + number + "\t") != std::string::npos)
            orderNo = number;
    }
    ASSERT_FALSE(orderNo.empty()) << active;
    // Its standard input stays open for 30 seconds; the lock lasts as long.
    Child locker({"/bin/sh", "-c",
                  "sleep 30 | " + ShellCommand(JOBSDB_PATH, {"--dir", JobsDir(), "lock", "Jewish.DB",
                                                             "OrderNo", orderNo})});
    const std::string locked =
        "Brellow Database Wall Screen: Record locked by another user\\nTable: " + JobsDir() + "/Jewish.DB.";
    EXPECT_TRUE(
        WaitFor([&] { return CountJournalLines(ReadFile(err), locked) > 0; }, std::chrono::seconds(20)))
        << ReadFile(err);
    // Two more ticks with every box still open: nothing is written twice.
    std::this_thread::sleep_for(std::chrono::seconds(11));
    EXPECT_TRUE(board.Running());
    const std::string journal = ReadFile(err);

    const std::vector<std::string> lines = Lines(journal);
    ASSERT_FALSE(lines.empty());
    // The first line names the version, the alias and the directory, and where that was set.
    ASSERT_TRUE(Stamped(lines[0])) << journal;
    const std::string start = lines[0].substr(20);
    EXPECT_EQ(start.rfind("wallscreen ", 0), 0u) << start;
    const std::string rest = start.substr(start.find(' ', 11) + 1);
    EXPECT_EQ(rest, "starting: alias YardData, database directory " + JobsDir() + " (from " +
                        Path("engine.ini") + ")");
    EXPECT_EQ(CountJournalLines(journal, badColor), 1) << journal;
    EXPECT_EQ(CountJournalLines(journal, locked), 1) << journal;
}

TEST_F(ServiceOnXvfb, TheStartUpErrorIsInTheJournalWithTheDirectoryItLookedFor) {
    UseJobs("empty"); // no tables at all
    const std::string err = Path("wallscreen.err");
    Child board({WALLSCREEN_PROGRAM}, {}, err);
    ASSERT_TRUE(board.Started());
    const std::string prefix = "Application Error: Exception EDBEngineError in module wallscreen at ";
    ASSERT_TRUE(
        WaitFor([&] { return ReadFile(err).find(prefix) != std::string::npos; }, std::chrono::seconds(20)))
        << ReadFile(err);
    // The box waits for OK; its text is one line of the journal, the table's file named in it.
    const std::vector<std::string> lines = Lines(ReadFile(err));
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const std::string& l) { return l.find(prefix) != std::string::npos; });
    ASSERT_NE(line, lines.end());
    EXPECT_TRUE(Stamped(*line)) << *line;
    EXPECT_EQ(line->find(prefix), 20u) << *line;
    EXPECT_NE(line->find(".\\nTable does not exist"), std::string::npos) << *line;
    EXPECT_NE(line->find(JobsDir()), std::string::npos) << *line;
    EXPECT_TRUE(board.Running());
}

TEST_F(ServiceOnXvfb, OneBoardPerDisplayWhateverTheRuntimeDirectory) {
    Child first({WALLSCREEN_PROGRAM}, {"XDG_RUNTIME_DIR=" + RuntimeDir("session-a")}, Path("first.err"));
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor([&] { return MainWindows().size() == 1; }, std::chrono::seconds(15)));
    const unsigned long ours = MainWindows()[0];

    // Another session's runtime directory on the same display: it ends without a window.
    Child second({WALLSCREEN_PROGRAM}, {"XDG_RUNTIME_DIR=" + RuntimeDir("session-b")}, Path("second.err"));
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(std::chrono::seconds(20)), 0) << ReadFile(Path("second.err"));
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(MainWindows(), (std::vector<unsigned long>{ours}));

    // A copy on another display, with the first one's runtime directory, shows its own board.
    XvfbServer other(1200, 1920);
    ASSERT_TRUE(other.Running()) << other.Error();
    Child third({WALLSCREEN_PROGRAM},
                {"DISPLAY=" + other.Display(), "XDG_RUNTIME_DIR=" + RuntimeDir("session-a")},
                Path("third.err"));
    ASSERT_TRUE(third.Started());
    X11Probe otherScreen(other.Display());
    ASSERT_TRUE(otherScreen.Connected());
    auto boardsOnOther = [&] {
        int boards = 0;
        otherScreen.Sync();
        for (unsigned long w : otherScreen.Stacking())
            boards += otherScreen.Name(w) == "Active Jobs" && otherScreen.Facts(w).viewable;
        return boards;
    };
    EXPECT_TRUE(WaitFor([&] { return boardsOnOther() == 1; }, std::chrono::seconds(15)))
        << ReadFile(Path("third.err"));
    EXPECT_TRUE(third.Running());
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(MainWindows(), (std::vector<unsigned long>{ours}));
}

} // namespace
} // namespace ws::test

namespace ws::test {
namespace {

TEST_F(WallScreenProcesses, TheNightlyCloseIsInTheJournalAtItsTime) {
    // The board's own start-up and ticks, headless, from two minutes to midnight on.
    const std::string err = Path("snapshot.err");
    Child board({WALLSCREEN_SNAPSHOT, "--at", "2026-12-09 23:59:58.000", "--ticks", "40", "--json",
                 Path("night.json")},
                {}, err);
    ASSERT_TRUE(board.Started());
    ASSERT_EQ(board.Wait(std::chrono::seconds(60)), 0) << ReadFile(err);
    // Ticks at 00:00:03, 00:00:08, ... 00:01:03: that one closes the board.
    EXPECT_EQ(CountJournalLines(ReadFile(err), "Nightly close: the board closes until it is started again"),
              1)
        << ReadFile(err);
    EXPECT_NE(ReadFile(err).find("2026-12-10 00:01:03 Nightly close"), std::string::npos) << ReadFile(err);
    EXPECT_NE(ReadFile(Path("night.json")).find("\"exited\": true"), std::string::npos);
}

} // namespace
} // namespace ws::test
