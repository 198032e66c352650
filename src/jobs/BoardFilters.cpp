#include "jobs/BoardFilters.h"

#include "data/wsTable.h"
#include "jobs/JobsDM.h"

namespace ws {

namespace {

// Field names in filters are matched without regard to case, so "isJewish" finds IsJewish.
constexpr const char* kJewishJobs = "(IsActive=True) AND (isJewish=True)";
constexpr const char* kSpecialDateJobs = "(DateOffSet=3) AND (IsActive=True)";
// A job whose Invoiced flag was never set passes NOT(Invoiced): it is not invoiced.
constexpr const char* kUninvoicedInterments = "(IsActive=True) AND NOT(Invoiced) AND (IsInterment=True)";

void FilterView(TwsTable& view, const char* filter) {
    view.SetFilter(filter);
    view.SetFiltered(true);
}

bool InForce(const TDataSet& view, const char* filter) {
    return view.Filter() == filter && view.Filtered() && view.FiltersInForce();
}

} // namespace

bool BoardFilterInForce(const TDataSet& view) {
    if (!JobsDM)
        return false;
    if (&view == JobsDM->JobsTable())
        return InForce(view, kJewishJobs);
    if (&view == JobsDM->SpecialDateTable())
        return InForce(view, kSpecialDateJobs);
    if (&view == JobsDM->Jobs2Table())
        return InForce(view, kUninvoicedInterments);
    return false;
}

bool BoardFiltersInForce() {
    return JobsDM && BoardFilterInForce(*JobsDM->JobsTable()) &&
           BoardFilterInForce(*JobsDM->SpecialDateTable()) && BoardFilterInForce(*JobsDM->Jobs2Table());
}

void ApplyBoardFilters() {
    if (!JobsDM)
        return;
    FilterView(*JobsDM->JobsTable(), kJewishJobs);
    FilterView(*JobsDM->SpecialDateTable(), kSpecialDateJobs);
    FilterView(*JobsDM->Jobs2Table(), kUninvoicedInterments);
}

} // namespace ws
