#pragma once

// The data grid as stored descriptions configure it: the data-bound grid with its published
// properties and the settings it keeps for painting (background style, title themes, the
// indicator icon colour) and for saving its columns (disabled in this program).

#include "grid/wsCustomDBGrid.h"
#include "ui/Persistent.h"

#include <string>

namespace ws {

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

class TwsDBGrid : public TwsCustomDBGrid {
public:
    WS_CLASS_INFO()

    explicit TwsDBGrid(TComponent* owner);

    bool DisableThemesInTitle() const { return m_DisableThemesInTitle; }
    void SetDisableThemesInTitle(bool disable) { m_DisableThemesInTitle = disable; }
    TColor IndicatorIconColor() const { return m_IndicatorIconColor; }
    void SetIndicatorIconColor(TColor color) { m_IndicatorIconColor = color; }
    TwsGridPaintOptions& PaintOptions() { return m_PaintOptions; }
    TwsIniAttributes& IniAttributes() { return m_IniAttributes; }

private:
    bool m_DisableThemesInTitle = false;
    TColor m_IndicatorIconColor = clBlack;
    TwsGridPaintOptions m_PaintOptions;
    TwsIniAttributes m_IniAttributes;
};

// Makes the grid classes known to stored descriptions.
void RegisterGridClasses();

} // namespace ws
