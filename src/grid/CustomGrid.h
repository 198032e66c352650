#pragma once

// A general grid of cells inside a sunken two-pixel client edge: columns and rows of individual
// sizes, leading fixed columns and rows that never scroll, grid lines after every column and row,
// and the first scrollable row and column shown (TopRow, LeftCol). It knows nothing of data; it
// lays cells out and walks them when painting.

#include "ui/WinControl.h"

#include <vector>

namespace ws {

class TCustomGrid : public TWinControl {
public:
    WS_CLASS_INFO()

    // Pixels of the sunken client edge on each side.
    static constexpr int BorderWidth = 2;

    explicit TCustomGrid(TComponent* owner);

    int ColCount() const { return static_cast<int>(m_ColWidths.size()); }
    void SetColCount(int count);
    int RowCount() const { return static_cast<int>(m_RowHeights.size()); }
    void SetRowCount(int count);
    int FixedCols() const { return m_FixedCols; }
    void SetFixedCols(int count);
    int FixedRows() const { return m_FixedRows; }
    void SetFixedRows(int count);
    int DefaultColWidth() const { return m_DefaultColWidth; }
    void SetDefaultColWidth(int width);
    // Changing it gives every row the new height, discarding individual heights.
    int DefaultRowHeight() const { return m_DefaultRowHeight; }
    void SetDefaultRowHeight(int height);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int GridLineWidth() const { return m_GridLineWidth; }
    void SetGridLineWidth(int width);
    int TopRow() const { return m_TopRow; }
    void SetTopRow(int row);
    int LeftCol() const { return m_LeftCol; }
    void SetLeftCol(int col);
    // The current cell.
    int Col() const { return m_Col; }
    void SetCol(int col);
    int Row() const { return m_Row; }
    void SetRow(int row);

    // The area inside the border.
    int ClientWidth() const;
    int ClientHeight() const;
    // A cell in client coordinates; empty when the cell is scrolled out of view or does not exist.
    TRect CellRect(int col, int row) const;
    // Scrollable rows whose bottom edge lies inside the client height (their line may be cut off).
    int VisibleRowCount() const;
    // The cell at a point in client coordinates; false when the point lies on no cell.
    bool MouseCell(TPoint at, int& col, int& row) const;

    // Widths of the line after a column and after a row.
    virtual int VertLineWidth(int col) const;
    virtual int HorzLineWidth(int row) const;
    // Height kept free at the bottom of the client area (for a footer row).
    virtual int FooterAreaHeight() const { return 0; }

protected:
    void Paint(TCanvas& canvas) override;
    // Paints one cell; `rect` is in the canvas's coordinates. The base fills it.
    virtual void DrawCell(TCanvas& canvas, int col, int row, const TRect& rect);
    virtual void PaintBackground(TCanvas& canvas);
    // A column width changed through SetColWidths.
    virtual void ColWidthsChanged() {}
    void PaintBorder(TCanvas& canvas);

private:
    void PaintLines(TCanvas& canvas);
    int ColumnLeft(int col) const;
    // The left edge of every column, kOffView (-1) for one scrolled out of view.
    std::vector<int> ColumnLefts() const;
    int RowTop(int row) const;

    std::vector<int> m_ColWidths;
    std::vector<int> m_RowHeights;
    int m_FixedCols = 0;
    int m_FixedRows = 0;
    int m_DefaultColWidth = 64;
    int m_DefaultRowHeight = 24;
    int m_GridLineWidth = 1;
    int m_TopRow = 0;
    int m_LeftCol = 0;
    int m_Col = 0;
    int m_Row = 0;
};

} // namespace ws
