#include "grid/wsDBGrid.h"

#include "data/DataSource.h"
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
        TClassBuilder<C>("TwsDBGrid", TwsCustomDBGrid::StaticClassInfo())
            .Reference<TDataSource>("DataSource", &C::DataSource, &C::SetDataSource)
            .Set<TwsDBGridOption>("Options", DBGridOptionIdents(), &C::Options, &C::SetOptions)
            .Set<TwsDBGridKeyOption>("KeyOptions", DBGridKeyOptionIdents(), &C::KeyOptions, &C::SetKeyOptions)
            .Set<TwsEditControlOption>("EditControlOptions", EditControlOptionIdents(),
                                       &C::EditControlOptions, &C::SetEditControlOptions)
            .Boolean("ReadOnly", &C::ReadOnly, &C::SetReadOnly)
            .Boolean("EditCalculated", &C::EditCalculated, &C::SetEditCalculated)
            .Integer("FixedCols", &C::FixedCols, integer(&C::SetFixedCols))
            .Boolean("ShowHorzScrollBar", &C::ShowHorzScrollBar, &C::SetShowHorzScrollBar)
            .Boolean("ShowVertScrollBar", &C::ShowVertScrollBar, &C::SetShowVertScrollBar)
            .Enum<TAlignment>("TitleAlignment", AlignmentIdents(), &C::TitleAlignment, &C::SetTitleAlignment)
            .Integer("TitleLines", &C::TitleLines, integer(&C::SetTitleLines))
            .Boolean("TitleButtons", &C::TitleButtons, &C::SetTitleButtons)
            .Integer("TitleColor", &C::TitleColor, color(&C::SetTitleColor), ColorIdentToInt)
            .Object("TitleFont", [](C& c) -> TObject& { return c.TitleFont(); })
            .Integer("RowHeightPercent", &C::RowHeightPercent, integer(&C::SetRowHeightPercent))
            .Integer("FooterHeight", &C::FooterHeight, integer(&C::SetFooterHeight))
            .Boolean("UseTFields", &C::UseTFields, &C::SetUseTFields)
            .Boolean("ControlInfoInDataset", &C::ControlInfoInDataset, &C::SetControlInfoInDataset)
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

TwsDBGrid::TwsDBGrid(TComponent* owner) : TwsCustomDBGrid(owner) {
    SetBounds(0, 0, 320, 120);
}

void RegisterGridClasses() {
    RegisterClass<TwsDBGrid>();
    RegisterClass<TwsCheckBox>();
}

} // namespace ws
