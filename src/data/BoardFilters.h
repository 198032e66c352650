#pragma once

namespace ws {

// Gives the three listed views of JobsDM their filters and switches filtering on, in this order:
// JobsTable (active Jewish jobs), SpecialDateTable (active jobs with DateOffSet 3), Jobs2Table
// (active interment jobs not yet invoiced). Each switch re-reads its view from its first row.
// Does nothing while JobsDM does not exist.
void ApplyBoardFilters();

} // namespace ws
