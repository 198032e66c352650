// The wall screen on the demo job database, on a private X server: the real window shows the
// board the program computes for the database as the office left it, and it follows the office's
// changes. What the board should show comes from the snapshot tool, which runs the same start-up
// headless over the same database, and from jobsdb, which counts the jobs through the same
// filters the board lists them with.

#include "e2e/WallScreenFixture.h"
#include "platform/Image.h"
#include "platform/Png.h"

#include <ctime>
#include <nlohmann/json.hpp>
#include <utility>

namespace ws::test {
namespace {

using nlohmann::json;
using Pixels = std::vector<std::uint32_t>;

struct Area {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The filters of the three lists, from the top of the board down.
const char* const kListFilters[] = {"(IsActive=True) AND (isJewish=True)",
                                    "(DateOffSet=3) AND (IsActive=True)",
                                    "(IsActive=True) AND NOT(Invoiced) AND (IsInterment=True)"};

std::string HeaderText(const std::vector<int>& counts) {
    return "Active Jobs - Jewish(Top) : " + std::to_string(counts[0]) +
           " | Special date(Middle) : " + std::to_string(counts[1]) +
           " | Interment(Bottom) : " + std::to_string(counts[2]);
}

std::string LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The colours of an area of a picture, as X reports them.
Pixels Region(const platform::Image& image, const Area& a) {
    Pixels pixels;
    for (int y = a.top; y < a.top + a.height; ++y) {
        for (int x = a.left; x < a.left + a.width; ++x)
            pixels.push_back(image.At(x, y) & 0xFFFFFFu);
    }
    return pixels;
}

// Pixels that differ between two pictures of the same area, as (red-dominant, green-dominant)
// counts of the second picture's colours there.
std::pair<int, int> ChangedColors(const Pixels& before, const Pixels& after, bool ofAfter) {
    int red = 0;
    int green = 0;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] == after[i])
            continue;
        const std::uint32_t p = ofAfter ? after[i] : before[i];
        const int r = static_cast<int>((p >> 16) & 0xFF);
        const int g = static_cast<int>((p >> 8) & 0xFF);
        red += r > g + 64 ? 1 : 0;
        green += g > r + 64 ? 1 : 0;
    }
    return {red, green};
}

class DemoBoardOnXvfb : public WallScreenOnXvfb {
protected:
    void SetUp() override {
        WallScreenOnXvfb::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        UseJobs("demo");
        ASSERT_EQ(Jobsdb({"demo"}), 0);
    }

    // The program's window once it shows the board; 0 when it never does.
    unsigned long StartProgram(std::unique_ptr<Child>& program) {
        program = std::make_unique<Child>(std::vector<std::string>{WALLSCREEN_PROGRAM});
        if (!program->Started() ||
            !WaitFor([&] { return MainWindows().size() == 1; }, std::chrono::seconds(20)))
            return 0;
        return MainWindows()[0];
    }

    struct Board {
        json account;
        platform::Image picture;
    };
    // The board as the program computes it for the database now: a headless run of its start-up
    // with a runtime directory of its own, so that it does not meet the running copy. After
    // 'ticks' ticks without a change a paged list shows its page 1 + ticks (wrapping round).
    Board Expected(int ticks = 0) {
        ++m_Runs;
        const std::string name = "expected-" + std::to_string(m_Runs);
        std::filesystem::create_directories(Path(name + "-runtime"));
        Child snapshot({WALLSCREEN_SNAPSHOT, "--at", LocalNow(), "--ticks", std::to_string(ticks), "--json",
                        Path(name + ".json"), "--png", Path(name + ".png")},
                       {"XDG_RUNTIME_DIR=" + Path(name + "-runtime")});
        EXPECT_EQ(snapshot.Wait(std::chrono::seconds(60)), 0);
        Board board;
        board.account = json::parse(ReadFile(Path(name + ".json")), nullptr, false);
        if (std::filesystem::exists(Path(name + ".png")))
            board.picture = platform::ReadPng(Path(name + ".png"));
        return board;
    }

    // The jobs of each list as jobsdb counts them through the list's filter.
    std::vector<int> ListCounts() {
        std::vector<int> counts;
        for (const char* filter : kListFilters) {
            std::string printed;
            Jobsdb({"dump", "OrderHead.DB", "--filter", filter}, &printed);
            const auto at = printed.rfind("RecordCount: ");
            counts.push_back(at == std::string::npos ? -1 : std::stoi(printed.substr(at + 13)));
        }
        return counts;
    }

    static const json* Control(const json& account, const std::string& name) {
        for (const json& control : account["controls"]) {
            if (control["name"] == name)
                return &control;
        }
        return nullptr;
    }
    static Area AreaOf(const json& item) {
        return {item["left"].get<int>(), item["top"].get<int>(), item["width"].get<int>(),
                item["height"].get<int>()};
    }
    static Area HeaderArea(const json& account) {
        const json* header = Control(account, "HeaderLbl");
        return header != nullptr ? AreaOf(*header) : Area{};
    }
    // The cell of 'field' in the row of a list whose Name cell reads 'name'; null when not drawn.
    static const json* Cell(const json& account, const std::string& grid, const std::string& name,
                            const std::string& field) {
        for (const json& g : account["grids"]) {
            if (g["name"] != grid)
                continue;
            for (const json& row : g["rows"]) {
                bool ours = false;
                for (const json& cell : row["cells"])
                    ours = ours || (cell["field"] == "Name" && cell["text"] == name);
                for (const json& cell : row["cells"]) {
                    if (ours && cell["field"] == field)
                        return &cell;
                }
            }
        }
        return nullptr;
    }

    // Ticks until the paged lists are all back on their first pages: the real window shows the
    // snapshot's pages once in each such round.
    static int Round(const json& account) {
        int round = 1;
        for (const json& g : account["grids"]) {
            const int pages = g["pages"].get<int>();
            int a = round;
            int b = pages;
            while (b != 0)
                a = std::exchange(b, a % b);
            round = round / a * pages;
        }
        return round;
    }
    // Long enough for the real window to come round to the snapshot's pages.
    static std::chrono::milliseconds RoundTime(const json& account, std::chrono::seconds margin) {
        return std::chrono::milliseconds(5000 * Round(account)) + margin;
    }
    // The board above its first paged list: the part that stays the same from tick to tick.
    static Area Unpaged(const json& account) {
        int bottom = 1895;
        for (const json& g : account["grids"]) {
            if (g["pages"].get<int>() > 1 && g["visible"].get<bool>())
                bottom = std::min(bottom, g["top"].get<int>());
        }
        return {0, 0, 1094, bottom};
    }

    Pixels Shown(unsigned long window, const Area& a) {
        return x->Grab(window, a.left, a.top, a.width, a.height);
    }
    static Area WholeWindow() { return {0, 0, 1094, 1895}; }

    // Waits until the window shows 'area' of the expected picture; how long that took.
    std::optional<std::chrono::milliseconds> ShowsWithin(unsigned long window, const Board& board,
                                                         const Area& area,
                                                         std::chrono::milliseconds timeout) {
        const Pixels wanted = Region(board.picture, area);
        const auto start = std::chrono::steady_clock::now();
        if (!WaitFor([&] { return Shown(window, area) == wanted; }, timeout))
            return std::nullopt;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     start);
    }

private:
    int m_Runs = 0;
};

TEST_F(DemoBoardOnXvfb, TheBoardAppearsAtTheTopLeftWithTheListsCountsAndASecondCopyLeavesItAlone) {
    const std::vector<int> counts = ListCounts();
    ASSERT_GT(counts[0], 0);
    ASSERT_GT(counts[1], 0);
    ASSERT_GT(counts[2], 0);

    std::unique_ptr<Child> program;
    const unsigned long window = StartProgram(program);
    ASSERT_NE(window, 0u);
    const XWindowFacts facts = x->Facts(window);
    EXPECT_EQ(facts.x, 0);
    EXPECT_EQ(facts.y, 0);
    EXPECT_EQ(facts.width, 1094);
    EXPECT_EQ(facts.height, 1895);

    const Board board = Expected();
    ASSERT_FALSE(board.account.is_discarded());
    ASSERT_FALSE(board.picture.IsEmpty());
    const json* header = Control(board.account, "HeaderLbl");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ((*header)["text"], HeaderText(counts));
    for (std::size_t list = 0; list < 3; ++list)
        EXPECT_EQ(board.account["grids"][list]["recordCount"], counts[list]) << list;
    // The demo board's bottom list is longer than the window has room for: it pages, and the
    // real window shows each of its pages as the headless run does, pixel for pixel.
    const json& bottom = board.account["grids"][2];
    EXPECT_EQ(bottom["page"], 1);
    ASSERT_GE(bottom["pages"].get<int>(), 2);
    ASSERT_EQ(bottom["pageIndicator"]["text"], "page 1 of " + std::to_string(bottom["pages"].get<int>()));
    EXPECT_TRUE(ShowsWithin(window, board, WholeWindow(), RoundTime(board.account, std::chrono::seconds(15)))
                    .has_value());
    const Board nextPage = Expected(1);
    ASSERT_EQ(nextPage.account["grids"][2]["page"], 2);
    EXPECT_NE(Region(nextPage.picture, WholeWindow()), Region(board.picture, WholeWindow()));
    EXPECT_TRUE(
        ShowsWithin(window, nextPage, WholeWindow(), RoundTime(nextPage.account, std::chrono::seconds(15)))
            .has_value());

    // A second copy shows nothing and ends; the first runs on with the same board (the paged list
    // turning its pages as before).
    const Area steady = Unpaged(board.account);
    const Pixels before = Shown(window, steady);
    Child second({WALLSCREEN_PROGRAM});
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(std::chrono::seconds(30)), 0);
    EXPECT_TRUE(program->Running());
    EXPECT_EQ(MainWindows(), (std::vector<unsigned long>{window}));
    const XWindowFacts after = x->Facts(window);
    EXPECT_EQ(after.x, 0);
    EXPECT_EQ(after.y, 0);
    EXPECT_TRUE(Shown(window, steady) == before);
    EXPECT_TRUE(ShowsWithin(window, board, WholeWindow(), RoundTime(board.account, std::chrono::seconds(15)))
                    .has_value());
}

TEST_F(DemoBoardOnXvfb, AJobTheOfficeAddsAppearsWithinOneTickAndItsLedTurnsGreenWhenInvoiced) {
    std::unique_ptr<Child> program;
    const unsigned long window = StartProgram(program);
    ASSERT_NE(window, 0u);
    const Board board = Expected();
    ASSERT_TRUE(ShowsWithin(window, board, WholeWindow(), RoundTime(board.account, std::chrono::seconds(15)))
                    .has_value());
    const Pixels headerBefore = Shown(window, HeaderArea(board.account));

    // The office enters a Jewish memorial job due in three days, not yet invoiced.
    std::vector<int> counts = ListCounts();
    const std::string name = "Zachary Test-Added";
    std::tm due{};
    const std::time_t inThreeDays = std::time(nullptr) + 3 * 86400;
    ::localtime_r(&inThreeDays, &due);
    char dueText[16];
    std::strftime(dueText, sizeof dueText, "%Y-%m-%d", &due);
    const auto put = std::chrono::steady_clock::now();
    ASSERT_EQ(Jobsdb({"put", "OrderHead.DB", "OrderNo=E2E-1", "Name=" + name, "IsActive=True",
                      "IsJewish=True", "Invoiced=False", std::string("DueDate=") + dueText}),
              0);
    // One tick is five seconds; the rest allows for the refresh itself on a loaded machine.
    ASSERT_TRUE(WaitFor([&] { return Shown(window, HeaderArea(board.account)) != headerBefore; },
                        std::chrono::seconds(10)));
    EXPECT_LE(std::chrono::steady_clock::now() - put, std::chrono::milliseconds(5000 + 3000));

    const Board added = Expected();
    ++counts[0];
    EXPECT_EQ(ListCounts(), counts);
    const json* header = Control(added.account, "HeaderLbl");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ((*header)["text"], HeaderText(counts));
    // The new count arranges the lists again and every list starts at its first page.
    EXPECT_TRUE(ShowsWithin(window, added, WholeWindow(), RoundTime(added.account, std::chrono::seconds(12)))
                    .has_value());
    const json* led = Cell(added.account, "JobsGrid", name, "Invoiced");
    ASSERT_NE(led, nullptr) << "the new job is not listed";
    EXPECT_EQ((*led)["image"], 0); // the red LED
    const Area cell = AreaOf(*led);
    const Pixels red = Shown(window, cell);

    // The office invoices it: its LED turns from red to green within a tick, nothing else on the
    // board changes.
    ASSERT_EQ(Jobsdb({"update", "OrderHead.DB", "OrderNo=E2E-1", "Invoiced=True"}), 0);
    const Board invoiced = Expected();
    const json* green = Cell(invoiced.account, "JobsGrid", name, "Invoiced");
    ASSERT_NE(green, nullptr);
    EXPECT_EQ((*green)["image"], 1);
    EXPECT_EQ((*Control(invoiced.account, "HeaderLbl"))["text"], HeaderText(counts));
    ASSERT_TRUE(
        ShowsWithin(window, invoiced, WholeWindow(), RoundTime(invoiced.account, std::chrono::seconds(12)))
            .has_value());
    const Pixels nowGreen = Shown(window, cell);
    ASSERT_NE(red, nowGreen);
    const auto [redBefore, greenBefore] = ChangedColors(red, nowGreen, false);
    const auto [redAfter, greenAfter] = ChangedColors(red, nowGreen, true);
    EXPECT_GT(redBefore, 0);
    EXPECT_EQ(greenBefore, 0);
    EXPECT_GT(greenAfter, 0);
    EXPECT_EQ(redAfter, 0);
}

TEST_F(DemoBoardOnXvfb, ADoubleClickOnAListClosesTheProgram) {
    std::unique_ptr<Child> program;
    const unsigned long window = StartProgram(program);
    ASSERT_NE(window, 0u);
    const Board board = Expected();
    ASSERT_TRUE(ShowsWithin(window, board, WholeWindow(), RoundTime(board.account, std::chrono::seconds(15)))
                    .has_value());
    // The middle of the first job's name in the middle list.
    const json& rows = board.account["grids"][1]["rows"];
    ASSERT_FALSE(rows.empty());
    const Area name = AreaOf(rows[0]["cells"][0]);
    const int px = name.left + name.width / 2;
    const int py = name.top + name.height / 2;

    // One click on a list does nothing; a double-click closes the program at once.
    XdoTool("mousemove " + std::to_string(px) + " " + std::to_string(py) + " click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_TRUE(program->Running());
    XdoTool("mousemove " + std::to_string(px) + " " + std::to_string(py) + " click --repeat 2 --delay 60 1");
    EXPECT_EQ(program->Wait(std::chrono::seconds(10)), 0);
    EXPECT_TRUE(MainWindows().empty());
}

} // namespace
} // namespace ws::test
