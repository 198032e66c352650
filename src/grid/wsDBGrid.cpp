#include "grid/wsDBGrid.h"

#include "grid/wsCheckBox.h"
#include "ui/ClassRegistry.h"
#include "ui/GraphicsIdents.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TwsGridPaintOptions::StaticClassInfo() {
    using C = TwsGridPaintOptions;
    static const TClassInfo info =
        TClassBuilder<C>("TwsGridPaintOptions", TPersistent::StaticClassInfo())
            .Enum<TBackgroundDrawStyle>("BackgroundDrawStyle",
                                        {"bdsTile", "bdsStretch", "bdsCenter", "bdsTopLeft"},
                                        &C::BackgroundDrawStyle, &C::SetBackgroundDrawStyle)
            .Build();
    return info;
}

const TClassInfo& TwsIniAttributes::StaticClassInfo() {
    using C = TwsIniAttributes;
    static const TClassInfo info = TClassBuilder<C>("TwsIniAttributes", TPersistent::StaticClassInfo())
                                       .Boolean("Enabled", &C::Enabled, &C::SetEnabled)
                                       .String("Delimiter", &C::Delimiter, &C::SetDelimiter)
                                       .Build();
    return info;
}

const TClassInfo& TwsDBGrid::StaticClassInfo() {
    using C = TwsDBGrid;
    auto integer = [](void (C::*set)(int)) {
        return [set](C& c, std::int64_t v) { (c.*set)(static_cast<int>(v)); };
    };
    auto color = [](void (C::*set)(TColor)) {
        return [set](C& c, std::int64_t v) { (c.*set)(static_cast<TColor>(v)); };
    };
    static const TClassInfo info =
        TClassBuilder<C>("TwsDBGrid", TWinControl::StaticClassInfo())
            .Reference<TComponent>("DataSource", &C::DataSource, &C::SetDataSource)
            .Set<TwsDBGridOption>("Options",
                                  {"dgEditing",
                                   "dgAlwaysShowEditor",
                                   "dgTitles",
                                   "dgIndicator",
                                   "dgColumnResize",
                                   "dgColLines",
                                   "dgRowLines",
                                   "dgTabs",
                                   "dgRowSelect",
                                   "dgAlwaysShowSelection",
                                   "dgConfirmDelete",
                                   "dgCancelOnExit",
                                   "dgMultiSelect",
                                   "dgWordWrap",
                                   "dgPerfectRowFit",
                                   "dgProportionalColResize",
                                   "dgTrailingEllipsis",
                                   "dgShowFooter",
                                   "dgHideBottomDataLine",
                                   "dgRowLinesDisableFixed"},
                                  &C::Options, &C::SetOptions)
            .Set<TwsDBGridKeyOption>("KeyOptions", {"dgEnterToTab", "dgAllowDelete", "dgAllowInsert"},
                                     &C::KeyOptions, &C::SetKeyOptions)
            .Boolean("ReadOnly", &C::ReadOnly, &C::SetReadOnly)
            .Integer("FixedCols", &C::FixedCols, integer(&C::SetFixedCols))
            .Boolean("ShowHorzScrollBar", &C::ShowHorzScrollBar, &C::SetShowHorzScrollBar)
            .Boolean("ShowVertScrollBar", &C::ShowVertScrollBar, &C::SetShowVertScrollBar)
            .Enum<TAlignment>("TitleAlignment", AlignmentIdents(), &C::TitleAlignment, &C::SetTitleAlignment)
            .Integer("TitleLines", &C::TitleLines, integer(&C::SetTitleLines))
            .Boolean("TitleButtons", &C::TitleButtons, &C::SetTitleButtons)
            .Integer("TitleColor", &C::TitleColor, color(&C::SetTitleColor), ColorIdentToInt)
            .Object("TitleFont", [](C& c) -> TObject& { return c.TitleFont(); })
            .Boolean("UseTFields", &C::UseTFields, &C::SetUseTFields)
            .Boolean("DisableThemesInTitle", &C::DisableThemesInTitle, &C::SetDisableThemesInTitle)
            .Integer("IndicatorIconColor", &C::IndicatorIconColor, color(&C::SetIndicatorIconColor),
                     ColorIdentToInt)
            .Object("PaintOptions", [](C& c) -> TObject& { return c.PaintOptions(); })
            .Object("IniAttributes", [](C& c) -> TObject& { return c.IniAttributes(); })
            .StringList("Selected", &C::Selected, &C::SetSelected)
            .StringList("ControlType", &C::ControlType, &C::SetControlType)
            .Event<TCalcCellColorsEvent>("OnCalcCellColors", &C::OnCalcCellColors)
            .Build();
    return info;
}

TwsDBGrid::TwsDBGrid(TComponent* owner) : TWinControl(owner) {
    SetColor(clWindow);
    SetBounds(0, 0, 320, 120);
}

void TwsDBGrid::SetOptions(TwsDBGridOptions options) {
    m_Options = options;
    Invalidate();
}

void TwsDBGrid::SetTitleLines(int lines) {
    m_TitleLines = lines < 1 ? 1 : lines;
    Invalidate();
}

void TwsDBGrid::Paint(TCanvas& canvas) {
    const TRect client = ClientRect();
    canvas.Brush().SetColor(Color());
    canvas.FillRect(client);
    // The sunken client edge: shadow above and left, light below and right, two pixels deep.
    const int right = client.right - 1;
    const int bottom = client.bottom - 1;
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

void RegisterGridClasses() {
    RegisterClass<TwsDBGrid>();
    RegisterClass<TwsCheckBox>();
}

} // namespace ws
