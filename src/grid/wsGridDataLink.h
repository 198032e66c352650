#pragma once

// The grid's link to its data source. Besides passing the data set's notifications on to the
// grid, it holds the field map: for each data column, in order, the index of the data set field
// it shows.

#include "data/DataLink.h"

#include <vector>

namespace ws {

class TField;
class TwsCustomDBGrid;

class TwsGridDataLink : public TDataLink {
public:
    // Room for this many entries at most; adding one more fails.
    static constexpr int MaxMappedFields = 16380;

    explicit TwsGridDataLink(TwsCustomDBGrid& grid);

    int MappedCount() const { return static_cast<int>(m_FieldMap.size()); }
    // The field of data column i, or null when i is not below the mapped count.
    TField* Fields(int i) const;
    // Appends a field of the data set; EInvalidGridOperation once the map is full.
    void AddMapping(TField* field);
    void ClearMapping() { m_FieldMap.clear(); }

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;

private:
    TwsCustomDBGrid& m_Grid;
    std::vector<int> m_FieldMap;
};

} // namespace ws
