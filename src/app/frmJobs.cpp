#include "app/frmJobs.h"

#include "app/ColorBands.h"
#include "app/OneInstance.h"
#include "data/Field.h"
#include "descriptions/frmJobsDescription.h"
#include "grid/wsCheckBox.h"
#include "jobs/BoardFilters.h"
#include "jobs/JobsDM.h"
#include "platform/Clock.h"
#include "platform/Journal.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/ImageList.h"
#include "ui/Label.h"
#include "ui/PropertiesBuilder.h"
#include "ui/Timer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace ws {

TActiveJobsForm* ActiveJobsForm = nullptr;

namespace {

constexpr int kFirstGridTop = 32;
constexpr int kJobsRowPitch = 33;
constexpr int kSpecialDateRowPitch = 28;
constexpr int kRnRRowPitch = 33;

// The due date of the view's current row; a job without one counts as due on day 0.
TDateTime DueDateOf(const TDataSet& view) {
    const TField* due = view.FieldNamed("DueDate");
    return due->IsNull() ? 0.0 : due->AsDateTime();
}

// At least 'pitch' pixels per job, and never less than the grid needs to show its title row
// and every job whole. No jobs, or a count the engine could not give, leaves it empty.
int GridHeightFor(const TwsDBGrid& grid, int count, int pitch) {
    if (count <= 0)
        return 0;
    return std::max(count * pitch, grid.HeightForRows(count));
}

// Rows each list keeps at least on a board taller than the window (fewer when it has fewer jobs).
constexpr int kFewestPagedRows = 5;

// The rows each list shows when the lists, each only as tall as its title row and rows need,
// are still taller than 'room' together: the fewest pages for the longest-paging list, every
// list with jobs keeping its title row and at least a few rows; then the rows left over go to the
// lists from the top down, each up to all its jobs. Heights grow by a fixed pitch per row, so they
// are worked out from the grids' own heights for 0 and 1 row.
std::array<int, 3> ShareWindow(const std::array<const TwsDBGrid*, 3>& grids, const std::array<int, 3>& counts,
                               int room) {
    std::array<int, 3> base{};
    std::array<int, 3> pitch{};
    for (std::size_t i = 0; i < 3; ++i) {
        base[i] = grids[i]->HeightForRows(0);
        pitch[i] = std::max(1, grids[i]->HeightForRows(1) - base[i]);
    }
    auto height = [&](const std::array<int, 3>& rows) {
        int total = 0;
        for (std::size_t i = 0; i < 3; ++i)
            total += rows[i] > 0 ? base[i] + rows[i] * pitch[i] : 0;
        return total;
    };
    if (height(counts) <= room)
        return counts;
    const int longest = std::max({counts[0], counts[1], counts[2]});
    for (int fewest = kFewestPagedRows; fewest >= 1; --fewest) {
        std::array<int, 3> rows{};
        for (std::size_t i = 0; i < 3; ++i)
            rows[i] = std::min(counts[i], fewest);
        if (height(rows) > room)
            continue;
        for (int pages = 2; pages <= longest; ++pages) {
            std::array<int, 3> share{};
            for (std::size_t i = 0; i < 3; ++i)
                share[i] = std::min(counts[i], std::max(rows[i], (counts[i] + pages - 1) / pages));
            if (height(share) <= room) {
                rows = share;
                break;
            }
        }
        for (std::size_t i = 0; i < 3; ++i) {
            const int more = std::min(counts[i] - rows[i], (room - height(rows)) / pitch[i]);
            if (more > 0)
                rows[i] += more;
        }
        return rows;
    }
    // Not even one row each fits: the lower lists are cut at the window's edge.
    std::array<int, 3> rows{};
    for (std::size_t i = 0; i < 3; ++i)
        rows[i] = std::min(counts[i], 1);
    return rows;
}

} // namespace

std::string BoardHeaderText(int jewish, int specialDate, int interment) {
    return "Active Jobs - Jewish(Top) : " + std::to_string(jewish) +
           " | Special date(Middle) : " + std::to_string(specialDate) +
           " | Interment(Bottom) : " + std::to_string(interment);
}

bool NightlyCloseDue(TDateTime now) {
    // In whole milliseconds of the clock's reading: compared as fractions of a day, two readings
    // one millisecond apart (00:59:59.999 and 01:00:00.000) can fall within the tolerance and
    // count as the same moment.
    constexpr std::int64_t kMsPerDay = 86'400'000;
    constexpr std::int64_t kFrom = 61'001;     // 00:01:01.001
    constexpr std::int64_t kUntil = 3'600'000; // 01:00:00.000
    if (!std::isfinite(now) || std::fabs(now) > 1e7)
        return false; // no clock reads so; keeps the conversion below defined
    const std::int64_t ms = DateTimeToMSecs(now);
    const std::int64_t ofDay = ((ms % kMsPerDay) + kMsPerDay) % kMsPerDay;
    return ofDay > kFrom && ofDay < kUntil;
}

namespace {
// The counts of the last refresh (or arrangement): the engine answers counts from the tables as
// they are at each call, so the counts a tick takes before it refreshes already include the
// office's latest changes; the change a tick must notice is the one since the lists were last
// re-read.
struct CountsSeen {
    bool known = false;
    int jobs2 = 0;
    int jobs = 0;
    int specialDate = 0;
};
CountsSeen g_CountsSeen;
} // namespace

void ArrangeGrids() {
    TActiveJobsForm* form = ActiveJobsForm;
    const int c2 = JobsDM->Jobs2Table()->RecordCount();
    const int c1 = JobsDM->JobsTable()->RecordCount();
    const int c3 = JobsDM->SpecialDateTable()->RecordCount();
    g_CountsSeen = {true, c2, c1, c3};
    // Once the lists are meant to be filtered, one whose filter is not in force (setting it
    // failed) is left empty until a tick puts it in force, rather than show every job as its own.
    const auto unfiltered = [form](const TwsTable& view) {
        return form->ListsFiltered() && !BoardFilterInForce(view);
    };
    const int h1 = unfiltered(*JobsDM->JobsTable()) ? 0 : c1;
    const int h2 = unfiltered(*JobsDM->Jobs2Table()) ? 0 : c2;
    const int h3 = unfiltered(*JobsDM->SpecialDateTable()) ? 0 : c3;
    TwsDBGrid& jobs = *form->JobsGrid();
    TwsDBGrid& specialDate = *form->SpecialDateGrid();
    TwsDBGrid& rnr = *form->RnRGrid();
    const std::array<TwsDBGrid*, 3> grids{&jobs, &specialDate, &rnr};
    // A count the engine could not give shows as an empty list.
    const std::array<int, 3> counts{std::max(h1, 0), std::max(h3, 0), std::max(h2, 0)};
    const std::array<int, 3> pitches{kJobsRowPitch, kSpecialDateRowPitch, kRnRRowPitch};

    // Each grid gets its pitch per job, or more. When that is taller than the window, the grids
    // get only what their rows need, and if that is still too tall they share the window and the
    // lists that cannot show every job page through them.
    std::array<int, 3> heights{};
    std::array<int, 3> rows = counts;
    int total = kFirstGridTop;
    for (std::size_t i = 0; i < 3; ++i) {
        heights[i] = GridHeightFor(*grids[i], counts[i], pitches[i]);
        total += heights[i];
    }
    if (total > form->ClientHeight()) {
        rows = ShareWindow({&jobs, &specialDate, &rnr}, counts, form->ClientHeight() - kFirstGridTop);
        for (std::size_t i = 0; i < 3; ++i)
            heights[i] = rows[i] > 0 ? grids[i]->HeightForRows(rows[i]) : 0;
    }

    // Hidden while they move, so the new arrangement is drawn once.
    jobs.Hide();
    specialDate.Hide();
    rnr.Hide();
    // Each top is read back from the grid above, whose height is 0 while it has no jobs.
    int top = kFirstGridTop;
    for (std::size_t i = 0; i < 3; ++i) {
        grids[i]->SetTop(top);
        grids[i]->SetHeight(heights[i]);
        top = grids[i]->Top() + grids[i]->Height();
    }
    // Paging starts again at the first page whenever the lists are arranged.
    for (std::size_t i = 0; i < 3; ++i) {
        grids[i]->SetPaged(rows[i] < counts[i]);
        grids[i]->ShowPage(0);
    }
    form->HeaderLbl()->SetCaption(BoardHeaderText(h1, h3, h2));
    if (counts[2] > 0)
        rnr.Show();
    if (counts[0] > 0)
        jobs.Show();
    if (counts[1] > 0)
        specialDate.Show();
}

void TurnPages() {
    for (TwsDBGrid* grid :
         {ActiveJobsForm->JobsGrid(), ActiveJobsForm->SpecialDateGrid(), ActiveJobsForm->RnRGrid()}) {
        if (grid->Paged())
            grid->ShowPage(grid->Page() + 1);
    }
}

const TClassInfo& TActiveJobsForm::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TActiveJobsForm>("TActiveJobsForm", TForm::StaticClassInfo()).Build();
    return info;
}

TActiveJobsForm::TActiveJobsForm(TComponent* owner) : TForm(owner) {
    g_CountsSeen = {};
    RegisterClass<TLabel>();
    RegisterClass<TTimer>();
    RegisterClass<TImageList>();
    RegisterClass<TOneInstance>();
    RegisterGridClasses();

    PublishMethod<TNotifyEvent>("FormCreate", [this](TObject* s) { FormCreate(s); });
    PublishMethod<TNotifyEvent>("FormShow", [this](TObject* s) { FormShow(s); });
    PublishMethod<TNotifyEvent>("FormClick", [this](TObject* s) { FormClick(s); });
    PublishMethod<TNotifyEvent>("Timer1Timer", [this](TObject* s) { Timer1Timer(s); });
    PublishMethod<TNotifyEvent>("JobsGridDblClick", [this](TObject* s) { JobsGridDblClick(s); });
    PublishMethod<TNotifyEvent>("RnRGridDblClick", [this](TObject* s) { RnRGridDblClick(s); });
    PublishMethod<TCalcCellColorsEvent>(
        "JobsGridCalcCellColors",
        [this](TObject* s, TField* f, TGridDrawState st, bool h, TFont* font, TBrush* brush) {
            JobsGridCalcCellColors(s, f, st, h, font, brush);
        });
    PublishMethod<TCalcCellColorsEvent>(
        "SpecialDateGridCalcCellColors",
        [this](TObject* s, TField* f, TGridDrawState st, bool h, TFont* font, TBrush* brush) {
            SpecialDateGridCalcCellColors(s, f, st, h, font, brush);
        });
}

TActiveJobsForm::~TActiveJobsForm() {
    if (m_ReportTimer != 0 && Application != nullptr)
        Application->Platform().KillTimer(m_ReportTimer);
    if (ActiveJobsForm == this)
        ActiveJobsForm = nullptr;
}

std::string_view TActiveJobsForm::StoredDescription() const {
    return descriptions::frmJobs();
}

template <class T>
T* TActiveJobsForm::Find(std::string_view name) const {
    return dynamic_cast<T*>(FindComponent(name));
}

TLabel* TActiveJobsForm::HeaderLbl() const {
    return Find<TLabel>("HeaderLbl");
}
TwsDBGrid* TActiveJobsForm::JobsGrid() const {
    return Find<TwsDBGrid>("JobsGrid");
}
TwsCheckBox* TActiveJobsForm::wsCheckBox1() const {
    return Find<TwsCheckBox>("wsCheckBox1");
}
TwsCheckBox* TActiveJobsForm::wsCheckBox2() const {
    return Find<TwsCheckBox>("wsCheckBox2");
}
TwsDBGrid* TActiveJobsForm::RnRGrid() const {
    return Find<TwsDBGrid>("RnRGrid");
}
TwsDBGrid* TActiveJobsForm::SpecialDateGrid() const {
    return Find<TwsDBGrid>("SpecialDateGrid");
}
TImageList* TActiveJobsForm::LEDImages() const {
    return Find<TImageList>("LEDImages");
}
TTimer* TActiveJobsForm::Timer1() const {
    return Find<TTimer>("Timer1");
}
TOneInstance* TActiveJobsForm::OneInstance1() const {
    return Find<TOneInstance>("OneInstance1");
}

void TActiveJobsForm::FormCreate(TObject*) {
    m_FirstShow = true;
    ActiveJobsForm->SetWidth(RunWidth);
    ActiveJobsForm->SetHeight(RunHeight);
    ActiveJobsForm->SetFormStyle(TFormStyle::fsStayOnTop);
}

void TActiveJobsForm::FormShow(TObject*) {
    // An error here is reported and the window is shown all the same, arranged as far as it got.
    if (JobsDM == nullptr)
        return;
    try {
        BandColours.fill("clNone");
        const int count = LoadColourBands();
        ForgetReplacedBadTexts();
        if (count < 5 && m_FirstShow)
            Application->ShowMessage(BandWarningText(count));
        m_ListsFiltered = true;
        ApplyBoardFilters();
        ArrangeGrids();
        m_FirstShow = false;
    } catch (const std::exception& error) {
        Application->HandleException(error);
        // Whatever failed before the filters were set, they are meant to be: a list whose filter
        // is not in force is not shown until a tick puts it in force; the rest of the arrangement
        // is done as far as it goes.
        m_ListsFiltered = true;
        if (!BoardFiltersInForce()) {
            try {
                ArrangeGrids();
            } catch (const std::exception&) {
                HideUnfilteredLists();
            }
        }
    }
}

void TActiveJobsForm::HideUnfilteredLists() {
    const std::array<std::pair<TwsDBGrid*, const TwsTable*>, 3> lists{
        {{JobsGrid(), JobsDM->JobsTable()},
         {SpecialDateGrid(), JobsDM->SpecialDateTable()},
         {RnRGrid(), JobsDM->Jobs2Table()}}};
    for (const auto& [grid, view] : lists) {
        if (!BoardFilterInForce(*view))
            grid->Hide();
    }
}

void TActiveJobsForm::Timer1Timer(TObject*) {
    // An error anywhere below abandons the rest of the tick; the loop reports it and the timer
    // goes on.
    if (JobsDM == nullptr)
        return;
    LoadColourBands();
    ForgetReplacedBadTexts();
    if (Application->IsMinimized())
        Application->Restore();

    JobsDM->ReopenJewishWhenWritable();

    // Filters that could not be put in force at the showing (or since) are put in force first;
    // the lists are then arranged again whatever the counts.
    bool rearrange = false;
    if (m_ListsFiltered && !BoardFiltersInForce()) {
        ApplyBoardFilters();
        rearrange = true;
    }

    TwsTable& jobs = *JobsDM->JobsTable();
    TwsTable& jobs2 = *JobsDM->Jobs2Table();
    TwsTable& specialDate = *JobsDM->SpecialDateTable();
    int c2 = jobs2.RecordCount();
    int c1 = jobs.RecordCount();
    int c3 = specialDate.RecordCount();
    if (g_CountsSeen.known) {
        c2 = g_CountsSeen.jobs2;
        c1 = g_CountsSeen.jobs;
        c3 = g_CountsSeen.specialDate;
    }

    jobs.Refresh();
    JobsGrid()->Repaint();
    // The close lets the tick run to its end; the program ends once the tick has returned.
    if (NightlyCloseDue(platform::Now())) {
        platform::WriteJournal("Nightly close: the board closes until it is started again");
        ActiveJobsForm->Close();
    }
    jobs2.Refresh();
    JobsDM->RnRTable()->Refresh();
    RnRGrid()->Repaint();
    specialDate.Refresh();
    SpecialDateGrid()->Repaint();

    const int n1 = jobs.RecordCount();
    const int n2 = jobs2.RecordCount();
    const int n3 = specialDate.RecordCount();
    HeaderLbl()->SetCaption(BoardHeaderText(n1, n3, n2));
    g_CountsSeen = {true, n2, n1, n3};
    if (rearrange || n2 != c2 || n1 != c1 || n3 != c3)
        ArrangeGrids();
    else
        TurnPages();
}

void TActiveJobsForm::FormClick(TObject*) {
    ActiveJobsForm->Close();
}

void TActiveJobsForm::JobsGridDblClick(TObject*) {
    ActiveJobsForm->Close();
}

void TActiveJobsForm::RnRGridDblClick(TObject*) {
    ActiveJobsForm->Close();
}

void TActiveJobsForm::JobsGridCalcCellColors(TObject*, TField*, TGridDrawState, bool, TFont* AFont, TBrush*) {
    // Later bands win; each band's text is converted only when its condition holds. Band 4 is
    // strictly beyond three weeks, and band 5 reads the clock again.
    const TDateTime due = DueDateOf(*JobsDM->JobsTable());
    const TDateTime now = platform::Now();
    if (due >= now + 3)
        ApplyBand(0, *AFont);
    if (due >= now + 7)
        ApplyBand(1, *AFont);
    if (due >= now + 14)
        ApplyBand(2, *AFont);
    if (due > now + 21)
        ApplyBand(3, *AFont);
    if (platform::Now() > due)
        ApplyBand(4, *AFont);
}

void TActiveJobsForm::SpecialDateGridCalcCellColors(TObject*, TField*, TGridDrawState, bool, TFont* AFont,
                                                    TBrush* ABrush) {
    // Overdue (the due day has begun): yellow on blue. Due from tomorrow up to a week ahead:
    // red on the window colour. Later jobs keep the grid's colours.
    const TDateTime due = DueDateOf(*JobsDM->SpecialDateTable());
    const TDateTime now = platform::Now();
    if (platform::Now() + 1 > due) {
        AFont->SetColor(clYellow);
        ABrush->SetColor(clBlue);
    }
    if (!(platform::Now() > due) && !(due > now + 7)) {
        AFont->SetColor(clRed);
        ABrush->SetColor(clWindow);
    }
}

void TActiveJobsForm::ApplyBand(std::size_t index, TFont& font) {
    // clNone, the text of a band whose row is missing, is passed on as it is: the grid paints
    // such text in the colour the font had before the colour event.
    const std::string& text = BandColours[index];
    try {
        font.SetColor(ColourFromText(text));
    } catch (const EConvertError&) {
        if (m_BadBandTexts.insert(text).second)
            QueueErrorReport(std::current_exception());
    }
}

void TActiveJobsForm::ForgetReplacedBadTexts() {
    std::erase_if(m_BadBandTexts, [](const std::string& text) {
        return std::find(BandColours.begin(), BandColours.end(), text) == BandColours.end();
    });
}

void TActiveJobsForm::QueueErrorReport(std::exception_ptr error) {
    m_QueuedErrors.push_back(std::move(error));
    if (m_ReportTimer != 0 || Application == nullptr)
        return;
    // The shortest timer runs once the loop has finished the paints pending now.
    m_ReportTimer = Application->Platform().SetTimer(0, [this] { ReportQueuedErrors(); });
}

void TActiveJobsForm::ReportQueuedErrors() {
    Application->Platform().KillTimer(m_ReportTimer);
    m_ReportTimer = 0;
    std::vector<std::exception_ptr> errors;
    errors.swap(m_QueuedErrors);
    for (const std::exception_ptr& error : errors) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            Application->HandleException(e);
        }
    }
}

} // namespace ws
