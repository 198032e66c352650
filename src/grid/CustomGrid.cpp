#include "grid/CustomGrid.h"

#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

namespace {

constexpr int kInitialCount = 5;
constexpr int kOffView = -1;

} // namespace

const TClassInfo& TCustomGrid::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCustomGrid>("TCustomGrid", TWinControl::StaticClassInfo()).Build();
    return info;
}

TCustomGrid::TCustomGrid(TComponent* owner)
    : TWinControl(owner), m_ColWidths(kInitialCount, 64), m_RowHeights(kInitialCount, 24) {
    SetColor(clWindow);
}

void TCustomGrid::SetColCount(int count) {
    count = std::max(count, 1);
    m_ColWidths.resize(static_cast<std::size_t>(count), m_DefaultColWidth);
    m_FixedCols = std::min(m_FixedCols, count);
    m_LeftCol = std::clamp(m_LeftCol, m_FixedCols, count - 1);
    m_Col = std::clamp(m_Col, 0, count - 1);
    Invalidate();
}

void TCustomGrid::SetRowCount(int count) {
    count = std::max(count, 1);
    m_RowHeights.resize(static_cast<std::size_t>(count), m_DefaultRowHeight);
    m_FixedRows = std::min(m_FixedRows, count);
    m_TopRow = std::clamp(m_TopRow, m_FixedRows, count - 1);
    m_Row = std::clamp(m_Row, 0, count - 1);
    Invalidate();
}

void TCustomGrid::SetFixedCols(int count) {
    m_FixedCols = std::clamp(count, 0, ColCount());
    m_LeftCol = std::max(m_LeftCol, m_FixedCols);
}

void TCustomGrid::SetFixedRows(int count) {
    m_FixedRows = std::clamp(count, 0, RowCount());
    m_TopRow = std::max(m_TopRow, m_FixedRows);
    m_Row = std::max(m_Row, std::min(m_FixedRows, RowCount() - 1));
}

void TCustomGrid::SetDefaultColWidth(int width) {
    m_DefaultColWidth = width;
    std::fill(m_ColWidths.begin(), m_ColWidths.end(), width);
    Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
    m_DefaultRowHeight = height;
    std::fill(m_RowHeights.begin(), m_RowHeights.end(), height);
    Invalidate();
}

int TCustomGrid::ColWidths(int col) const {
    if (col < 0 || col >= ColCount())
        return m_DefaultColWidth;
    return m_ColWidths[static_cast<std::size_t>(col)];
}

void TCustomGrid::SetColWidths(int col, int width) {
    if (col < 0 || col >= ColCount() || m_ColWidths[static_cast<std::size_t>(col)] == width)
        return;
    m_ColWidths[static_cast<std::size_t>(col)] = width;
    Invalidate();
    ColWidthsChanged();
}

int TCustomGrid::RowHeights(int row) const {
    if (row < 0 || row >= RowCount())
        return m_DefaultRowHeight;
    return m_RowHeights[static_cast<std::size_t>(row)];
}

void TCustomGrid::SetRowHeights(int row, int height) {
    if (row < 0 || row >= RowCount())
        return;
    m_RowHeights[static_cast<std::size_t>(row)] = height;
    Invalidate();
}

void TCustomGrid::SetGridLineWidth(int width) {
    m_GridLineWidth = std::max(width, 0);
    Invalidate();
}

void TCustomGrid::SetTopRow(int row) {
    m_TopRow = std::clamp(row, m_FixedRows, std::max(m_FixedRows, RowCount() - 1));
    Invalidate();
}

void TCustomGrid::SetLeftCol(int col) {
    m_LeftCol = std::clamp(col, m_FixedCols, std::max(m_FixedCols, ColCount() - 1));
    Invalidate();
}

void TCustomGrid::SetCol(int col) {
    m_Col = std::clamp(col, 0, ColCount() - 1);
    Invalidate();
}

void TCustomGrid::SetRow(int row) {
    m_Row = std::clamp(row, 0, RowCount() - 1);
    Invalidate();
}

int TCustomGrid::ClientWidth() const {
    return std::max(0, Width() - 2 * BorderWidth);
}

int TCustomGrid::ClientHeight() const {
    return std::max(0, Height() - 2 * BorderWidth);
}

int TCustomGrid::VertLineWidth(int) const {
    return m_GridLineWidth;
}

int TCustomGrid::HorzLineWidth(int) const {
    return m_GridLineWidth;
}

// Left edge of a column in client coordinates, kOffView when it is scrolled out of view.
int TCustomGrid::ColumnLeft(int col) const {
    if (col >= m_FixedCols && col < m_LeftCol)
        return kOffView;
    int x = 0;
    for (int c = 0; c < col; ++c) {
        if (c >= m_FixedCols && c < m_LeftCol)
            continue;
        x += ColWidths(c) + VertLineWidth(c);
    }
    return x;
}

int TCustomGrid::RowTop(int row) const {
    if (row >= m_FixedRows && row < m_TopRow)
        return kOffView;
    int y = 0;
    for (int r = 0; r < row; ++r) {
        if (r >= m_FixedRows && r < m_TopRow)
            continue;
        y += RowHeights(r) + HorzLineWidth(r);
    }
    return y;
}

TRect TCustomGrid::CellRect(int col, int row) const {
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount())
        return {};
    const int x = ColumnLeft(col);
    const int y = RowTop(row);
    if (x == kOffView || y == kOffView)
        return {};
    return TRect{x, y, x + ColWidths(col), y + RowHeights(row)};
}

int TCustomGrid::VisibleRowCount() const {
    int top = 0;
    for (int r = 0; r < m_FixedRows; ++r)
        top += RowHeights(r) + HorzLineWidth(r);
    const int height = m_DefaultRowHeight;
    const int pitch = height + HorzLineWidth(m_FixedRows);
    const int room = ClientHeight() - FooterAreaHeight() - top - height;
    if (room < 0 || pitch <= 0)
        return 0;
    return room / pitch + 1;
}

bool TCustomGrid::MouseCell(TPoint at, int& col, int& row) const {
    for (int c = 0; c < ColCount(); ++c) {
        for (int r = 0; r < RowCount(); ++r) {
            const TRect cell = CellRect(c, r);
            if (at.x >= cell.left && at.x < cell.right && at.y >= cell.top && at.y < cell.bottom) {
                col = c;
                row = r;
                return true;
            }
        }
    }
    return false;
}

std::vector<int> TCustomGrid::ColumnLefts() const {
    std::vector<int> lefts(m_ColWidths.size(), kOffView);
    int x = 0;
    for (int c = 0; c < ColCount(); ++c) {
        if (c >= m_FixedCols && c < m_LeftCol)
            continue;
        lefts[static_cast<std::size_t>(c)] = x;
        x += ColWidths(c) + VertLineWidth(c);
    }
    return lefts;
}

void TCustomGrid::Paint(TCanvas& canvas) {
    PaintBackground(canvas);
    // Row tops grow down the grid: the walk ends at the first row that begins below the client.
    const std::vector<int> lefts = ColumnLefts();
    int top = 0;
    for (int r = 0; r < RowCount() && top < ClientHeight(); ++r) {
        if (r >= m_FixedRows && r < m_TopRow)
            continue;
        for (int c = 0; c < ColCount(); ++c) {
            const int left = lefts[static_cast<std::size_t>(c)];
            if (left == kOffView || ColWidths(c) <= 0)
                continue;
            const TRect cell{left + BorderWidth, top + BorderWidth, left + ColWidths(c) + BorderWidth,
                             top + RowHeights(r) + BorderWidth};
            DrawCell(canvas, c, r, cell);
        }
        top += RowHeights(r) + HorzLineWidth(r);
    }
    PaintLines(canvas);
    PaintBorder(canvas);
}

void TCustomGrid::PaintBackground(TCanvas& canvas) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(TControl::ClientRect());
}

void TCustomGrid::DrawCell(TCanvas& canvas, int, int, const TRect& rect) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(rect);
}

void TCustomGrid::PaintLines(TCanvas& canvas) {
    canvas.Pen().SetColor(clBtnFace);
    const int bottom = BorderWidth + ClientHeight();
    const int right = BorderWidth + ClientWidth();
    for (int c = 0; c < ColCount(); ++c) {
        const TRect cell = CellRect(c, 0);
        if (cell.right <= cell.left || VertLineWidth(c) == 0)
            continue;
        canvas.MoveTo(BorderWidth + cell.right, BorderWidth);
        canvas.LineTo(BorderWidth + cell.right, bottom);
    }
    int top = 0;
    for (int r = 0; r < RowCount() && top < ClientHeight(); ++r) {
        if (r >= m_FixedRows && r < m_TopRow)
            continue;
        const int rowBottom = top + RowHeights(r);
        top = rowBottom + HorzLineWidth(r);
        if (RowHeights(r) <= 0 || HorzLineWidth(r) == 0)
            continue;
        canvas.MoveTo(BorderWidth, BorderWidth + rowBottom);
        canvas.LineTo(right, BorderWidth + rowBottom);
    }
}

// The sunken client edge: shadow above and left, light below and right, two pixels deep.
void TCustomGrid::PaintBorder(TCanvas& canvas) {
    const int right = Width() - 1;
    const int bottom = Height() - 1;
    auto frame = [&](int inset, TColor topLeft, TColor bottomRight) {
        canvas.Pen().SetColor(topLeft);
        canvas.MoveTo(inset, bottom - inset);
        canvas.LineTo(inset, inset);
        canvas.LineTo(right - inset, inset);
        canvas.Pen().SetColor(bottomRight);
        canvas.MoveTo(right - inset, inset);
        canvas.LineTo(right - inset, bottom - inset);
        canvas.LineTo(inset - 1, bottom - inset);
    };
    frame(0, clBtnShadow, clBtnHighlight);
    frame(1, cl3DDkShadow, cl3DLight);
}

} // namespace ws
