#pragma once

namespace ws {

class TDataSet;

// Gives the three listed views of JobsDM their filters and switches filtering on, in this order:
// JobsTable (active Jewish jobs), SpecialDateTable (active jobs with DateOffSet 3), Jobs2Table
// (active interment jobs not yet invoiced). Each switch re-reads its view from its first row.
// Does nothing while JobsDM does not exist.
void ApplyBoardFilters();

// Whether the view is one of the three listed views and its list's filter is set, switched on
// and in force in the engine. False for any view while JobsDM does not exist.
bool BoardFilterInForce(const TDataSet& view);
// Whether all three lists' filters are in force.
bool BoardFiltersInForce();

} // namespace ws
