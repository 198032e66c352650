#pragma once

// One displayed column of a data grid. It holds only the field it shows and its footer text; its
// width, title, read-only flag and group name are read from (and written to) the field's line of
// the grid's Selected strings whenever they are asked for, so the lines stay the one record.

#include <string>

namespace ws {

class TwsCustomDBGrid;

class TwsColumn {
public:
    // A grid's empty column (no grid, no field) reads as empty and ignores writes.
    TwsColumn() = default;
    TwsColumn(TwsCustomDBGrid* grid, std::string fieldName);

    const std::string& FieldName() const { return m_FieldName; }
    TwsCustomDBGrid* Grid() const { return m_Grid; }
    bool IsEmpty() const { return m_Grid == nullptr || m_FieldName.empty(); }

    const std::string& FooterValue() const { return m_FooterValue; }
    void SetFooterValue(const std::string& value);

    int DisplayWidth() const;
    // Rewrites the width token of the field's line and lays the column widths out again.
    void SetDisplayWidth(int width);
    std::string DisplayLabel() const;
    bool ReadOnly() const;
    std::string GroupName() const;

private:
    const std::string* Line() const;

    TwsCustomDBGrid* m_Grid = nullptr;
    std::string m_FieldName;
    std::string m_FooterValue;
};

} // namespace ws
