#include "grid/wsCheckBox.h"

#include "ui/PropertiesBuilder.h"

namespace ws {

namespace {

const std::vector<std::string> kStates{"cbUnchecked", "cbChecked", "cbGrayed"};
const std::vector<std::string> kBorders{"efLeftBorder", "efTopBorder", "efRightBorder", "efBottomBorder"};

} // namespace

const TClassInfo& TwsEditFrame::StaticClassInfo() {
    using C = TwsEditFrame;
    static const TClassInfo info =
        TClassBuilder<C>("TwsEditFrame", TPersistent::StaticClassInfo())
            .Boolean("Enabled", &C::Enabled, &C::SetEnabled)
            .Boolean("Transparent", &C::Transparent, &C::SetTransparent)
            .Set<TwsEditFrameBorder>("FocusBorders", kBorders, &C::FocusBorders, &C::SetFocusBorders)
            .Set<TwsEditFrameBorder>("NonFocusBorders", kBorders, &C::NonFocusBorders, &C::SetNonFocusBorders)
            .Build();
    return info;
}

const TClassInfo& TwsCheckBox::StaticClassInfo() {
    using C = TwsCheckBox;
    static const TClassInfo info =
        TClassBuilder<C>("TwsCheckBox", TWinControl::StaticClassInfo())
            .Reference<TComponent>("DataSource", &C::DataSource, &C::SetDataSource)
            .String("DataField", &C::DataField, &C::SetDataField)
            .Reference<TImageList>("Images", &C::Images, &C::SetImages)
            .String("Caption", &C::Caption, &C::SetCaption)
            .String("ValueChecked", &C::ValueChecked, &C::SetValueChecked)
            .String("ValueUnchecked", &C::ValueUnchecked, &C::SetValueUnchecked)
            .String("DisplayValueChecked", &C::DisplayValueChecked, &C::SetDisplayValueChecked)
            .String("DisplayValueUnchecked", &C::DisplayValueUnchecked, &C::SetDisplayValueUnchecked)
            .Enum<TCheckBoxState>("NullAndBlankState", kStates, &C::NullAndBlankState,
                                  &C::SetNullAndBlankState)
            .Enum<TCheckBoxState>("State", kStates, &C::State, &C::SetState)
            .Boolean("Checked", &C::Checked, &C::SetChecked)
            .Boolean("AlwaysTransparent", &C::AlwaysTransparent, &C::SetAlwaysTransparent)
            .Boolean("ShowText", &C::ShowText, &C::SetShowText)
            .Boolean("DynamicCaption", &C::DynamicCaption, &C::SetDynamicCaption)
            .Enum<TLeftRight>("Alignment", {"taLeftJustify", "taRightJustify"}, &C::Alignment,
                              &C::SetAlignment)
            .Boolean("DisableThemes", &C::DisableThemes, &C::SetDisableThemes)
            .Object("Frame", [](C& c) -> TObject& { return c.Frame(); })
            .Build();
    return info;
}

TwsCheckBox::TwsCheckBox(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 97, 17);
}

void TwsCheckBox::Paint(TCanvas& canvas) {
    if (m_AlwaysTransparent)
        return;
    TWinControl::Paint(canvas);
}

} // namespace ws
