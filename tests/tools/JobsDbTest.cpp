// jobsdb run as a process, as the README and its own help tell an administrator to: the directory
// rule of init and demo, the two date forms, the refusal of values longer than their field, and
// the help. What it wrote is read back from the table files with SQLite directly.

#include "support/Jobsdb.h"

#include "support/TempDirectory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using ws::test::ProgramRun;

class JobsDb : public ::testing::Test {
protected:
    // jobsdb, or a shell command line, run in the test's directory with standard input empty;
    // standard output and standard error are kept apart.
    ProgramRun Run(const std::vector<std::string>& words) const {
        return ws::test::RunJobsdb(words, Options());
    }
    ProgramRun RunShell(const std::string& command) const {
        return ws::test::RunProgram("/bin/sh", {"-c", command}, Options());
    }
    ws::test::ProgramOptions Options() const {
        ws::test::ProgramOptions options;
        options.directory = m_Root.string();
        options.errorsApart = true;
        return options;
    }
    ProgramRun On(const std::string& dir, std::vector<std::string> words) const {
        words.insert(words.begin(), {"--dir", dir});
        return Run(words);
    }
    std::string Path(const std::string& name) const { return (m_Root / name).string(); }

    // The database in 'dir', made with init and five bands.
    std::string Database(const std::string& name = "jobs") const {
        const std::string dir = Path(name);
        EXPECT_EQ(On(dir, {"init"}).status, 0);
        return dir;
    }

    // One value of the table file, read with SQLite; nullopt when no row matches.
    static std::optional<std::string> Query(const std::string& dir, const std::string& table,
                                            const std::string& sql) {
        sqlite3* db = nullptr;
        std::optional<std::string> value;
        if (sqlite3_open_v2((dir + "/" + table).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(statement, 0);
                value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return value;
    }

    // The engine's day number of a date: 1 is 1 January of the year 1.
    static std::string DayNumber(int year, unsigned month, unsigned day) {
        using namespace std::chrono;
        const auto days =
            sys_days(std::chrono::year(year) / month / day) - sys_days(std::chrono::year(1) / 1 / 1);
        return std::to_string(days.count() + 1);
    }

    ws::test::TempDirectory m_Temp{"ws-jobsdb-test"};
    const fs::path m_Root = m_Temp.Path();
};

// An init stopped midway leaves some tables made, the next one half built in its temporary file
// "X.DB.new-PID" (with its log), and the rest not begun. Run again, init makes what is missing,
// keeps what was made with its rows, and clears the dead process's temporaries; a running one's
// are left to it.
TEST_F(JobsDb, InitStoppedMidwayCanBeRunAgain) {
    const std::string dir = Database();
    ASSERT_EQ(On(dir, {"put", "Options.DB", "OptionName=Band 1", "OptionValue=clRed"}).status, 0);
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string stale = dir + "/Jewish.DB.new-" + std::to_string(dead);
    fs::copy_file(dir + "/OrderHead.DB", stale);
    std::FILE* log = std::fopen((stale + "-journal").c_str(), "w");
    std::fputs("half a journal", log);
    std::fclose(log);
    const std::string running = dir + "/RNR.DB.new-" + std::to_string(::getpid());
    std::fclose(std::fopen(running.c_str(), "w"));
    fs::remove(dir + "/Jewish.DB");
    fs::remove(dir + "/RNR.DB");

    const ProgramRun again = On(dir, {"init"});
    EXPECT_EQ(again.status, 0) << again.Report();
    for (const char* table : {"OrderHead.DB", "Options.DB", "Jewish.DB", "RNR.DB"})
        EXPECT_TRUE(Query(dir, table, "SELECT count(*) FROM records").has_value()) << table;
    EXPECT_EQ(Query(dir, "Options.DB", "SELECT OptionValue FROM records"), "clRed");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(stale + "-journal"));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(On(dir, {"init"}).status, 0);

    // A file in a table's place that holds no table is still an error, and is left alone.
    std::FILE* junk = std::fopen((dir + "/RNR.DB").c_str(), "w");
    std::fputs(std::string(4096, 'x').c_str(), junk);
    std::fclose(junk);
    const ProgramRun broken = On(dir, {"init"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.errors.find("RNR.DB"), std::string::npos) << broken.errors;
}

TEST_F(JobsDb, InitAndDemoMakeTheirDirectoryAndEveryOtherCommandRefusesAMissingOne) {
    const std::string deep = Path("office/share/jobs");
    const ProgramRun init = On(deep, {"init"});
    EXPECT_EQ(init.status, 0) << init.Report();
    for (const char* table : {"OrderHead.DB", "Options.DB", "Jewish.DB", "RNR.DB"})
        EXPECT_EQ(Query(deep, table, "SELECT count(*) FROM records"), "0") << table;

    const std::string demo = Path("demo/dir");
    const ProgramRun made = On(demo, {"demo", "--today", "2026-12-09"});
    EXPECT_EQ(made.status, 0) << made.Report();
    EXPECT_EQ(Query(demo, "OrderHead.DB", "SELECT count(*) FROM records"), "90");

    // A directory name taken by a file is an error with its message.
    std::FILE* file = std::fopen(Path("plain").c_str(), "w");
    std::fclose(file);
    const ProgramRun blocked = On(Path("plain"), {"init"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.errors.find("plain"), std::string::npos) << blocked.errors;

    const std::string missing = Path("nowhere/jobs");
    const std::vector<std::vector<std::string>> others = {
        {"put", "Options.DB", "OptionName=Band 1", "OptionValue=clRed"},
        {"update", "OrderHead.DB", "OrderNo=J1001", "Name=X"},
        {"delete", "OrderHead.DB", "OrderNo=J1001"},
        {"dump", "OrderHead.DB"},
        {"filter", "OrderHead.DB", "Invoiced=False"},
        {"locate", "OrderHead.DB", "OrderNo", "J1001"},
        {"lock", "OrderHead.DB", "OrderNo", "J1001"},
    };
    for (const auto& words : others) {
        const ProgramRun refused = On(missing, words);
        EXPECT_EQ(refused.status, 1) << words[0];
        EXPECT_NE(refused.errors.find(missing), std::string::npos) << words[0] << ": " << refused.errors;
        EXPECT_FALSE(fs::exists(Path("nowhere"))) << words[0] << " made the directory";
    }
}

TEST_F(JobsDb, KeyAndFieldDatesAreReadInBothForms) {
    const std::string dir = Database();
    ASSERT_EQ(On(dir, {"put", "OrderHead.DB", "OrderNo=A1", "DueDate=2026-12-24"}).status, 0);
    ASSERT_EQ(On(dir, {"put", "OrderHead.DB", "OrderNo=A2", "DueDate=25/12/2026"}).status, 0);
    EXPECT_EQ(Query(dir, "OrderHead.DB", "SELECT DueDate FROM records WHERE OrderNo='A1'"),
              DayNumber(2026, 12, 24));
    EXPECT_EQ(Query(dir, "OrderHead.DB", "SELECT DueDate FROM records WHERE OrderNo='A2'"),
              DayNumber(2026, 12, 25));

    // locate, update and delete find a row by its date in either form.
    for (const char* key : {"2026-12-24", "24/12/2026"}) {
        const ProgramRun found = On(dir, {"locate", "OrderHead.DB", "DueDate", key});
        EXPECT_EQ(found.status, 0) << found.Report();
        EXPECT_NE(found.output.find("A1"), std::string::npos) << key << ": " << found.output;
    }
    const ProgramRun updated =
        On(dir, {"update", "OrderHead.DB", "DueDate=2026-12-25", "OrderDate=01/12/2026"});
    EXPECT_EQ(updated.status, 0) << updated.Report();
    EXPECT_EQ(Query(dir, "OrderHead.DB", "SELECT OrderDate FROM records WHERE OrderNo='A2'"),
              DayNumber(2026, 12, 1));
    const ProgramRun deleted = On(dir, {"delete", "OrderHead.DB", "DueDate=24/12/2026"});
    EXPECT_EQ(deleted.status, 0) << deleted.Report();
    EXPECT_EQ(Query(dir, "OrderHead.DB", "SELECT count(*) FROM records"), "1");
    EXPECT_EQ(Query(dir, "OrderHead.DB", "SELECT OrderNo FROM records"), "A2");

    // A date in neither form is refused, naming the field; nothing changes.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"put", "OrderHead.DB", "OrderNo=A3", "DueDate=2026-13-01"},
          std::vector<std::string>{"update", "OrderHead.DB", "DueDate=12.25.2026", "OrderNo=A9"},
          std::vector<std::string>{"locate", "OrderHead.DB", "DueDate", "Christmas"}}) {
        const ProgramRun refused = On(dir, words);
        EXPECT_EQ(refused.status, 1) << words[0];
        EXPECT_NE(refused.errors.find("DueDate"), std::string::npos) << refused.errors;
        EXPECT_NE(refused.errors.find("YYYY-MM-DD"), std::string::npos) << refused.errors;
    }
    EXPECT_EQ(Query(dir, "OrderHead.DB", "SELECT group_concat(OrderNo) FROM records"), "A2");
}

TEST_F(JobsDb, AValueLongerThanItsFieldIsRefusedUnlessTruncateIsGiven) {
    const std::string dir = Database();
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    const ProgramRun refused = On(dir, {"put", "Options.DB", "OptionName=Band 1", "OptionValue=" + letters});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.errors.find("OptionValue"), std::string::npos) << refused.errors;
    EXPECT_NE(refused.errors.find("20"), std::string::npos) << refused.errors;
    EXPECT_EQ(Query(dir, "Options.DB", "SELECT count(*) FROM records"), "0");

    // Exactly the field's size fits; --truncate cuts a longer value to it.
    EXPECT_EQ(
        On(dir, {"put", "Options.DB", "OptionName=Band 1", "OptionValue=" + letters.substr(0, 20)}).status,
        0);
    const ProgramRun cut =
        On(dir, {"put", "Options.DB", "OptionName=Band 2", "OptionValue=" + letters, "--truncate"});
    EXPECT_EQ(cut.status, 0) << cut.Report();
    EXPECT_EQ(Query(dir, "Options.DB", "SELECT OptionValue FROM records WHERE OptionName='Band 2'"),
              letters.substr(0, 20));

    // update checks the same way and leaves the row as it was.
    const ProgramRun kept =
        On(dir, {"update", "Options.DB", "OptionName=Band 1", "OptionName=Band 1 of the five bands"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.errors.find("OptionName"), std::string::npos) << kept.errors;
    EXPECT_EQ(Query(dir, "Options.DB", "SELECT count(*) FROM records WHERE OptionName='Band 1'"), "1");

    // Sizes count characters, not bytes: twenty euro signs (60 bytes) fill the field exactly, and
    // --truncate cuts a longer text between characters.
    std::string euros;
    for (int i = 0; i < 21; ++i)
        euros += "\u20ac";
    const ProgramRun fits =
        On(dir, {"put", "Options.DB", "OptionName=Band 3", "OptionValue=" + euros.substr(0, 60)});
    EXPECT_EQ(fits.status, 0) << fits.Report();
    EXPECT_EQ(On(dir, {"put", "Options.DB", "OptionName=Band 4", "OptionValue=" + euros}).status, 1);
    EXPECT_EQ(
        On(dir, {"put", "Options.DB", "OptionName=Band 4", "OptionValue=" + euros, "--truncate"}).status, 0);
    EXPECT_EQ(Query(dir, "Options.DB", "SELECT OptionValue FROM records WHERE OptionName='Band 4'"),
              euros.substr(0, 60));
}

TEST_F(JobsDb, HelpDescribesEveryCommandWithAnExampleThatRuns) {
    const ProgramRun help = Run({"--help"});
    ASSERT_EQ(help.status, 0) << help.Report();
    const char* const commands[] = {"init", "demo",   "put",    "update", "delete",
                                    "dump", "filter", "locate", "lock"};
    // The examples run in this order on one demo database.
    const std::string dir = Path("demo");
    for (const char* command : commands) {
        EXPECT_NE(help.output.find("\n  " + std::string(command)), std::string::npos) << command;
        const ProgramRun one = Run({command, "--help"});
        ASSERT_EQ(one.status, 0) << command << ": " << one.errors;
        EXPECT_NE(one.output.find("usage: jobsdb --dir DIR " + std::string(command)), std::string::npos)
            << one.output;
        const auto at = one.output.find("Example:\n  ");
        ASSERT_NE(at, std::string::npos) << one.output;
        std::string example = one.output.substr(at + 11);
        example = example.substr(0, example.find('\n'));
        EXPECT_NE(help.output.find(example), std::string::npos) << "jobsdb --help lacks " << example;
        ASSERT_EQ(example.rfind("jobsdb ", 0), 0u) << example;
        // The example as written, on a database of this test's own.
        for (const std::string place : {"/srv/yard/jobs", "/tmp/demo"}) {
            for (auto p = example.find(place); p != std::string::npos; p = example.find(place))
                example.replace(p, place.size(),
                                ws::test::ShellQuoted(std::string(command) == "init" ? Path("fresh") : dir));
        }
        const ProgramRun ran = RunShell(JOBSDB_PATH + example.substr(6));
        EXPECT_EQ(ran.status, 0) << example << "\n" << ran.errors;
    }
    // Errors keep their message: an unknown command or table says so.
    const ProgramRun unknown = Run({"frobnicate", "--help"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.errors.find("frobnicate"), std::string::npos);
    const ProgramRun noTable = On(dir, {"dump", "Nothing.DB"});
    EXPECT_EQ(noTable.status, 1);
    EXPECT_NE(noTable.errors.find("Nothing.DB"), std::string::npos) << noTable.errors;
}

// filter prints the buffer the table's view would hand the engine, 16 bytes to a line, with the
// fields numbered as the table has them; a text the builder refuses gives its message.
TEST_F(JobsDb, FilterPrintsTheBufferInHexOrTheMessage) {
    const std::string dir = Database();
    const ProgramRun ok = On(dir, {"filter", "OrderHead.DB", "(IsActive=True) AND (isJewish=True)"});
    EXPECT_EQ(ok.status, 0) << ok.Report();
    ASSERT_GE(ok.output.size(), 48u);
    EXPECT_EQ(ok.output.substr(0, 48), "02 00 78 00 ff ff 0a 00 62 00 02 00 00 00 0a 00\n");
    EXPECT_EQ(std::count(ok.output.begin(), ok.output.end(), '\n'), 8); // 120 bytes
    EXPECT_EQ(ok.output.substr(ok.output.size() - 24), "65 77 69 73 68 00 01 00\n");
    const ProgramRun unclosed = On(dir, {"filter", "OrderHead.DB", "(IsActive=True"});
    EXPECT_EQ(unclosed.status, 1);
    EXPECT_EQ(unclosed.errors, "')' expected but nothing found\n");
    const ProgramRun unknown = On(dir, {"filter", "OrderHead.DB", "Nowhere = 1"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.errors, "OrderHead.DB: Field 'Nowhere' not found\n");
    const ProgramRun missing = On(dir, {"filter", "Missing.DB", "IsActive"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.errors.rfind("Table does not exist", 0), 0u) << missing.errors;
    EXPECT_NE(missing.errors.find("Missing.DB"), std::string::npos) << missing.errors;
}

} // namespace
