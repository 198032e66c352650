// Boards taller than the window: the lists share it and the lists that cannot show every job
// page through them, one page a tick. What is checked is what the grids painted (their painted
// rows, the snapshot's account), against the jobs the table files hold, read with SQLite.
//
// Boards that fit are drawn exactly as before paging existed: their pictures are compared with
// pictures taken of the same boards before (tests/app/golden; WALLSCREEN_WRITE_GOLDEN=1 writes
// them anew).

#include "app/BoardFixture.h"
#include "platform/Png.h"

#include <algorithm>
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

} // namespace
} // namespace ws::test
