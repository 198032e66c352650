// Boards taller than the window: the lists share it and the lists that cannot show every job
// page through them, one page a tick. What is checked is what the grids painted (their painted
// rows, the snapshot's account), against the jobs the table files hold, read with SQLite.
//
// Boards that fit are drawn exactly as before paging existed: their pictures are compared with
// pictures taken of the same boards before (tests/app/golden; WALLSCREEN_WRITE_GOLDEN=1 writes
// them anew).

#include "app/BoardFixture.h"
#include "data/Field.h"
#include "jobs/JobsDM.h"
#include "platform/Png.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <sqlite3.h>

namespace ws::test {
namespace {

constexpr std::int64_t kTickMs = 5000;

class BoardPagingTest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        PutBands({"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"});
    }

    // The office's own connection to OrderHead.DB, as another program writes it.
    void Sql(const std::string& statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((m_Dir + "/OrderHead.DB").c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 10'000);
        char* error = nullptr;
        const int rc = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error);
        const std::string message = error ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK) << message;
    }
    std::vector<std::string> SqlColumn(const std::string& query) {
        std::vector<std::string> values;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2((m_Dir + "/OrderHead.DB").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &statement, nullptr), SQLITE_OK) << query;
        while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW)
            values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return values;
    }

    // 'n' jobs of list 'list' (0 top, 1 middle, 2 bottom) named "<prefix><k>", due on days
    // spread over six weeks from today, so that many share a day.
    void AddJobs(int list, int n, const std::string& prefix, int from = 1) {
        static const char* const flags[] = {"1, 0, 0.0, 1", "0, 0, 3.0, 0", "0, 1, 0.0, 0"};
        std::string sql = "BEGIN;";
        const int today = 739677; // 2026-03-02 as a day number of the tables
        for (int k = from; k < from + n; ++k)
            sql +=
                "INSERT INTO records (OrderNo, Name, DueDate, IsJewish, IsInterment, DateOffSet, Invoiced, "
                "IsActive) VALUES ('" +
                prefix + std::to_string(k) + "', '" + prefix + std::to_string(k) + "', " +
                std::to_string(today - 10 + (k * 7) % 42) + ", " + flags[list] + ", 1);";
        Sql(sql + "COMMIT;");
    }

    // The names each list holds, in the board's order, read with SQLite.
    std::vector<std::string> Listed(int list) {
        static const char* const where[] = {"IsActive = 1 AND IsJewish = 1",
                                            "DateOffSet = 3 AND IsActive = 1",
                                            "IsActive = 1 AND Invoiced = 0 AND IsInterment = 1"};
        return SqlColumn(std::string("SELECT Name FROM records WHERE ") + where[list] +
                         " ORDER BY DueDate IS NOT NULL, DueDate, rowid");
    }

    static std::array<TwsDBGrid*, 3> Grids() {
        return {ActiveJobsForm->JobsGrid(), ActiveJobsForm->SpecialDateGrid(), ActiveJobsForm->RnRGrid()};
    }

    // The names on the page each list painted last, after checking that each row is whole, inside
    // its grid and the window, painted once, and that no grid covers another.
    std::array<std::vector<std::string>, 3> PaintedPages() {
        system->ProcessMessages();
        std::array<std::vector<std::string>, 3> pages;
        int above = 32;
        for (std::size_t g = 0; g < 3; ++g) {
            const TwsDBGrid& grid = *Grids()[g];
            if (!grid.Visible())
                continue;
            EXPECT_GE(grid.Top(), above) << grid.Name() << " covers the grid above it";
            above = grid.Top() + grid.Height();
            EXPECT_LE(above, TActiveJobsForm::RunHeight) << grid.Name() << " runs past the window";
            for (const TwsPaintedRow& row : grid.PaintedRows()) {
                EXPECT_FALSE(row.Cells.empty());
                if (row.Cells.empty())
                    continue;
                const TRect cell = row.Cells.front().Rect;
                EXPECT_EQ(cell.Height(), grid.DefaultRowHeight()) << grid.Name();
                EXPECT_GE(cell.top, 0);
                EXPECT_LE(cell.bottom, grid.ClientHeight()) << grid.Name() << " cuts a row";
                EXPECT_LE(grid.Top() + TCustomGrid::BorderWidth + cell.bottom, TActiveJobsForm::RunHeight);
                pages[g].push_back(row.Cells.front().Text);
            }
            const std::set<std::string> distinct(pages[g].begin(), pages[g].end());
            EXPECT_EQ(distinct.size(), pages[g].size()) << grid.Name() << " shows a row twice";
        }
        return pages;
    }

    // Over one round of pages from the first, each page is the next run of the list's jobs in
    // order, and every job is shown once.
    void ExpectEveryJobShownInOneRound() {
        std::array<std::vector<std::string>, 3> seen;
        std::array<std::vector<std::string>, 3> listed;
        int rounds = 1;
        for (std::size_t g = 0; g < 3; ++g) {
            listed[g] = Listed(static_cast<int>(g));
            rounds = std::max(rounds, Grids()[g]->PageCount());
            EXPECT_EQ(Grids()[g]->Page(), 0) << Grids()[g]->Name();
        }
        for (int tick = 0; tick < rounds; ++tick) {
            const auto pages = PaintedPages();
            for (std::size_t g = 0; g < 3; ++g) {
                const TwsDBGrid& grid = *Grids()[g];
                if (tick >= grid.PageCount())
                    continue;
                SCOPED_TRACE(grid.Name() + " page " + std::to_string(tick + 1));
                EXPECT_EQ(grid.Page(), tick);
                const std::size_t first = seen[g].size();
                ASSERT_LE(first + pages[g].size(), listed[g].size());
                EXPECT_EQ(pages[g],
                          std::vector<std::string>(listed[g].begin() + static_cast<std::ptrdiff_t>(first),
                                                   listed[g].begin() +
                                                       static_cast<std::ptrdiff_t>(first + pages[g].size())));
                if (grid.PageCount() > 1) {
                    EXPECT_EQ(grid.PageIndicatorText(),
                              "page " + std::to_string(tick + 1) + " of " + std::to_string(grid.PageCount()));
                }
                seen[g].insert(seen[g].end(), pages[g].begin(), pages[g].end());
            }
            system->AdvanceTime(kTickMs);
        }
        for (std::size_t g = 0; g < 3; ++g)
            EXPECT_EQ(seen[g], listed[g]) << Grids()[g]->Name();
    }

    const platform::Image& Picture() {
        system->ProcessMessages();
        return system->WindowImage(ActiveJobsForm->Handle());
    }

    // The picture against the golden one of the same name.
    void ExpectGolden(const std::string& name) {
        const std::string path = std::string(GOLDEN_DIR) + "/" + name + ".png";
        const platform::Image& picture = Picture();
        if (const char* write = std::getenv("WALLSCREEN_WRITE_GOLDEN"); write != nullptr && *write == '1') {
            std::filesystem::create_directories(GOLDEN_DIR);
            platform::WritePng(picture, path);
            return;
        }
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        const platform::Image golden = platform::ReadPng(path);
        ASSERT_EQ(picture.Width(), golden.Width());
        ASSERT_EQ(picture.Height(), golden.Height());
        int differing = 0;
        int firstY = -1;
        for (int y = 0; y < golden.Height(); ++y) {
            for (int x = 0; x < golden.Width(); ++x) {
                if ((picture.At(x, y) & 0xFFFFFFu) != (golden.At(x, y) & 0xFFFFFFu)) {
                    ++differing;
                    if (firstY < 0)
                        firstY = y;
                }
            }
        }
        EXPECT_EQ(differing, 0) << name << ": first differing pixel row " << firstY;
    }
};

// ---- boards that fit: as they were ---------------------------------------------------------------

TEST_F(BoardPagingTest, BoardsThatFitAreDrawnPixelForPixelAsBefore) {
    {
        SCOPED_TRACE("4, 2 and 3 jobs");
        for (int i = 1; i <= 4; ++i)
            PutJewish("J" + std::to_string(i), Day(i * 5 - 3));
        PutSpecialDate("S1", Day(-1));
        PutSpecialDate("S2", Day(5));
        for (int i = 1; i <= 3; ++i)
            PutInterment("R" + std::to_string(i), Day(i));
        Start();
        ExpectGolden("board-4-2-3");
        system->AdvanceTime(kTickMs);
        ExpectGolden("board-4-2-3");
    }
    {
        SCOPED_TRACE("20, 20 and 18 jobs: the layout ends 40 pixels above the window's edge");
        MakeProgram();
        for (int i = 5; i <= 20; ++i)
            PutJewish("J" + std::to_string(i), Day(i * 2 - 16));
        for (int i = 3; i <= 20; ++i)
            PutSpecialDate("S" + std::to_string(i), Day(i - 6));
        for (int i = 4; i <= 18; ++i)
            PutInterment("R" + std::to_string(i), Day(i));
        Start();
        ExpectGolden("board-20-20-18");
        system->AdvanceTime(kTickMs);
        ExpectGolden("board-20-20-18");
    }
}

TEST_F(BoardPagingTest, AnEmptyBoardIsDrawnAsBefore) {
    Start();
    ExpectGolden("board-empty");
}

// ---- boards that do not fit ----------------------------------------------------------------------

TEST_F(BoardPagingTest, EveryJobOfBoardsUpTo500JobsAListIsShownWholeWithinOneRoundOfPages) {
    const std::vector<std::array<int, 3>> boards{{27, 27, 19}, {0, 0, 500},     {500, 3, 0}, {2, 200, 4},
                                                 {70, 60, 50}, {500, 500, 500}, {1, 1, 1}};
    for (const std::array<int, 3>& counts : boards) {
        SCOPED_TRACE(std::to_string(counts[0]) + " / " + std::to_string(counts[1]) + " / " +
                     std::to_string(counts[2]) + " jobs");
        Sql("DELETE FROM records;");
        for (int g = 0; g < 3; ++g)
            AddJobs(g, counts[static_cast<std::size_t>(g)], std::string(1, "JSR"[g]));
        MakeProgram();
        Start();
        EXPECT_EQ(Header(), BoardHeaderText(counts[0], counts[1], counts[2]));
        ExpectEveryJobShownInOneRound();
        // A list shares the window only when it must: each keeps at least five rows, and a list
        // that shows all its jobs does not page.
        for (std::size_t g = 0; g < 3; ++g) {
            const TwsDBGrid& grid = *Grids()[g];
            EXPECT_EQ(grid.Paged(), grid.PageCount() > 1);
            if (counts[g] > 0) {
                EXPECT_GE(grid.DataRowsVisible(), std::min(counts[g], 5)) << grid.Name();
            }
        }
    }
}

TEST_F(BoardPagingTest, ABoardOnlyTheSpareRoomMakesTooTallLosesTheSpareRoomAndPagesNothing) {
    // With 33 and 28 pixels a job the lists would end 2 pixels below the window; as tall as
    // their rows need, they fit.
    AddJobs(0, 24, "J");
    AddJobs(1, 24, "S");
    AddJobs(2, 12, "R");
    Start();
    const std::array<int, 3> counts{24, 24, 12};
    int top = 32;
    for (std::size_t g = 0; g < 3; ++g) {
        const TwsDBGrid& grid = *Grids()[g];
        EXPECT_EQ(grid.Top(), top) << grid.Name();
        EXPECT_EQ(grid.Height(), grid.HeightForRows(counts[g])) << grid.Name();
        EXPECT_FALSE(grid.Paged()) << grid.Name();
        top += grid.Height();
    }
    EXPECT_EQ(32 + 24 * 33 + std::max(24 * 28, Grids()[1]->HeightForRows(24)) + 12 * 33, 1897);
    ExpectEveryJobShownInOneRound();
}

TEST_F(BoardPagingTest, PagingStartsAgainAtTheFirstPageWhenAListsRowsChange) {
    AddJobs(0, 50, "J");
    AddJobs(1, 50, "S");
    AddJobs(2, 60, "R");
    Start();
    TwsDBGrid& rnr = *ActiveJobsForm->RnRGrid();
    ASSERT_GE(rnr.PageCount(), 3);
    system->AdvanceTime(kTickMs);
    EXPECT_EQ(rnr.Page(), 1);

    // An interment job comes in: every list starts again at its first page, paged for the new
    // counts.
    AddJobs(2, 1, "R", 61);
    system->AdvanceTime(kTickMs);
    EXPECT_EQ(Header(), BoardHeaderText(50, 50, 61));
    ExpectEveryJobShownInOneRound();

    // Jobs go from the top list and others come into the middle one between two ticks.
    Sql("DELETE FROM records WHERE OrderNo IN ('J3', 'J7', 'J8');");
    AddJobs(1, 25, "S", 51);
    system->AdvanceTime(kTickMs);
    EXPECT_EQ(Header(), BoardHeaderText(47, 75, 61));
    ExpectEveryJobShownInOneRound();

    // A name edited on a later page changes no count: paging goes on, and the page shows the new
    // name.
    const int page = rnr.Page();
    const std::vector<std::string> listed = Listed(2);
    const std::string later = listed[listed.size() - 1];
    Sql("UPDATE records SET Name = 'Renamed' WHERE Name = '" + later + "';");
    system->AdvanceTime(kTickMs);
    EXPECT_EQ(rnr.Page(), (page + 1) % rnr.PageCount());
    while (rnr.Page() != rnr.PageCount() - 1)
        system->AdvanceTime(kTickMs);
    EXPECT_EQ(PaintedPages()[2].back(), "Renamed");
}

TEST_F(BoardPagingTest, AClickMovesTheHighlightOnThePageShownAndTheNextPageStartsAtItsFirstRow) {
    AddJobs(0, 50, "J");
    AddJobs(1, 50, "S");
    AddJobs(2, 60, "R");
    Start();
    system->AdvanceTime(kTickMs);
    TwsDBGrid& rnr = *ActiveJobsForm->RnRGrid();
    ASSERT_EQ(rnr.Page(), 1);
    const std::vector<std::string> page = PaintedPages()[2];
    ASSERT_GE(page.size(), 3u);
    // A click on the page's third row makes it current there; the list stays on its page.
    const TRect third = rnr.CellRect(0, rnr.TitleOffset() + 2);
    system->Click(ActiveJobsForm->Handle(), TPoint{rnr.Left() + TCustomGrid::BorderWidth + third.left + 10,
                                                   rnr.Top() + TCustomGrid::BorderWidth + third.top + 5});
    system->ProcessMessages();
    EXPECT_EQ(JobsDM->Jobs2Table()->FieldNamed("Name")->AsString(), page[2]);
    EXPECT_EQ(PaintedPages()[2], page);
    const TwsPaintedRow& row = rnr.PaintedRows()[2];
    EXPECT_EQ(row.Cells.front().Brush, clHighlight);
    EXPECT_TRUE(ActiveJobsForm->Visible());
    // The next tick shows the next page, its first job current.
    system->AdvanceTime(kTickMs);
    EXPECT_EQ(rnr.Page(), 2);
    EXPECT_EQ(JobsDM->Jobs2Table()->FieldNamed("Name")->AsString(), PaintedPages()[2].front());
}

} // namespace
} // namespace ws::test
