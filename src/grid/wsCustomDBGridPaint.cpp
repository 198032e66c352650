// The data grid's paint pass: cells in four regions, each cell from its own state and hooks, then
// the grid lines, the areas no cell covers and the focus rectangle.

#include "data/DataSet.h"
#include "data/Field.h"
#include "data/FieldType.h"
#include "grid/wsCheckBox.h"
#include "grid/wsCustomDBGrid.h"
#include "platform/PixelCanvas.h"
#include "platform/SystemColors.h"

#include <algorithm>
#include <cmath>

namespace ws {

namespace {

using TDrawFlag = TGridDrawStateFlag;

constexpr int kPlatformBorderHeight = 1;

constexpr int kOffView = -1;

bool IsEmpty(const TRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// What a cell's paint can touch: its rectangle, the pixel column left of it (a title's fill) and
// the pixel rows above and below it (its row line, the fill of a cell without text).
TRect PaintedExtent(const TRect& cell) {
    return TRect{cell.left - 1, cell.top - 1, cell.right + 1, cell.bottom + 1};
}

TRect TextRect(const TRect& r, int dx, int dy, TAlignment alignment) {
    const int bottom = r.bottom - 1;
    switch (alignment) {
    case TAlignment::taRightJustify:
        return TRect{r.left + dx, r.top + dy, r.right - 2, bottom};
    case TAlignment::taCenter:
        return TRect{r.left + (dx < 3 ? 0 : 2), r.top + dy, r.right, bottom};
    case TAlignment::taLeftJustify:
        break;
    }
    return TRect{r.left + dx, r.top + dy, r.right, bottom};
}

unsigned AlignmentFlag(TAlignment alignment) {
    switch (alignment) {
    case TAlignment::taRightJustify:
        return platform::tfRight;
    case TAlignment::taCenter:
        return platform::tfCenter;
    case TAlignment::taLeftJustify:
        break;
    }
    return platform::tfLeft;
}

} // namespace

// Puts the table view on a buffered row for as long as it lives, and back on the row it was on,
// however the scope is left.
class TwsCustomDBGrid::TRecordPosition {
public:
    TRecordPosition(TwsGridDataLink& link, int dataRow) : m_Link(link) {
        if (!m_Link.Active() || dataRow < 0)
            return;
        m_Saved = m_Link.ActiveRecord();
        m_Link.SetActiveRecord(dataRow);
        m_Moved = true;
    }
    ~TRecordPosition() {
        if (m_Moved)
            m_Link.SetActiveRecord(m_Saved);
    }
    TRecordPosition(const TRecordPosition&) = delete;
    TRecordPosition& operator=(const TRecordPosition&) = delete;

private:
    TwsGridDataLink& m_Link;
    int m_Saved = 0;
    bool m_Moved = false;
};

// ---- properties ------------------------------------------------------------------------------------------

void TwsCustomDBGrid::SetLineStyle(TwsGridLineStyle style) {
    m_LineStyle = style;
    Invalidate();
}

void TwsCustomDBGrid::SetLineColors(const TwsGridLineColors& colors) {
    m_LineColors = colors;
    Invalidate();
}

void TwsCustomDBGrid::SetPadColumnStyle(TwsPadColumnStyle style) {
    m_PadColumnStyle = style;
    Invalidate();
}

void TwsCustomDBGrid::SetHideAllLines(bool value) {
    m_HideAllLines = value;
    Invalidate();
}

void TwsCustomDBGrid::SetActiveRecordColor(TColor color) {
    m_ActiveRecordColor = color;
    Invalidate();
}

// ---- questions the cell paint asks -----------------------------------------------------------------------

int TwsCustomDBGrid::LastFullRow() const {
    int y = 0;
    for (int r = 0; r < FixedRows(); ++r)
        y += RowHeights(r) + HorzLineWidth(r);
    const int limit = ClientHeight() + GridLineWidth();
    int last = TopRow();
    for (int r = TopRow(); r < RowCount(); ++r) {
        y += RowHeights(r) + HorzLineWidth(r);
        if (y > limit && r != TopRow())
            break;
        last = r;
    }
    return last;
}

int TwsCustomDBGrid::LastFullCol() const {
    int x = 0;
    for (int c = 0; c < TCustomGrid::FixedCols(); ++c)
        x += ColWidths(c) + VertLineWidth(c);
    const int limit = ClientWidth() + GridLineWidth();
    int last = LeftCol();
    for (int c = LeftCol(); c < ColCount(); ++c) {
        x += ColWidths(c) + VertLineWidth(c);
        if (x > limit && c != LeftCol())
            break;
        last = c;
    }
    return last;
}

bool TwsCustomDBGrid::AllColumnsFit() const {
    return LeftCol() == TCustomGrid::FixedCols() && LastFullCol() == ColCount() - 1;
}

std::string TwsCustomDBGrid::CellDisplayText(TField* field) const {
    if (field == nullptr)
        return {};
    // A memo's text can be long and many lines; the cell only says there is one.
    if (field->DataType() == ftMemo)
        return "(Memo)";
    return field->DisplayText();
}

bool TwsCustomDBGrid::GridFocused() const {
    return HandleAllocated() && Platform() != nullptr && Platform()->Focus() == Handle();
}

bool TwsCustomDBGrid::CellHighlighted(int, int row, TGridDrawState state) const {
    const bool currentRow = row == Row();
    bool highlight = state.Contains(TDrawFlag::gdSelected) || (currentRow && m_ActiveRecordColor != clNone);
    // Only the grid's own focus counts; a custom control of the grid never takes it here, as the
    // controls stay hidden and are painted as copies.
    if (!m_Options.Contains(TwsDBGridOption::dgAlwaysShowSelection))
        highlight = highlight && GridFocused();
    return highlight;
}

bool TwsCustomDBGrid::UsesControlPaint(int col) const {
    const int i = col - m_IndicatorOffset;
    TField* field = i >= 0 ? m_DataLink.Fields(i) : nullptr;
    if (field == nullptr)
        return false;
    const std::string kind = ControlTypeOf(field->FieldName()).Kind;
    if (kind != "CustomEdit" && kind != "RichEdit")
        return false;
    TWinControl* control = FindEditControl(col, m_TitleOffset);
    if (control == nullptr)
        return false;
    const std::size_t c = static_cast<std::size_t>(col);
    if (c < m_ColumnCache.size() && m_ColumnCache[c].PaintInAllCells)
        return true;
    for (const char* name : {"TwsCheckbox", "TwsExpandButton", "TwsRadioGroup", "TwsMonthCalendar"}) {
        if (control->InheritsFrom(name))
            return true;
    }
    return false;
}

bool TwsCustomDBGrid::ColorIsWhite(TColor color) const {
    if (color == clNone || platform::IsColorMarker(color))
        return false;
    const platform::Pixel p = platform::ResolveColor(color);
    return platform::PixelRed(p) == 255 && platform::PixelGreen(p) == 255 && platform::PixelBlue(p) == 255;
}

void TwsCustomDBGrid::RecordPaintedCell(int dataRow, TwsPaintedCell cell) {
    if (m_PaintedRows.empty() || m_PaintedRows.back().DataRow != dataRow)
        m_PaintedRows.push_back(TwsPaintedRow{dataRow, {}});
    m_PaintedRows.back().Cells.push_back(std::move(cell));
}

// ---- the pass's geometry ---------------------------------------------------------------------------------

void TwsCustomDBGrid::BeginPass(const TRect& region, const TRect& visible) {
    m_Pass.Region = region;
    m_Pass.Visible = visible;
    m_Pass.LastFullRow = LastFullRow();
    m_Pass.ColLefts.assign(static_cast<std::size_t>(ColCount()), kOffView);
    int x = 0;
    for (int c = 0; c < ColCount(); ++c) {
        if (c >= TCustomGrid::FixedCols() && c < LeftCol())
            continue;
        m_Pass.ColLefts[static_cast<std::size_t>(c)] = x;
        x += ColWidths(c) + VertLineWidth(c);
    }
    // Rows that begin below the region cannot reach into it: their tops are never needed.
    m_Pass.RowTops.clear();
    int y = 0;
    for (int r = 0; r < RowCount() && y < region.bottom; ++r) {
        if (r >= FixedRows() && r < TopRow()) {
            m_Pass.RowTops.push_back(kOffView);
            continue;
        }
        m_Pass.RowTops.push_back(y);
        y += RowHeights(r) + HorzLineWidth(r);
    }
}

// CellRect from the pass's geometry; empty for a row that begins below the region.
TRect TwsCustomDBGrid::PassCellRect(int col, int row) const {
    if (col < 0 || row < 0 || static_cast<std::size_t>(col) >= m_Pass.ColLefts.size() ||
        static_cast<std::size_t>(row) >= m_Pass.RowTops.size())
        return {};
    const int x = m_Pass.ColLefts[static_cast<std::size_t>(col)];
    const int y = m_Pass.RowTops[static_cast<std::size_t>(row)];
    if (x == kOffView || y == kOffView)
        return {};
    return TRect{x, y, x + ColWidths(col), y + RowHeights(row)};
}

// A pass that repaints only part of the grid leaves the other cells on the screen as the passes
// before drew them; so the account keeps those, as long as they are still inside the window.
void TwsCustomDBGrid::KeepUnrepaintedRows(std::vector<TwsPaintedRow> previous) {
    bool kept = false;
    for (TwsPaintedRow& old : previous) {
        for (TwsPaintedCell& cell : old.Cells) {
            if (PaintedExtent(cell.Rect).Intersects(m_Pass.Region) || !cell.Rect.Intersects(m_Pass.Visible))
                continue;
            auto row = std::find_if(m_PaintedRows.begin(), m_PaintedRows.end(),
                                    [&](const TwsPaintedRow& r) { return r.DataRow == old.DataRow; });
            if (row == m_PaintedRows.end())
                row = m_PaintedRows.insert(m_PaintedRows.end(), TwsPaintedRow{old.DataRow, {}});
            row->Cells.push_back(std::move(cell));
            kept = true;
        }
    }
    if (!kept)
        return;
    std::sort(m_PaintedRows.begin(), m_PaintedRows.end(),
              [](const TwsPaintedRow& a, const TwsPaintedRow& b) { return a.DataRow < b.DataRow; });
    for (TwsPaintedRow& row : m_PaintedRows)
        std::stable_sort(
            row.Cells.begin(), row.Cells.end(),
            [](const TwsPaintedCell& a, const TwsPaintedCell& b) { return a.Rect.left < b.Rect.left; });
}

// ---- the pass --------------------------------------------------------------------------------------------

void TwsCustomDBGrid::Paint(TCanvas& canvas) {
    // A hook that makes the window paint at once gets nothing: the pass is still under way.
    if (m_PaintingCell)
        return;
    platform::PixelCanvas& surface = canvas.Handle();
    surface.Save();
    const TPoint origin = surface.Origin();
    surface.SetOrigin(TPoint{origin.x + BorderWidth, origin.y + BorderWidth});
    surface.IntersectClipRect(TRect{0, 0, ClientWidth(), ClientHeight()});
    PaintClient(canvas);
    surface.Restore();
    PaintBorder(canvas);
}

void TwsCustomDBGrid::PaintClient(TCanvas& canvas) {
    // The region being repainted, inside the window and the client area, in client coordinates;
    // cells outside it are not painted, and rows below it are not even walked.
    platform::PixelCanvas& target = canvas.Handle();
    const TPoint origin = target.Origin();
    const TRect client{0, 0, ClientWidth(), ClientHeight()};
    const TRect region = target.ClipRect().Offset(-origin.x, -origin.y).Intersect(client);
    const platform::Image& image = target.Target();
    const TRect visible =
        TRect{0, 0, image.Width(), image.Height()}.Offset(-origin.x, -origin.y).Intersect(client);
    BeginPass(region, visible);
    std::vector<TwsPaintedRow> previous = std::move(m_PaintedRows);
    m_PaintedRows.clear();
    // A column's first data row sets its entry again when it is painted; one outside the region
    // keeps the entry of the pass that drew what is on the screen.
    if (m_ColumnLight.size() != static_cast<std::size_t>(ColCount()))
        m_ColumnLight.assign(static_cast<std::size_t>(ColCount()), true);
    for (int c = 0; c < ColCount(); ++c) {
        const TRect first = PassCellRect(c, m_TitleOffset);
        if (IsEmpty(first) || PaintedExtent(first).Intersects(region))
            m_ColumnLight[static_cast<std::size_t>(c)] = true;
    }
    struct TKeep {
        TwsCustomDBGrid& grid;
        std::vector<TwsPaintedRow>& previous;
        ~TKeep() { grid.KeepUnrepaintedRows(std::move(previous)); }
    } keep{*this, previous};
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Handle().FillRect(TRect{0, 0, ClientWidth(), ClientHeight()}, Color());
    const bool active = m_DataLink.Active();
    if (!active)
        PaintInactiveBackground(canvas);
    if (OnBeforePaint)
        OnBeforePaint(this);
    PaintCells(canvas);
    if (!active) {
        if (!m_HideAllLines && m_Options.Contains(TwsDBGridOption::dgTitles))
            PaintTitleEdges(canvas);
        return;
    }
    PaintPadArea(canvas);
    PaintLines(canvas);
    PaintPageIndicator(canvas);
    PaintFocusRect(canvas);
}

void TwsCustomDBGrid::PaintPageIndicator(TCanvas& canvas) {
    // White on navy in the title font: it must stand out from the blue titles across a room.
    const TRect r = PageIndicatorRect();
    if (r.IsEmpty())
        return;
    canvas.Handle().FillRect(r, clNavy);
    canvas.Font().Assign(m_TitleFont);
    canvas.Font().SetColor(clWhite);
    TRect text = r;
    text.top += std::max(0, (r.Height() - MeasureText(m_TitleFont, "W").cy) / 2);
    canvas.DrawText(PageIndicatorText(), text,
                    platform::tfCenter | platform::tfSingleLine | platform::tfNoPrefix);
}

void TwsCustomDBGrid::PaintInactiveBackground(TCanvas& canvas) {
    platform::PixelCanvas& surface = canvas.Handle();
    surface.FillRect(TRect{0, 0, ClientWidth(), ClientHeight()}, m_TitleColor);
    int top = 0;
    for (int r = 0; r < FixedRows(); ++r)
        top += RowHeights(r) + HorzLineWidth(r);
    int left = 0;
    for (int c = 0; c < TCustomGrid::FixedCols(); ++c)
        left += ColWidths(c) + VertLineWidth(c);
    surface.FillRect(TRect{left, top, ClientWidth(), ClientHeight()}, Color());
}

void TwsCustomDBGrid::PaintCells(TCanvas& canvas) {
    const int fixedCols = TCustomGrid::FixedCols();
    const int fixedRows = FixedRows();
    PaintRegion(canvas, 0, fixedCols, 0, fixedRows, true);
    PaintRegion(canvas, LeftCol(), ColCount(), 0, fixedRows, true);
    if (!m_DataLink.Active() || m_DataLink.RecordCount() == 0)
        return;
    PaintRegion(canvas, 0, fixedCols, TopRow(), RowCount(), true);
    PaintRegion(canvas, LeftCol(), ColCount(), TopRow(), RowCount(), false);
}

void TwsCustomDBGrid::PaintRegion(TCanvas& canvas, int firstCol, int endCol, int firstRow, int endRow,
                                  bool fixed) {
    const bool focused = GridFocused();
    // Rows that begin below the region being repainted have no tops in the pass.
    endRow = std::min(endRow, static_cast<int>(m_Pass.RowTops.size()));
    for (int row = firstRow; row < endRow; ++row) {
        for (int col = firstCol; col < endCol; ++col) {
            const TRect rect = PassCellRect(col, row);
            if (IsEmpty(rect) || rect.left >= ClientWidth())
                break;
            if (rect.top >= ClientHeight())
                return;
            if (!PaintedExtent(rect).Intersects(m_Pass.Region))
                continue;
            TGridDrawState state;
            if (fixed)
                state.Include(TDrawFlag::gdFixed);
            if (!fixed && col == Col() && row == Row()) {
                state.Include(TDrawFlag::gdSelected);
                if (focused)
                    state.Include(TDrawFlag::gdFocused);
            }
            PaintCell(canvas, col, row, rect, state);
        }
    }
}

void TwsCustomDBGrid::PaintCell(TCanvas& canvas, int col, int row, TRect rect, TGridDrawState state) {
    const int dataRow = row - m_TitleOffset;
    if (row > m_Pass.LastFullRow)
        return;
    if (dataRow >= 0 && m_DataLink.Active() && m_DataLink.RecordCount() > 0 &&
        dataRow >= m_DataLink.RecordCount())
        return;
    // A hook that asks for a repaint while a cell is being painted gets nothing.
    if (m_PaintingCell)
        return;
    m_PaintingCell = true;
    struct TClear {
        bool& flag;
        ~TClear() { flag = false; }
    } clear{m_PaintingCell};

    rect.right = std::min(rect.right, 2 * Width());
    const bool fixed = state.Contains(TDrawFlag::gdFixed);
    canvas.Font().Assign(fixed ? static_cast<const TFont&>(m_TitleFont) : Font());
    m_CellInfo = TwsCustomDrawGridCellInfo{};
    m_CellInfo.Rect = rect;
    m_CellInfo.State = state;
    m_CellInfo.Field = DataColumnField(col - m_IndicatorOffset);
    m_CellInfo.DataCol = col - m_IndicatorOffset;
    m_CellInfo.DataRow = dataRow;
    if (OnBeforeDrawCell) {
        TRecordPosition position(m_DataLink, dataRow);
        OnBeforeDrawCell(this, m_CellInfo);
    }
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(fixed ? m_TitleColor : Color());
    if (!fixed && dataRow >= 0 && UsesControlPaint(col)) {
        PaintControlCell(canvas, col, row, rect, state);
        return;
    }
    if (row < m_TitleOffset)
        PaintTitleCell(canvas, col, rect, state);
    else if (fixed)
        canvas.FillRect(rect);
    else
        PaintDataCell(canvas, col, row, rect, state);
}

void TwsCustomDBGrid::PaintTitleCell(TCanvas& canvas, int col, const TRect& rect, TGridDrawState) {
    const TwsColumn& column = ColumnByIndex(col - m_IndicatorOffset);
    const std::string text = column.DisplayLabel();
    TAlignment alignment = m_TitleAlignment;
    const TColor before = canvas.Brush().Color();
    if (OnCalcTitleAttributes)
        OnCalcTitleAttributes(this, column.FieldName(), &canvas.Font(), &canvas.Brush(), alignment);
    m_BrushWasChanged = canvas.Brush().Color() != before;
    if (m_CellInfo.PaintBackground) {
        if (m_BrushWasChanged)
            canvas.FillRect(rect);
        else
            canvas.Handle().FillRect(TRect{rect.left - 1, rect.top, rect.right, rect.bottom}, m_TitleColor);
    }
    bool defaultDrawing = true;
    if (OnDrawTitleCell)
        OnDrawTitleCell(this, canvas, m_CellInfo.Field, rect, defaultDrawing);
    if (defaultDrawing)
        WriteTitleText(canvas, rect, text, alignment);
    if (OnAfterDrawCell)
        OnAfterDrawCell(this, m_CellInfo);
}

void TwsCustomDBGrid::PaintDataCell(TCanvas& canvas, int col, int row, const TRect& rect,
                                    TGridDrawState state) {
    TField* field = m_CellInfo.Field;
    const int dataRow = row - m_TitleOffset;
    bool highlight = false;
    {
        TRecordPosition position(m_DataLink, dataRow);
        const std::string text = CellDisplayText(field);
        highlight = CellHighlighted(col, row, state);
        ApplyHighlight(canvas, col, row, highlight);
        CalcCellColors(canvas, field, state, highlight);
        // Fields carry no alignment of their own, so data texts are left justified.
        const TAlignment alignment = TAlignment::taLeftJustify;
        if (m_DefaultDrawing && !m_CellInfo.PaintText)
            canvas.FillRect(TRect{rect.left, rect.top - 1, rect.right, rect.bottom + 1});
        if (m_DefaultDrawing && m_CellInfo.PaintText)
            WriteDataText(canvas, rect, text, alignment, highlight || m_BrushWasChanged);
        RecordPaintedCell(dataRow, TwsPaintedCell{field ? field->FieldName() : std::string{}, text,
                                                  canvas.Font().Color(), canvas.Brush().Color(), -1, rect});
        if (OnDrawDataCell) {
            // An owner-draw hook that fails costs its own drawing, never the rest of the grid.
            try {
                OnDrawDataCell(this, rect, field, state);
            } catch (...) {
            }
        }
    }
    DrawRowLine(canvas, col, row, rect, highlight);
    if (OnAfterDrawCell)
        OnAfterDrawCell(this, m_CellInfo);
}

void TwsCustomDBGrid::PaintControlCell(TCanvas& canvas, int col, int row, TRect rect, TGridDrawState state) {
    TField* field = m_CellInfo.Field;
    TWinControl* control = FindEditControl(col, row);
    const int dataRow = row - m_TitleOffset;
    if (m_CellInfo.PaintBackground)
        canvas.FillRect(rect);
    rect = TRect::FromSize(rect.left, rect.top, ColWidths(col), DefaultRowHeight());
    bool highlight = false;
    {
        TRecordPosition position(m_DataLink, dataRow);
        const bool current = col == Col() && row == Row();
        if (control == nullptr || (control->Visible() && current)) {
            DrawRowLine(canvas, col, row, rect, false);
            return;
        }
        if (control->Width() != rect.Width() || control->Height() != rect.Height())
            control->SetBounds(control->Left(), control->Top(), rect.Width(), rect.Height());
        canvas.Brush().SetColor(state.Contains(TDrawFlag::gdFixed) ? m_TitleColor : Color());
        highlight = CellHighlighted(col, row, state);
        ApplyHighlight(canvas, col, row, highlight);
        CalcCellColors(canvas, field, state, highlight);
        if (highlight)
            canvas.FillRect(rect);
        bool paintControl = true;
        if (OnDrawDataCell) {
            try {
                OnDrawDataCell(this, rect, field, state);
            } catch (...) {
                paintControl = false;
            }
        }
        int image = -1;
        if (paintControl) {
            if (m_BrushWasChanged)
                canvas.FillRect(rect);
            if (auto* box = dynamic_cast<TwsCheckBox*>(control)) {
                platform::PixelCanvas& surface = canvas.Handle();
                surface.Save();
                const int inset = box->BorderStyle() != TBorderStyle::bsNone ? 1 : 0;
                const TPoint origin = surface.Origin();
                surface.SetOrigin(TPoint{origin.x + rect.left + inset, origin.y + rect.top + inset});
                surface.IntersectClipRect(TRect{0, 0, rect.Width(), rect.Height()});
                TCanvas copy(surface);
                copy.Font().Assign(box->Font());
                copy.Font().SetColor(canvas.Font().Color());
                image = box->PaintCopy(copy);
                surface.Restore();
            }
        }
        RecordPaintedCell(dataRow,
                          TwsPaintedCell{field ? field->FieldName() : std::string{}, std::string{},
                                         canvas.Font().Color(), canvas.Brush().Color(), image, rect});
    }
    DrawRowLine(canvas, col, row, rect, highlight);
    if (OnAfterDrawCell)
        OnAfterDrawCell(this, m_CellInfo);
}

void TwsCustomDBGrid::ApplyHighlight(TCanvas& canvas, int col, int row, bool highlight) const {
    if (!highlight)
        return;
    TColor brush = m_ActiveRecordColor != clNone ? m_ActiveRecordColor : clHighlight;
    if (!m_Options.Contains(TwsDBGridOption::dgRowSelect) && col == Col() && row == Row())
        brush = clHighlight;
    canvas.Brush().SetColor(brush);
    canvas.Font().SetColor(clHighlightText);
}

void TwsCustomDBGrid::CalcCellColors(TCanvas& canvas, TField* field, TGridDrawState state, bool highlight) {
    const TColor brushBefore = canvas.Brush().Color();
    const TColor fontBefore = canvas.Font().Color();
    if (OnCalcCellColors)
        OnCalcCellColors(this, field, state, highlight, &canvas.Font(), &canvas.Brush());
    // clNone is "no colour": a handler handing it on leaves the colour the cell already had,
    // rather than drawing the text (or filling the cell) in nothing at all.
    if (canvas.Font().Color() == clNone)
        canvas.Font().SetColor(fontBefore);
    if (canvas.Brush().Color() == clNone)
        canvas.Brush().SetColor(brushBefore);
    m_BrushWasChanged = canvas.Brush().Color() != brushBefore;
    m_LightBackground = ColorIsWhite(canvas.Brush().Color());
}

// ---- text ------------------------------------------------------------------------------------------------

void TwsCustomDBGrid::WriteDataText(TCanvas& canvas, const TRect& rect, const std::string& text,
                                    TAlignment alignment, bool fill) {
    if (fill)
        canvas.FillRect(rect);
    const int dy = !m_Options.Contains(TwsDBGridOption::dgRowLines) &&
                           m_Options.Contains(TwsDBGridOption::dgRowLinesDisableFixed)
                       ? 1
                       : 2;
    TRect r = TextRect(rect, 2, dy, alignment);
    unsigned flags = AlignmentFlag(alignment) | platform::tfExpandTabs | platform::tfNoPrefix;
    bool oneLine = true;
    if (m_Options.Contains(TwsDBGridOption::dgWordWrap)) {
        const int lineHeight = MeasureText(canvas.Font(), " ").cy;
        oneLine = lineHeight + 2 * kPlatformBorderHeight + 3 >= rect.Height() - 1 - dy;
    }
    flags |= oneLine ? platform::tfSingleLine : platform::tfWordBreak;
    if (oneLine && m_Options.Contains(TwsDBGridOption::dgTrailingEllipsis))
        flags |= platform::tfEndEllipsis;
    canvas.DrawText(text, r, flags);
}

void TwsCustomDBGrid::WriteTitleText(TCanvas& canvas, const TRect& rect, const std::string& text,
                                     TAlignment alignment) {
    const int lines = m_TitleLines == 1 ? 1 : static_cast<int>(std::count(text.begin(), text.end(), '~')) + 1;
    const int textHeight = MeasureText(canvas.Font(), text).cy;
    const int dy = static_cast<int>(std::trunc(rect.Height() / 2.0 - textHeight * lines / 2.0));
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '~', '\n');
    TRect r = TextRect(rect, 2, dy, alignment);
    unsigned flags = AlignmentFlag(alignment) | platform::tfExpandTabs | platform::tfEndEllipsis;
    if (m_UseTFields)
        flags |= platform::tfNoPrefix;
    canvas.DrawText(shown, r, flags);
}

// ---- lines -----------------------------------------------------------------------------------------------

void TwsCustomDBGrid::DrawRowLine(TCanvas& canvas, int col, int row, const TRect& rect, bool highlight) {
    if (!m_Options.Contains(TwsDBGridOption::dgRowLines))
        return;
    const TColor brush = canvas.Brush().Color();
    bool light = m_LineStyle == TwsGridLineStyle::glsDynamic ? ColorIsWhite(brush) : ColorIsWhite(Color());
    if (ColorIsWhite(Color()) && highlight &&
        (brush == clHighlight || (m_ActiveRecordColor != clNone && brush == m_ActiveRecordColor)))
        light = true;
    m_LightBackground = light;
    const std::size_t c = static_cast<std::size_t>(col);
    if (row - m_TitleOffset == 0 && c < m_ColumnLight.size())
        m_ColumnLight[c] = light;
    platform::PixelCanvas& surface = canvas.Handle();
    const int y = rect.top + RowHeights(row);
    if (m_LineStyle == TwsGridLineStyle::glsSingle ||
        (m_LineStyle == TwsGridLineStyle::glsDynamic && light)) {
        if (m_CellInfo.DrawBottomLine)
            surface.HLine(rect.left, rect.right, y, m_LineColors.DataColor);
        return;
    }
    if (m_CellInfo.DrawBottomLine)
        surface.HLine(rect.left, rect.right, y, m_LineColors.ShadowColor);
    const bool rowMarked =
        row == Row() && (GridFocused() || m_Options.Contains(TwsDBGridOption::dgAlwaysShowEditor)) &&
        (m_Options.Contains(TwsDBGridOption::dgRowSelect) || m_ActiveRecordColor != clNone);
    if (!rowMarked && m_CellInfo.DrawTopLine)
        surface.HLine(rect.left, rect.right, rect.top, m_LineColors.HighlightColor);
}

void TwsCustomDBGrid::PaintLines(TCanvas& canvas) {
    if (m_HideAllLines)
        return;
    PaintCurrentCellLine(canvas);
    if (m_Options.Contains(TwsDBGridOption::dgColLines))
        PaintColumnLines(canvas);
    if (m_Options.Contains(TwsDBGridOption::dgTitles))
        PaintTitleEdges(canvas);
    PaintEmptyArea(canvas);
}

void TwsCustomDBGrid::PaintCurrentCellLine(TCanvas& canvas) {
    if (!m_Options.Contains(TwsDBGridOption::dgRowLines) || m_Options.Contains(TwsDBGridOption::dgRowSelect))
        return;
    const int dataRow = Row() - m_TitleOffset;
    if (dataRow < 0 || dataRow >= m_DataLink.RecordCount() || Row() > LastFullRow())
        return;
    const TRect cell = CellRect(Col(), Row());
    if (IsEmpty(cell))
        return;
    const std::size_t c = static_cast<std::size_t>(Col());
    const bool light = c < m_ColumnLight.size() && m_ColumnLight[c];
    const bool single =
        m_LineStyle == TwsGridLineStyle::glsSingle || (m_LineStyle == TwsGridLineStyle::glsDynamic && light);
    canvas.Handle().HLine(cell.left, cell.right, cell.bottom,
                          single ? m_LineColors.DataColor : m_LineColors.ShadowColor);
}

void TwsCustomDBGrid::PaintColumnLines(TCanvas& canvas) {
    platform::PixelCanvas& surface = canvas.Handle();
    const int top = m_TitleOffset > 0 ? CellRect(LeftCol(), 0).bottom : 0;
    const int lastRow = std::min(LastFullRow(), RowCount() - 1);
    const int bottom = CellRect(LeftCol(), lastRow).bottom + 1;
    const bool single = m_LineStyle == TwsGridLineStyle::glsSingle ||
                        (m_LineStyle == TwsGridLineStyle::glsDynamic && ColorIsWhite(Color()));
    for (int c = LeftCol(); c < ColCount(); ++c) {
        const TRect cell = CellRect(c, 0);
        if (IsEmpty(cell))
            continue;
        if (single) {
            surface.VLine(cell.right, top, bottom, m_LineColors.DataColor);
        } else {
            surface.VLine(cell.right, top, bottom, m_LineColors.ShadowColor);
            surface.VLine(cell.right + 1, top, bottom, m_LineColors.HighlightColor);
        }
        if (cell.right >= ClientWidth())
            break;
    }
}

void TwsCustomDBGrid::PaintTitleEdges(TCanvas& canvas) {
    platform::PixelCanvas& surface = canvas.Handle();
    const bool colLines = m_Options.Contains(TwsDBGridOption::dgColLines);
    auto edges = [&](int col) {
        const TRect cell = CellRect(col, 0);
        if (IsEmpty(cell) || cell.left >= ClientWidth())
            return false;
        surface.HLine(cell.left, cell.right, cell.top, m_LineColors.HighlightColor);
        surface.VLine(cell.left, cell.top, cell.bottom, m_LineColors.HighlightColor);
        const int x = colLines ? cell.right : cell.right - 1;
        surface.VLine(x, cell.top, cell.bottom + 1, m_LineColors.FixedColor);
        surface.HLine(cell.left - 1, cell.right + 1, cell.bottom, m_LineColors.FixedColor);
        return true;
    };
    for (int c = 0; c < TCustomGrid::FixedCols(); ++c)
        edges(c);
    for (int c = LeftCol(); c < ColCount(); ++c) {
        if (!edges(c))
            break;
    }
    if (m_PadColumnStyle == TwsPadColumnStyle::pcsPlain || !AllColumnsFit())
        return;
    const TRect last = CellRect(ColCount() - 1, 0);
    surface.HLine(last.right, ClientWidth(), last.top, m_LineColors.HighlightColor);
    if (m_PadColumnStyle == TwsPadColumnStyle::pcsPadHeader)
        surface.HLine(last.right, ClientWidth(), last.bottom, m_LineColors.FixedColor);
}

// ---- areas no cell covers --------------------------------------------------------------------------------

void TwsCustomDBGrid::PaintPadArea(TCanvas& canvas) {
    if (m_PadColumnStyle == TwsPadColumnStyle::pcsPlain || !AllColumnsFit())
        return;
    const TRect last = CellRect(ColCount() - 1, 0);
    const int x = m_Options.Contains(TwsDBGridOption::dgColLines) ? last.right + 1 : last.right;
    if (x >= ClientWidth())
        return;
    const int bottom = m_PadColumnStyle == TwsPadColumnStyle::pcsPadHeader ? last.bottom : ClientHeight();
    platform::PixelCanvas& surface = canvas.Handle();
    surface.FillRect(TRect{x, 0, ClientWidth(), bottom}, m_TitleColor);
    surface.VLine(x, 0, bottom, m_LineColors.HighlightColor);
}

void TwsCustomDBGrid::PaintEmptyArea(TCanvas& canvas) {
    if (m_PadColumnStyle != TwsPadColumnStyle::pcsPadHeaderAndData)
        return;
    const int lastRecordRow = m_TitleOffset + m_DataLink.RecordCount() - 1;
    const int lastFull = LastFullRow();
    const int row = lastRecordRow < lastFull ? lastRecordRow : lastFull;
    const int y = row >= 0 ? CellRect(LeftCol(), row).bottom : 0;
    const int right = AllColumnsFit() ? CellRect(ColCount() - 1, 0).right + 1 : ClientWidth();
    int fixedRight = 0;
    for (int c = 0; c < TCustomGrid::FixedCols(); ++c)
        fixedRight += ColWidths(c) + VertLineWidth(c);
    platform::PixelCanvas& surface = canvas.Handle();
    surface.HLine(0, fixedRight, y, m_LineColors.FixedColor);
    surface.HLine(fixedRight, right, y,
                  ColorIsWhite(Color()) ? m_LineColors.DataColor : m_LineColors.ShadowColor);
    surface.HLine(0, right, y + 1, m_LineColors.HighlightColor);
    surface.VLine(0, y + 1, ClientHeight(), m_LineColors.HighlightColor);
    surface.FillRect(TRect{1, y + 2, ClientWidth(), ClientHeight()}, m_TitleColor);
}

void TwsCustomDBGrid::PaintFocusRect(TCanvas& canvas) {
    if (!GridFocused() || m_Options.Contains(TwsDBGridOption::dgAlwaysShowEditor) ||
        m_Options.Contains(TwsDBGridOption::dgRowSelect))
        return;
    for (int i = 0; i < ControlCount(); ++i) {
        if (Controls(i)->Visible())
            return;
    }
    const int dataRow = Row() - m_TitleOffset;
    if (Col() < LeftCol() || Col() > LastFullCol() || dataRow < 0 || dataRow >= m_DataLink.RecordCount() ||
        Row() > LastFullRow())
        return;
    const TRect cell = CellRect(Col(), Row());
    if (IsEmpty(cell))
        return;
    const TRect r = TRect::FromSize(cell.left, cell.top, ColWidths(Col()), DefaultRowHeight());
    platform::PixelCanvas& surface = canvas.Handle();
    surface.HLine(r.left, r.right, r.top, clHighlight);
    surface.HLine(r.left, r.right, r.bottom - 1, clHighlight);
    surface.VLine(r.left, r.top, r.bottom, clHighlight);
    surface.VLine(r.right - 1, r.top, r.bottom, clHighlight);
    surface.DrawFocusRect(r);
}

} // namespace ws
