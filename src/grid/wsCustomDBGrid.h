#pragma once

// The data-bound grid: shows the rows of one table view through a data source. Its columns come
// from the Selected strings (or the view's visible fields with UseTFields), its column widths
// from those strings' character widths scaled to fill the client width, its row heights from its
// fonts, and its row count from the rows that fit: that count is handed to the data link as the
// number of rows the view keeps in its window, so a grid never fetches rows it cannot show.
//
// Columns may be painted by controls named in control-type strings ("Field;CustomEdit;Name;F");
// the grid takes those controls over (becomes their parent and binds them to its data source).

#include "base/Passkey.h"
#include "data/DataSource.h"
#include "grid/CustomGrid.h"
#include "grid/wsCacheColInfoItem.h"
#include "grid/wsColumn.h"
#include "grid/wsDBGridOptions.h"
#include "grid/wsGridDataLink.h"
#include "grid/wsGridPaintTypes.h"
#include "ui/Alignment.h"
#include "ui/Brush.h"
#include "ui/ComponentRef.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws {

class TDataSet;
class TDataSource;
class TField;

// Measures text in a font: width and height in pixels. Tests inject fixed metrics through it.
using TGridTextMeasure = std::function<platform::Size(const TFont& font, std::string_view text)>;

// The per-cell colour hook: the handler may change the font and the brush a cell is painted with.
using TCalcCellColorsEvent = std::function<void(TObject* Sender, TField* Field, TGridDrawState State,
                                                bool Highlight, TFont* AFont, TBrush* ABrush)>;

// The control kind and its parameters for one field, from the chosen control-type list.
struct TwsControlType {
    std::string Kind;
    std::string Params;
};

class TwsCustomDBGrid : public TCustomGrid {
public:
    WS_CLASS_INFO()

    explicit TwsCustomDBGrid(TComponent* owner);
    ~TwsCustomDBGrid() override;

    // ---- data ------------------------------------------------------------------------------------
    TDataSource* DataSource() const { return m_DataSource.Get(); }
    void SetDataSource(TDataSource* source);
    TwsGridDataLink& DataLink() { return m_DataLink; }
    const TwsGridDataLink& DataLink() const { return m_DataLink; }
    TDataSet* DataSet() const;

    // ---- switches --------------------------------------------------------------------------------
    TwsDBGridOptions Options() const { return m_Options; }
    void SetOptions(TwsDBGridOptions options);
    TwsDBGridKeyOptions KeyOptions() const { return m_KeyOptions; }
    void SetKeyOptions(TwsDBGridKeyOptions options) { m_KeyOptions = options; }
    TwsEditControlOptions EditControlOptions() const { return m_EditControlOptions; }
    void SetEditControlOptions(TwsEditControlOptions options);
    bool ReadOnly() const { return m_ReadOnly; }
    void SetReadOnly(bool readOnly) { m_ReadOnly = readOnly; }
    bool EditCalculated() const { return m_EditCalculated; }
    void SetEditCalculated(bool edit) { m_EditCalculated = edit; }
    // Data columns kept fixed at the left (the cell grid's fixed columns add the indicator).
    int FixedCols() const { return m_DataFixedCols; }
    void SetFixedCols(int count);
    bool UseTFields() const { return m_UseTFields; }
    void SetUseTFields(bool use);
    bool ControlInfoInDataset() const { return m_ControlInfoInDataset; }
    void SetControlInfoInDataset(bool use);
    bool ShowHorzScrollBar() const { return m_ShowHorzScrollBar; }
    void SetShowHorzScrollBar(bool show) { m_ShowHorzScrollBar = show; }
    bool ShowVertScrollBar() const { return m_ShowVertScrollBar; }
    void SetShowVertScrollBar(bool show) { m_ShowVertScrollBar = show; }

    // ---- titles and rows ---------------------------------------------------------------------------
    TAlignment TitleAlignment() const { return m_TitleAlignment; }
    void SetTitleAlignment(TAlignment alignment);
    int TitleLines() const { return m_TitleLines; }
    // Values below 1 are ignored.
    void SetTitleLines(int lines);
    bool TitleButtons() const { return m_TitleButtons; }
    void SetTitleButtons(bool buttons);
    TColor TitleColor() const { return m_TitleColor; }
    void SetTitleColor(TColor color);
    TFont& TitleFont() { return m_TitleFont; }
    const TFont& TitleFont() const { return m_TitleFont; }
    int RowHeightPercent() const { return m_RowHeightPercent; }
    // 0 or less is stored as 100.
    void SetRowHeightPercent(int percent);
    int FooterHeight() const { return m_FooterHeight; }
    void SetFooterHeight(int height);

    // ---- column model ------------------------------------------------------------------------------
    // Column strings, one per column: field, width in characters, title, read-only flag and an
    // optional group name, separated by TAB characters.
    const std::vector<std::string>& Selected() const { return m_Selected; }
    void SetSelected(const std::vector<std::string>& lines);
    // The grid's own control-type strings, used when the data set offers none.
    const std::vector<std::string>& ControlType() const { return m_ControlType; }
    void SetControlType(const std::vector<std::string>& lines) { m_ControlType = lines; }

    int IndicatorOffset() const { return m_IndicatorOffset; }
    int TitleOffset() const { return m_TitleOffset; }
    int ColumnCount() const { return static_cast<int>(m_Columns.size()); }
    // By field name without regard to letter case; the empty column when none matches.
    TwsColumn& ColumnByName(std::string_view fieldName);
    // Data column i (grid column minus IndicatorOffset); the empty column when out of range.
    TwsColumn& ColumnByIndex(int i);
    const TwsColumn& ColumnByName(std::string_view fieldName) const;
    const TwsColumn& ColumnByIndex(int i) const;
    TField* DataColumnField(int i) const { return m_DataLink.Fields(i); }
    // The control-type list in force: the data set's own when it publishes one, else the grid's.
    std::vector<std::string> ChosenControlTypeList() const;
    TwsControlType ControlTypeOf(std::string_view fieldName) const;
    // The windowed control bound to a data cell, or null.
    TWinControl* FindEditControl(int col, int row) const;
    // A windowed control named in a control-type string, looked up on the grid's form.
    TWinControl* FindControlByName(std::string_view name) const;
    // Takes over the controls named by the custom-control lines of the chosen list.
    void AttachCustomControls();
    const std::vector<TwsCacheColInfoItem>& ColumnCache() const { return m_ColumnCache; }
    // The Selected line of a field (first match without regard to letter case), or null.
    std::string* FieldLine(std::string_view fieldName);

    // ---- geometry ----------------------------------------------------------------------------------
    // The width of "0" in Font: the unit of a column's width in characters (at least 1).
    int CharWidth() const;
    int TextHeightOf(const TFont& font) const;
    void SetTextMeasure(TGridTextMeasure measure) { m_TextMeasure = std::move(measure); }
    void LayoutPass();
    void LayoutColumnWidths();
    void ScaleColumnsToWidth();
    void UpdateRowCount();
    // Data rows that fit fully; never less than 1.
    int DataRowsVisible() const;
    bool HasBaseWidths() const { return m_BaseWidths.has_value(); }
    const std::vector<std::uint16_t>& BaseWidths() const;
    // The height in which the title row and n data rows fit fully, border included.
    int HeightForRows(int n) const;
    bool Proportional() const;

    void SetBounds(int left, int top, int width, int height) override;

    // ---- paging ------------------------------------------------------------------------------------
    // A paged grid shows its view one page at a time: page p holds the view's rows p x R to
    // p x R + R - 1, R being the data rows that fit (DataRowsVisible), and the last page the rows
    // left. The view's row window is made to hold exactly the rows of the page shown, so painting,
    // the current-cell highlight and clicks work on that page as on any row window. A grid that
    // is not paged keeps the row window the view gives it.
    bool Paged() const { return m_Paged; }
    // Switching paging off gives the grid its full row window back at once.
    void SetPaged(bool paged);
    // The page shown (0 for the first) and the number of pages, as of the last ShowPage; 0 of 1
    // while not paged.
    int Page() const { return m_Page; }
    int PageCount() const { return m_PageCount; }
    // Counts the view's rows and moves its row window to page 'page' of them, its first row the
    // current one; a page beyond the last shows the first. Does nothing unless paged.
    void ShowPage(int page);
    // "page 2 of 3" while a paged grid has more than one page; empty otherwise.
    std::string PageIndicatorText() const;
    // Where the page indicator is painted in the client area (inside the title row, at the right
    // of the title cell with the most room beside its title); empty when there is none.
    TRect PageIndicatorRect() const;

    // ---- from the data link: its notifications, by the same names ------------------------------------
    void ActiveChanged(TPasskey<TwsGridDataLink>);
    void DataSetChanged(TPasskey<TwsGridDataLink>);
    void DataSetScrolled(TPasskey<TwsGridDataLink>, int distance);
    void LayoutChanged(TPasskey<TwsGridDataLink>);
    void RecordChanged(TPasskey<TwsGridDataLink>);

    // ---- painting ----------------------------------------------------------------------------------
    TwsGridLineStyle LineStyle() const { return m_LineStyle; }
    void SetLineStyle(TwsGridLineStyle style);
    const TwsGridLineColors& LineColors() const { return m_LineColors; }
    void SetLineColors(const TwsGridLineColors& colors);
    TwsPadColumnStyle PadColumnStyle() const { return m_PadColumnStyle; }
    void SetPadColumnStyle(TwsPadColumnStyle style);
    bool DefaultDrawing() const { return m_DefaultDrawing; }
    void SetDefaultDrawing(bool value) { m_DefaultDrawing = value; }
    bool HideAllLines() const { return m_HideAllLines; }
    void SetHideAllLines(bool value);
    // The colour of the whole current row; clNone highlights the current cell only.
    TColor ActiveRecordColor() const { return m_ActiveRecordColor; }
    void SetActiveRecordColor(TColor color);
    // The last row (column) that fits in the client area, its trailing line allowed to fall just
    // outside; the top data row (left column) always counts.
    int LastFullRow() const;
    int LastFullCol() const;
    // What a data cell shows for the field at the data set's active record.
    std::string CellDisplayText(TField* field) const;
    // Whether the grid has the input focus (and so shows its current cell highlighted).
    bool GridFocused() const;
    bool CellHighlighted(int col, int row, TGridDrawState state) const;
    // Whether the column's cells are painted by its control rather than as text.
    bool UsesControlPaint(int col) const;
    // The data cells of the last paint pass, by row from the top.
    const std::vector<TwsPaintedRow>& PaintedRows() const { return m_PaintedRows; }
    // State set by the last data cell painted.
    bool BrushWasChanged() const { return m_BrushWasChanged; }
    bool LightBackground() const { return m_LightBackground; }

    TCalcCellColorsEvent OnCalcCellColors;
    TCalcTitleAttributesEvent OnCalcTitleAttributes;
    TwsDrawTitleCellEvent OnDrawTitleCell;
    TwsDrawDataCellEvent OnDrawDataCell;
    TwsBeforePaintEvent OnBeforePaint;
    TwsCustomDrawCellEvent OnBeforeDrawCell;
    TwsCustomDrawCellEvent OnAfterDrawCell;

protected:
    void Paint(TCanvas& canvas) override;
    void Loaded() override;
    void CreateWnd() override;
    void FontChanged() override;
    void Notification(TComponent* component, TOperation operation) override;
    void ColWidthsChanged() override;
    int VertLineWidth(int col) const override;
    int HorzLineWidth(int row) const override;
    int FooterAreaHeight() const override;
    void MouseClick(TPoint at) override;
    void MouseDblClick(TPoint at) override;
    virtual platform::Size MeasureText(const TFont& font, std::string_view text) const;

private:
    class TGuard;

    int RowLineAllowance() const;
    void LayoutRowHeights();
    void BuildColumns();
    int DataColumnCountForLayout() const;
    int ColumnWidthFromLine(int i);
    int TitleWidth(const std::string& title) const;
    void RebuildColumnCache();
    void WriteBackUserWidths();
    void SizeChanged();
    void PruneDataSetLists();
    bool DataSetHasCalculatedField() const;
    void BindControl(TWinControl& control, const std::string& fieldName);
    TComponent* SearchRoot() const;
    void MoveToActiveRecord();

    // Painting (wsCustomDBGridPaint.cpp).
    class TRecordPosition;
    void PaintClient(TCanvas& canvas);
    void PaintInactiveBackground(TCanvas& canvas);
    void PaintCells(TCanvas& canvas);
    void PaintRegion(TCanvas& canvas, int firstCol, int endCol, int firstRow, int endRow, bool fixed);
    void PaintCell(TCanvas& canvas, int col, int row, TRect rect, TGridDrawState state);
    void PaintTitleCell(TCanvas& canvas, int col, const TRect& rect, TGridDrawState state);
    void PaintDataCell(TCanvas& canvas, int col, int row, const TRect& rect, TGridDrawState state);
    void PaintControlCell(TCanvas& canvas, int col, int row, TRect rect, TGridDrawState state);
    void ApplyHighlight(TCanvas& canvas, int col, int row, bool highlight) const;
    void CalcCellColors(TCanvas& canvas, TField* field, TGridDrawState state, bool highlight);
    void WriteDataText(TCanvas& canvas, const TRect& rect, const std::string& text, TAlignment alignment,
                       bool fill);
    void WriteTitleText(TCanvas& canvas, const TRect& rect, const std::string& text, TAlignment alignment);
    void DrawRowLine(TCanvas& canvas, int col, int row, const TRect& rect, bool highlight);
    void PaintLines(TCanvas& canvas);
    void PaintCurrentCellLine(TCanvas& canvas);
    void PaintColumnLines(TCanvas& canvas);
    void PaintTitleEdges(TCanvas& canvas);
    void PaintPadArea(TCanvas& canvas);
    void PaintEmptyArea(TCanvas& canvas);
    void PaintFocusRect(TCanvas& canvas);
    void PaintPageIndicator(TCanvas& canvas);
    bool ColorIsWhite(TColor color) const;
    bool AllColumnsFit() const;
    void RecordPaintedCell(int dataRow, TwsPaintedCell cell);
    void BeginPass(const TRect& region, const TRect& visible);
    TRect PassCellRect(int col, int row) const;
    void KeepUnrepaintedRows(std::vector<TwsPaintedRow> previous);

    TwsGridDataLink m_DataLink;
    TComponentRef<TDataSource> m_DataSource{this};
    TwsDBGridOptions m_Options{TwsDBGridOption::dgEditing,      TwsDBGridOption::dgTitles,
                               TwsDBGridOption::dgIndicator,    TwsDBGridOption::dgColumnResize,
                               TwsDBGridOption::dgColLines,     TwsDBGridOption::dgRowLines,
                               TwsDBGridOption::dgTabs,         TwsDBGridOption::dgConfirmDelete,
                               TwsDBGridOption::dgCancelOnExit, TwsDBGridOption::dgWordWrap};
    TwsDBGridKeyOptions m_KeyOptions{TwsDBGridKeyOption::dgAllowDelete, TwsDBGridKeyOption::dgAllowInsert};
    TwsEditControlOptions m_EditControlOptions{TwsEditControlOption::ecoSearchOwnerForm};
    bool m_ReadOnly = false;
    bool m_EditCalculated = false;
    int m_DataFixedCols = 0;
    bool m_UseTFields = true;
    bool m_ControlInfoInDataset = true;
    bool m_ShowHorzScrollBar = true;
    bool m_ShowVertScrollBar = true;
    TAlignment m_TitleAlignment = TAlignment::taLeftJustify;
    int m_TitleLines = 1;
    bool m_TitleButtons = false;
    TColor m_TitleColor = clBtnFace;
    TFont m_TitleFont;
    int m_RowHeightPercent = 100;
    int m_FooterHeight = 0;
    std::vector<std::string> m_Selected;
    std::vector<std::string> m_ControlType;

    int m_IndicatorOffset = 0;
    int m_TitleOffset = 0;
    std::vector<std::unique_ptr<TwsColumn>> m_Columns;
    TwsColumn m_EmptyColumn;
    std::vector<TwsCacheColInfoItem> m_ColumnCache;
    std::optional<std::vector<std::uint16_t>> m_BaseWidths;
    int m_LayoutGuard = 0;
    int m_WidthGuard = 0;
    int m_RowCountGuard = 0;
    bool m_CustomControlsAttached = false;
    bool m_Destroying = false;
    TGridTextMeasure m_TextMeasure;

    TwsGridLineStyle m_LineStyle = TwsGridLineStyle::glsDynamic;
    TwsGridLineColors m_LineColors;
    TwsPadColumnStyle m_PadColumnStyle = TwsPadColumnStyle::pcsPadHeaderAndData;
    bool m_DefaultDrawing = true;
    bool m_HideAllLines = false;
    TColor m_ActiveRecordColor = clNone;
    bool m_BrushWasChanged = false;
    bool m_LightBackground = true;
    // LightBackground as found in each column's first data row, for the current cell's line.
    std::vector<bool> m_ColumnLight;
    TwsCustomDrawGridCellInfo m_CellInfo;
    bool m_PaintingCell = false;
    std::vector<TwsPaintedRow> m_PaintedRows;
    // The pass under way, worked out once at its start: the part of the client area it repaints
    // (inside the window), the part inside the window, LastFullRow, and where each column and each
    // row down to the region's bottom begins (-1 for one scrolled out of view).
    struct TPass {
        TRect Region;
        TRect Visible;
        int LastFullRow = 0;
        std::vector<int> ColLefts;
        std::vector<int> RowTops;
    };
    TPass m_Pass;

    bool m_Paged = false;
    int m_Page = 0;
    int m_PageCount = 1;
    // Rows of the page shown: the row window's size while paged.
    int m_PageRows = 0;
};

} // namespace ws
