// The colours the two coloured lists give their jobs: the five due-date bands of the top list,
// the two fixed schemes of the middle list, the warning about missing bands, and what a band
// text the conversion rejects does to the board.

#include "app/BoardFixture.h"
#include "base/Exception.h"
#include "data/Field.h"

#include <map>

namespace ws::test {
namespace {

const std::vector<std::string> kBands{"clRed", "clLime", "clBlue", "clFuchsia", "$00123456"};
constexpr TColor kBandColor[] = {clRed, clLime, clBlue, clFuchsia, 0x00123456};
constexpr TColor kGridText = clWindowText;
constexpr TColor kGridBrush = clWhite;

class BandColorsTest : public BoardFixture {
protected:
    struct Colors {
        TColor font;
        TColor brush;
        friend bool operator==(const Colors&, const Colors&) = default;
    };

    // What a colour handler makes of every row of 'view', by order number.
    template <class Handler>
    std::map<std::string, Colors> Paint(TDataSet& view, Handler handler) {
        std::map<std::string, Colors> out;
        for (view.First(); !view.Eof(); view.Next()) {
            TFont font;
            font.SetColor(kGridText);
            TBrush brush;
            brush.SetColor(kGridBrush);
            (ActiveJobsForm->*handler)(nullptr, nullptr, TGridDrawState{}, false, &font, &brush);
            out[view.FieldNamed("OrderNo")->AsString()] = Colors{font.Color(), brush.Color()};
        }
        return out;
    }
    std::map<std::string, Colors> PaintTop() {
        return Paint(*JobsDM->JobsTable(), &TActiveJobsForm::JobsGridCalcCellColors);
    }
    std::map<std::string, Colors> PaintMiddle() {
        return Paint(*JobsDM->SpecialDateTable(), &TActiveJobsForm::SpecialDateGridCalcCellColors);
    }
    static Colors Band(int band) { return Colors{kBandColor[band - 1], kGridBrush}; }
    static constexpr Colors kNoBand{kGridText, kGridBrush};
};

TEST_F(BandColorsTest, AtTenInTheMorningEachDayFallsInItsBand) {
    PutBands(kBands);
    const std::map<int, int> bandOfDay{{-2, 5}, {0, 5},  {1, 0},  {3, 0},  {4, 1},  {7, 1},
                                       {8, 2},  {14, 2}, {15, 3}, {21, 3}, {22, 4}, {400, 4}};
    for (const auto& [days, band] : bandOfDay)
        PutJewish("K" + std::to_string(days), Day(days));
    PutJewish("NoDate", "");
    Start();

    const auto colors = PaintTop();
    ASSERT_EQ(colors.size(), bandOfDay.size() + 1);
    for (const auto& [days, band] : bandOfDay)
        EXPECT_EQ(colors.at("K" + std::to_string(days)), band == 0 ? kNoBand : Band(band)) << days;
    // Without a due date the job counts as long overdue.
    EXPECT_EQ(colors.at("NoDate"), Band(5));
}

TEST_F(BandColorsTest, AtMidnightThreeWeeksAheadIsStillBandThree) {
    PutBands(kBands);
    PutJewish("K21", Day(21));
    PutJewish("K3", Day(3));
    PutJewish("K0", Day(0));
    Start();
    system->SetDateTime(At("00:00:00.000"));

    const auto colors = PaintTop();
    EXPECT_EQ(colors.at("K21"), Band(3));
    EXPECT_EQ(colors.at("K3"), Band(1));
    // The due day began this very moment: not yet overdue.
    EXPECT_EQ(colors.at("K0"), kNoBand);
    system->SetDateTime(At("00:00:00.001"));
    EXPECT_EQ(PaintTop().at("K0"), Band(5));
}

TEST_F(BandColorsTest, TheMiddleListMarksOverdueAndNextWeekJobs) {
    PutBands(kBands);
    PutSpecialDate("Today", Day(0));
    PutSpecialDate("Tomorrow", Day(1));
    PutSpecialDate("InSeven", Day(7));
    PutSpecialDate("InEight", Day(8));
    PutSpecialDate("NoDate", "");
    Start();

    const auto colors = PaintMiddle();
    const Colors overdue{clYellow, clBlue};
    const Colors soon{clRed, clWindow};
    EXPECT_EQ(colors.at("Today"), overdue);
    EXPECT_EQ(colors.at("Tomorrow"), soon);
    EXPECT_EQ(colors.at("InSeven"), soon);
    EXPECT_EQ(colors.at("InEight"), kNoBand);
    EXPECT_EQ(colors.at("NoDate"), overdue);
}

TEST_F(BandColorsTest, MissingBandsAreNamedAtTheFirstShowingOnly) {
    PutJewish("Late", Day(-1));
    for (int present = 5; present >= 0; --present) {
        MakeProgram();
        boxes.clear();
        if (present == 5)
            PutBands(kBands);
        else
            Jobsdb({"delete", "Options.DB", "OptionName=Band " + std::to_string(present + 1)});
        Start();
        if (present == 5) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u) << present;
        EXPECT_EQ(boxes[0],
                  (platform::MessageBoxRequest{"Brellow Database Wall Screen", BandWarningText(present),
                                               platform::MessageBoxIcon::None}));
        // Missing bands read clNone, the rest their rows.
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(BandColours[static_cast<std::size_t>(k)],
                      k < present ? kBands[static_cast<std::size_t>(k)] : "clNone");
        // Band 5 is among the missing: an overdue job is handed clNone, unchanged.
        EXPECT_EQ(PaintTop().at("Late").font, clNone);
        // Ticks reload quietly, and a later showing does not warn again.
        system->AdvanceTime(10'000);
        ActiveJobsForm->Hide();
        ActiveJobsForm->Show();
        system->ProcessMessages();
        EXPECT_EQ(boxes.size(), 1u) << present;
    }
}

TEST_F(BandColorsTest, ARejectedBandIsReportedOnceAfterThePaintAndSpoilsNoOtherBand) {
    PutBands({"Red", "clLime", "clBlue", "clFuchsia", "clYellow"});
    PutJewish("Band1", Day(5));
    PutJewish("Band2", Day(10));
    TActiveJobsForm& form = Start();
    ASSERT_TRUE(form.JobsGrid()->Visible());
    boxes.clear();

    // Colouring the list meets the bad text on the band-1 row; the report waits until the paint
    // has returned, and the band-1 row keeps the grid's colour while the band-2 row gets its own.
    auto colors = PaintTop();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(colors.at("Band1"), kNoBand);
    EXPECT_EQ(colors.at("Band2"), Band(2));
    system->AdvanceTime(50);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], (platform::MessageBoxRequest{"Brellow Database Wall Screen",
                                                     "'Red' is not a valid integer value.",
                                                     platform::MessageBoxIcon::Error}));

    // Later paints and ticks do not report the same text again.
    system->AdvanceTime(20'000);
    form.JobsGrid()->Repaint();
    PaintTop();
    system->AdvanceTime(50);
    EXPECT_EQ(boxes.size(), 1u);

    // Another bad text is news; a good one takes effect at the next paint.
    BandColours[0] = "Rouge";
    PaintTop();
    system->AdvanceTime(50);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "'Rouge' is not a valid integer value.");
    BandColours[0] = "clred";
    EXPECT_EQ(PaintTop().at("Band1"), Band(1));
}

} // namespace
} // namespace ws::test
