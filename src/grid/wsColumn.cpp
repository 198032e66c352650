#include "grid/wsColumn.h"

#include "grid/ColumnStrings.h"
#include "grid/wsCustomDBGrid.h"

namespace ws {

TwsColumn::TwsColumn(TwsCustomDBGrid* grid, std::string fieldName)
    : m_Grid(grid), m_FieldName(std::move(fieldName)) {}

const std::string* TwsColumn::Line() const {
    return IsEmpty() ? nullptr : m_Grid->FieldLine(m_FieldName);
}

void TwsColumn::SetFooterValue(const std::string& value) {
    if (IsEmpty() || value == m_FooterValue)
        return;
    m_FooterValue = value;
    m_Grid->Invalidate();
}

int TwsColumn::DisplayWidth() const {
    const std::string* line = Line();
    return line ? ColumnLineWidth(*line) : 0;
}

void TwsColumn::SetDisplayWidth(int width) {
    std::string* line = IsEmpty() ? nullptr : m_Grid->FieldLine(m_FieldName);
    if (line == nullptr)
        return;
    *line = RebuildColumnLine(*line, width);
    m_Grid->LayoutColumnWidths();
}

std::string TwsColumn::DisplayLabel() const {
    const std::string* line = Line();
    return line ? LineToken(*line, 3) : std::string();
}

bool TwsColumn::ReadOnly() const {
    const std::string* line = Line();
    return line != nullptr && LineToken(*line, 4) == "T";
}

std::string TwsColumn::GroupName() const {
    const std::string* line = Line();
    return line ? LineToken(*line, 5) : std::string();
}

} // namespace ws
