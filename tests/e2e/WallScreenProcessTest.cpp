// The wall screen as real processes: two copies of the headless snapshot run (one holding on in
// real time), and the program itself on a private X server, driven with xdotool and watched
// as another X client would.

#include "e2e/WallScreenFixture.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

namespace ws::test {
namespace {

// The "window" object of a snapshot account.
std::string WindowPart(const std::string& json) {
    const auto start = json.find("\"window\"");
    const auto end = json.find("\"controls\"");
    return start == std::string::npos || end == std::string::npos ? std::string()
                                                                  : json.substr(start, end - start);
}

// A copy is found under the title, minimised, and carries out a request sent to it.
bool FirstCopyRunsMinimised() {
    platform::WindowRegistry registry;
    const auto first = registry.Find(Title);
    return first && registry.IsIconic(*first) && registry.BringToTop(*first, std::chrono::milliseconds(500));
}

TEST_F(WallScreenProcesses, ASecondHeadlessCopyRestoresTheFirstAndEndsUnseen) {
    // The first copy starts minimised and keeps answering for a while: long enough for the second
    // copy's whole start-up on a loaded machine.
    Child first({WALLSCREEN_SNAPSHOT, "--at", "2024-03-01 10:00:00.000", "--minimized", "--hold", "15000",
                 "--json", Path("first.json")});
    ASSERT_TRUE(first.Started());
    // Found under the title is not enough: the first copy must be past its start-up (holding its
    // mutex, minimised, its loop answering requests), or the second could be the first.
    ASSERT_TRUE(WaitFor(FirstCopyRunsMinimised, std::chrono::seconds(20)));

    Child second({WALLSCREEN_SNAPSHOT, "--at", "2024-03-01 10:00:01.000", "--ticks", "1", "--json",
                  Path("second.json"), "--png", Path("second.png")});
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(std::chrono::seconds(20)), 0);
    EXPECT_TRUE(first.Running());

    const std::string secondJson = ReadFile(Path("second.json"));
    EXPECT_NE(WindowPart(secondJson).find("\"visible\": false"), std::string::npos) << secondJson;
    EXPECT_NE(secondJson.find("\"exited\": true"), std::string::npos);
    EXPECT_NE(secondJson.find("\"messages\": []"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Path("second.png"))); // nothing was ever painted

    EXPECT_EQ(first.Wait(std::chrono::seconds(40)), 0);
    const std::string firstJson = ReadFile(Path("first.json"));
    // Restored by the second copy, the first showed its window and kept running.
    EXPECT_NE(WindowPart(firstJson).find("\"visible\": true"), std::string::npos) << firstJson;
    EXPECT_NE(firstJson.find("\"exited\": false"), std::string::npos);
}

// Runs one SQL statement on a table file directly, as another program could have written it.
void ExecSql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The cells of the painted row whose first cell reads 'name', as the snapshot account lists them.
nlohmann::json RowNamed(const nlohmann::json& account, const std::string& grid, const std::string& name) {
    for (const auto& g : account["grids"]) {
        if (g["name"] != grid)
            continue;
        for (const auto& row : g["rows"]) {
            if (!row["cells"].empty() && row["cells"][0]["text"] == name)
                return row["cells"];
        }
    }
    return nlohmann::json::array();
}

TEST_F(WallScreenProcesses, DueDatesAtTheEndsOfTheStoredRangePaintAsOverdueAndFarAhead) {
    ASSERT_EQ(Jobsdb({"update", "Options.DB", "OptionName=Band 4", "OptionValue=clBlue"}), 0);
    ASSERT_EQ(Jobsdb({"update", "Options.DB", "OptionName=Band 5", "OptionValue=clLime"}), 0);
    ASSERT_EQ(Jobsdb({"put", "OrderHead.DB", "OrderNo=J1", "Name=Earliest", "IsActive=True", "IsJewish=True",
                      "DueDate=2024-03-05"}),
              0);
    ASSERT_EQ(Jobsdb({"put", "OrderHead.DB", "OrderNo=J2", "Name=Latest", "IsActive=True", "IsJewish=True",
                      "DueDate=2024-03-05"}),
              0);
    ASSERT_EQ(Jobsdb({"put", "OrderHead.DB", "OrderNo=S1", "Name=Special", "IsActive=True", "DateOffSet=3",
                      "DueDate=2024-03-05"}),
              0);
    ASSERT_EQ(Jobsdb({"put", "OrderHead.DB", "OrderNo=R1", "Name=Interment", "IsActive=True",
                      "IsInterment=True", "Invoiced=False", "DueDate=2024-03-05"}),
              0);
    // Day numbers no date has, at both ends of what the file's 32-bit field can hold.
    ExecSql(JobsDir() + "/OrderHead.DB",
            "UPDATE records SET DueDate = -2147483648 WHERE OrderNo IN ('J1', 'S1', 'R1');"
            "UPDATE records SET DueDate = 2147483647 WHERE OrderNo = 'J2';");

    // The sanitizer build of the snapshot ends at once on undefined behaviour in any conversion.
    const ProgramRun snapshot =
        RunProgram(WALLSCREEN_SNAPSHOT, {"--at", "2024-03-01 10:00:00.000", "--json", Path("board.json")});
    ASSERT_EQ(snapshot.status, 0) << snapshot.Report();
    const auto account = nlohmann::json::parse(ReadFile(Path("board.json")));
    EXPECT_EQ(account["messages"], nlohmann::json::array()) << account["messages"];
    // Long overdue is the fifth band's colour, far ahead the fourth's.
    const auto earliest = RowNamed(account, "JobsGrid", "Earliest");
    const auto latest = RowNamed(account, "JobsGrid", "Latest");
    ASSERT_FALSE(earliest.empty()) << account["grids"];
    ASSERT_FALSE(latest.empty());
    EXPECT_EQ(earliest[0]["font"], "$0000FF00");
    EXPECT_EQ(latest[0]["font"], "$00FF0000");
    // The middle list paints an overdue job yellow on blue; the bottom list paints it at all.
    const auto special = RowNamed(account, "SpecialDateGrid", "Special");
    ASSERT_FALSE(special.empty());
    EXPECT_EQ(special[0]["font"], "$0000FFFF");
    EXPECT_EQ(special[0]["brush"], "$00FF0000");
    EXPECT_FALSE(RowNamed(account, "RnRGrid", "Interment").empty());
}

TEST_F(WallScreenOnXvfb, TheWindowIsBorderlessOnTopAndOnlyOneCopyRuns) {
    Child first({WALLSCREEN_PROGRAM});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor([&] { return MainWindows().size() == 1; }, std::chrono::seconds(15)));
    const unsigned long ours = MainWindows()[0];
    const XWindowFacts facts = x->Facts(ours);
    EXPECT_EQ(facts.x, 0);
    EXPECT_EQ(facts.y, 0);
    EXPECT_EQ(facts.width, 1094);
    EXPECT_EQ(facts.height, 1895);
    EXPECT_EQ(facts.borderWidth, 0);
    // The opaque sky-blue header band.
    EXPECT_TRUE(WaitFor([&] { return x->PixelAt(ours, 5, 5) == 0xA6CAF0u; }, std::chrono::seconds(5)));

    // Another program's window opens over ours and is activated again: ours stays above.
    const unsigned long other = x->CreateOrdinaryWindow(100, 100, 400, 300);
    EXPECT_TRUE(WaitFor([&] { return x->IsAbove(ours, other); }, std::chrono::seconds(5)));
    x->Raise(other);
    EXPECT_TRUE(WaitFor([&] { return x->IsAbove(ours, other); }, std::chrono::seconds(5)));

    // A second copy shows nothing and ends; the first runs on unchanged.
    Child second({WALLSCREEN_PROGRAM});
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(std::chrono::seconds(20)), 0);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(MainWindows(), (std::vector<unsigned long>{ours}));

    // A click on the header does nothing; one on the free area ends the program at once.
    XdoTool("mousemove 500 10 click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(first.Running());
    XdoTool("mousemove 500 1800 click 1");
    EXPECT_EQ(first.Wait(std::chrono::seconds(10)), 0);
}

TEST_F(WallScreenOnXvfb, ASecondCopyWhoseStartUpFailsWaitsForOkOnItsErrorBox) {
    Child first({WALLSCREEN_PROGRAM});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor([&] { return MainWindows().size() == 1; }, std::chrono::seconds(15)));

    // The second copy's YardData names a directory that is not there: its data module fails.
    std::ofstream(Path("broken.ini")) << "[YardData]\nDRIVER=DESKTOP\nPATH=" << Path("missing") << "\n";
    Child second({WALLSCREEN_PROGRAM}, {"YARD_ENGINE_CONFIG=" + Path("broken.ini")});
    ASSERT_TRUE(second.Started());
    auto errorBox = [&] {
        x->Sync();
        for (unsigned long w : x->Stacking()) {
            if (x->Name(w) == "Application Error" && x->Facts(w).viewable)
                return w;
        }
        return 0ul;
    };
    ASSERT_TRUE(WaitFor([&] { return errorBox() != 0; }, std::chrono::seconds(20)))
        << "no box; the second copy ended with " << second.Wait(std::chrono::milliseconds(0));
    // Nobody has answered it yet: it stays, and so does the process.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const unsigned long box = errorBox();
    ASSERT_NE(box, 0ul);
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(first.Running());

    // The first copy's top-most board may cover the box: a click on its free area ends it.
    XdoTool("mousemove 500 1800 click 1");
    EXPECT_EQ(first.Wait(std::chrono::seconds(10)), 0);
    EXPECT_TRUE(second.Running());
    // The box's OK button is centred at its bottom.
    const XWindowFacts facts = x->Facts(box);
    XdoTool("mousemove " + std::to_string(facts.x + facts.width / 2) + " " +
            std::to_string(facts.y + facts.height - 25) + " click 1");
    EXPECT_EQ(second.Wait(std::chrono::seconds(10)), 1);
}

} // namespace
} // namespace ws::test
