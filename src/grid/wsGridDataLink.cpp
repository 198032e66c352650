#include "grid/wsGridDataLink.h"

#include "data/DataSet.h"
#include "grid/GridErrors.h"
#include "grid/wsCustomDBGrid.h"

namespace ws {

namespace {

constexpr std::size_t kInitialRoom = 8;

} // namespace

TwsGridDataLink::TwsGridDataLink(TwsCustomDBGrid& grid) : m_Grid(grid) {
    SetVisualControl(true);
    m_FieldMap.reserve(kInitialRoom);
}

TField* TwsGridDataLink::Fields(int i) const {
    TDataSet* ds = DataSource() ? DataSet() : nullptr;
    if (ds == nullptr || i < 0 || i >= MappedCount())
        return nullptr;
    const int index = m_FieldMap[static_cast<std::size_t>(i)];
    return index < ds->FieldCount() ? ds->Fields(index) : nullptr;
}

void TwsGridDataLink::AddMapping(TField* field) {
    // The message names a smaller number than the limit; callers know it by that text.
    if (MappedCount() >= MaxMappedFields)
        throw EInvalidGridOperation("Grid requested to display more than 256 columns");
    TDataSet* ds = DataSet();
    for (int i = 0; ds != nullptr && i < ds->FieldCount(); ++i) {
        if (ds->Fields(i) == field) {
            m_FieldMap.push_back(i);
            return;
        }
    }
}

void TwsGridDataLink::ActiveChanged() {
    m_Grid.ActiveChanged({});
}

void TwsGridDataLink::DataSetChanged() {
    m_Grid.DataSetChanged({});
}

void TwsGridDataLink::DataSetScrolled(int distance) {
    m_Grid.DataSetScrolled({}, distance);
}

void TwsGridDataLink::LayoutChanged() {
    m_Grid.LayoutChanged({});
}

void TwsGridDataLink::RecordChanged(TField*) {
    m_Grid.RecordChanged({});
}

} // namespace ws
