#pragma once

// The data grid as the main window's stored description configures it. For now it keeps every
// stored setting and paints its face (the window colour inside a sunken two-pixel edge); columns,
// rows and cells come with the grid proper.

#include "base/EnumSet.h"
#include "ui/Alignment.h"
#include "ui/Brush.h"
#include "ui/ComponentRef.h"
#include "ui/Font.h"
#include "ui/WinControl.h"

#include <functional>
#include <string>
#include <vector>

namespace ws {

class TField;

enum class TwsDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect,
    dgWordWrap,
    dgPerfectRowFit,
    dgProportionalColResize,
    dgTrailingEllipsis,
    dgShowFooter,
    dgHideBottomDataLine,
    dgRowLinesDisableFixed
};
using TwsDBGridOptions = TEnumSet<TwsDBGridOption>;

enum class TwsDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TwsDBGridKeyOptions = TEnumSet<TwsDBGridKeyOption>;

enum class TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TEnumSet<TGridDrawStateFlag>;

// The per-cell colour hook: the handler may change the font and the brush a cell is painted with.
using TCalcCellColorsEvent = std::function<void(TObject* Sender, TField* Field, TGridDrawState State,
                                                bool Highlight, TFont* AFont, TBrush* ABrush)>;

enum class TBackgroundDrawStyle { bdsTile, bdsStretch, bdsCenter, bdsTopLeft };

class TwsGridPaintOptions : public TPersistent {
public:
    WS_CLASS_INFO()
    TBackgroundDrawStyle BackgroundDrawStyle() const { return m_BackgroundDrawStyle; }
    void SetBackgroundDrawStyle(TBackgroundDrawStyle style) { m_BackgroundDrawStyle = style; }

private:
    TBackgroundDrawStyle m_BackgroundDrawStyle = TBackgroundDrawStyle::bdsTile;
};

class TwsIniAttributes : public TPersistent {
public:
    WS_CLASS_INFO()
    bool Enabled() const { return m_Enabled; }
    void SetEnabled(bool enabled) { m_Enabled = enabled; }
    const std::string& Delimiter() const { return m_Delimiter; }
    void SetDelimiter(const std::string& delimiter) { m_Delimiter = delimiter; }

private:
    bool m_Enabled = false;
    std::string m_Delimiter = ";;";
};

class TwsDBGrid : public TWinControl {
public:
    WS_CLASS_INFO()

    explicit TwsDBGrid(TComponent* owner);

    // The data source (a component of the data module, bound by name once it exists).
    TComponent* DataSource() const { return m_DataSource.Get(); }
    void SetDataSource(TComponent* source) { m_DataSource.Set(source); }

    TwsDBGridOptions Options() const { return m_Options; }
    void SetOptions(TwsDBGridOptions options);
    TwsDBGridKeyOptions KeyOptions() const { return m_KeyOptions; }
    void SetKeyOptions(TwsDBGridKeyOptions options) { m_KeyOptions = options; }
    bool ReadOnly() const { return m_ReadOnly; }
    void SetReadOnly(bool readOnly) { m_ReadOnly = readOnly; }
    int FixedCols() const { return m_FixedCols; }
    void SetFixedCols(int fixedCols) { m_FixedCols = fixedCols; }
    bool ShowHorzScrollBar() const { return m_ShowHorzScrollBar; }
    void SetShowHorzScrollBar(bool show) { m_ShowHorzScrollBar = show; }
    bool ShowVertScrollBar() const { return m_ShowVertScrollBar; }
    void SetShowVertScrollBar(bool show) { m_ShowVertScrollBar = show; }
    TAlignment TitleAlignment() const { return m_TitleAlignment; }
    void SetTitleAlignment(TAlignment alignment) { m_TitleAlignment = alignment; }
    int TitleLines() const { return m_TitleLines; }
    void SetTitleLines(int lines);
    bool TitleButtons() const { return m_TitleButtons; }
    void SetTitleButtons(bool buttons) { m_TitleButtons = buttons; }
    TColor TitleColor() const { return m_TitleColor; }
    void SetTitleColor(TColor color) { m_TitleColor = color; }
    TFont& TitleFont() { return m_TitleFont; }
    bool UseTFields() const { return m_UseTFields; }
    void SetUseTFields(bool use) { m_UseTFields = use; }
    bool DisableThemesInTitle() const { return m_DisableThemesInTitle; }
    void SetDisableThemesInTitle(bool disable) { m_DisableThemesInTitle = disable; }
    TColor IndicatorIconColor() const { return m_IndicatorIconColor; }
    void SetIndicatorIconColor(TColor color) { m_IndicatorIconColor = color; }
    TwsGridPaintOptions& PaintOptions() { return m_PaintOptions; }
    TwsIniAttributes& IniAttributes() { return m_IniAttributes; }
    // Column strings, one per column: field, width in characters, title, read-only flag (tabs).
    const std::vector<std::string>& Selected() const { return m_Selected; }
    void SetSelected(const std::vector<std::string>& lines) { m_Selected = lines; }
    const std::vector<std::string>& ControlType() const { return m_ControlType; }
    void SetControlType(const std::vector<std::string>& lines) { m_ControlType = lines; }

    TCalcCellColorsEvent OnCalcCellColors;

protected:
    void Paint(TCanvas& canvas) override;

private:
    TComponentRef<TComponent> m_DataSource{this};
    TwsDBGridOptions m_Options{TwsDBGridOption::dgEditing,      TwsDBGridOption::dgTitles,
                               TwsDBGridOption::dgIndicator,    TwsDBGridOption::dgColumnResize,
                               TwsDBGridOption::dgColLines,     TwsDBGridOption::dgRowLines,
                               TwsDBGridOption::dgTabs,         TwsDBGridOption::dgConfirmDelete,
                               TwsDBGridOption::dgCancelOnExit, TwsDBGridOption::dgWordWrap};
    TwsDBGridKeyOptions m_KeyOptions{TwsDBGridKeyOption::dgAllowDelete, TwsDBGridKeyOption::dgAllowInsert};
    bool m_ReadOnly = false;
    int m_FixedCols = 0;
    bool m_ShowHorzScrollBar = true;
    bool m_ShowVertScrollBar = true;
    TAlignment m_TitleAlignment = TAlignment::taLeftJustify;
    int m_TitleLines = 1;
    bool m_TitleButtons = false;
    TColor m_TitleColor = clBtnFace;
    TFont m_TitleFont;
    bool m_UseTFields = true;
    bool m_DisableThemesInTitle = false;
    TColor m_IndicatorIconColor = clBlack;
    TwsGridPaintOptions m_PaintOptions;
    TwsIniAttributes m_IniAttributes;
    std::vector<std::string> m_Selected;
    std::vector<std::string> m_ControlType;
};

// Makes the grid classes known to stored descriptions.
void RegisterGridClasses();

} // namespace ws
