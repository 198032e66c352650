// The wall screen as real processes: two copies of the headless snapshot run (one holding on in
// real time), and the program itself on a private X server, driven with xdotool and watched
// as another X client would.

#include "e2e/WallScreenFixture.h"

namespace ws::test {
namespace {

// The "window" object of a snapshot account.
std::string WindowPart(const std::string& json) {
    const auto start = json.find("\"window\"");
    const auto end = json.find("\"controls\"");
    return start == std::string::npos || end == std::string::npos ? std::string()
                                                                  : json.substr(start, end - start);
}

TEST_F(WallScreenProcesses, ASecondHeadlessCopyRestoresTheFirstAndEndsUnseen) {
    // The first copy starts minimised and keeps answering for a while: long enough for the second
    // copy's whole start-up on a loaded machine.
    Child first({WALLSCREEN_SNAPSHOT, "--at", "2024-03-01 10:00:00.000", "--minimized", "--hold", "15000",
                 "--json", Path("first.json")});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor(TitleRegistered, std::chrono::seconds(10)));

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

} // namespace
} // namespace ws::test
