#pragma once

// The wall screen's main window: the header band, the three grids, the hidden LED check boxes,
// their image list, the refresh timer and the single-instance guard, all from its stored
// description. Every handler reaches the window and the data module through the globals below.

#include "base/DateTime.h"
#include "grid/wsDBGrid.h"
#include "platform/TimerQueue.h"
#include "ui/Form.h"

#include <exception>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ws {

class TLabel;
class TTimer;
class TImageList;
class TwsCheckBox;
class TOneInstance;
class TJobsDM;

class TActiveJobsForm : public TForm {
public:
    WS_CLASS_INFO()

    explicit TActiveJobsForm(TComponent* owner);
    ~TActiveJobsForm() override;

    std::string_view StoredDescription() const override;

    // The components of the description, by name (null once freed).
    TLabel* HeaderLbl() const;
    TwsDBGrid* JobsGrid() const;
    TwsCheckBox* wsCheckBox1() const;
    TwsCheckBox* wsCheckBox2() const;
    TwsDBGrid* RnRGrid() const;
    TwsDBGrid* SpecialDateGrid() const;
    TImageList* LEDImages() const;
    TTimer* Timer1() const;
    TOneInstance* OneInstance1() const;

    // True only during the first showing of the window.
    bool FirstShow() const { return m_FirstShow; }
    // True once a showing has given the lists their filters: from then on a list is shown only
    // while its filter is in force.
    bool ListsFiltered() const { return m_ListsFiltered; }

    // Handlers (the sender is ignored).
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClick(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    void JobsGridDblClick(TObject* Sender);
    void RnRGridDblClick(TObject* Sender);
    void JobsGridCalcCellColors(TObject* Sender, TField* Field, TGridDrawState State, bool Highlight,
                                TFont* AFont, TBrush* ABrush);
    void SpecialDateGridCalcCellColors(TObject* Sender, TField* Field, TGridDrawState State, bool Highlight,
                                       TFont* AFont, TBrush* ABrush);

    // Reports 'error' with the default error report once the paint pass (or the handler) that
    // met it has returned: an error box must never open from inside a paint.
    void QueueErrorReport(std::exception_ptr error);

    static constexpr int RunWidth = 1094;
    static constexpr int RunHeight = 1895;

private:
    template <class T>
    T* Find(std::string_view name) const;

    // Sets the font colour from band 'index'. A text the conversion rejects leaves the colour as
    // it was and is queued for one report, not repeated while the text stays the same.
    void ApplyBand(std::size_t index, TFont& font);
    // Texts no band holds any longer may be reported again should they come back.
    void ForgetReplacedBadTexts();
    void ReportQueuedErrors();
    // Hides the grids of the lists whose filters are not in force.
    void HideUnfilteredLists();

    bool m_FirstShow = false;
    bool m_ListsFiltered = false;
    std::set<std::string> m_BadBandTexts;
    std::vector<std::exception_ptr> m_QueuedErrors;
    platform::TimerId m_ReportTimer = 0;
};

// Stacks the three grids under the header in the order top, middle, bottom: each starts at the
// bottom edge of the visible grid above it (the first at 32) and is tall enough for its title
// row and every job of its view; a grid without jobs is hidden with height 0. Also rewrites the
// header. Once a showing has set the lists' filters, a list whose filter is not in force counts
// as having no jobs, in its grid and in the header.
//
// When that is taller than the window, each grid is only as tall as its title row and rows need;
// when that is still too tall, the lists share the window: each list with jobs keeps its title
// row and at least five rows (all of them when it has fewer), the rows are shared so that the
// list with the most pages has as few as can be, and the rows left over go to the lists from the
// top down. A list that then cannot show every job pages through them, starting at its first
// page; TurnPages shows the next page at each tick.
void ArrangeGrids();

// Moves every paged list on to its next page, after its last page back to its first.
void TurnPages();

// "Active Jobs - Jewish(Top) : N | Special date(Middle) : N | Interment(Bottom) : N".
std::string BoardHeaderText(int jewish, int specialDate, int interment);

// Whether the nightly close is due at 'now': after 00:01:01.001 and before 01:00:00.000 of its
// day, read to the whole millisecond (00:01:01.002 and 00:59:59.999 close, the two ends do not).
bool NightlyCloseDue(TDateTime now);

// The main window and the data module; each is assigned before its object is built.
extern TActiveJobsForm* ActiveJobsForm;
extern TJobsDM* JobsDM;

} // namespace ws
