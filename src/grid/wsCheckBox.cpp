#include "grid/wsCheckBox.h"

#include "base/Strings.h"
#include "data/DataSet.h"
#include "data/DataSource.h"
#include "data/Field.h"
#include "data/FieldType.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

namespace {

const std::vector<std::string> kStates{"cbUnchecked", "cbChecked", "cbGrayed"};
const std::vector<std::string> kBorders{"efLeftBorder", "efTopBorder", "efRightBorder", "efBottomBorder"};

// The platform's check mark when the box has no pictures.
constexpr int kMarkSize = 13;

int ImageIndexOf(TCheckBoxState state) {
    switch (state) {
    case TCheckBoxState::cbUnchecked:
        return 0;
    case TCheckBoxState::cbChecked:
        return 1;
    case TCheckBoxState::cbGrayed:
        return 2;
    }
    return 0;
}

// A classic sunken check box with a tick for checked and a grey face for grayed.
void DrawCheckMark(TCanvas& canvas, const TRect& r, TCheckBoxState state, bool enabled) {
    platform::PixelCanvas& surface = canvas.Handle();
    const TColor face = state == TCheckBoxState::cbGrayed || !enabled ? clBtnFace : clWindow;
    surface.FillRect(r, face);
    surface.HLine(r.left, r.right, r.top, clBtnShadow);
    surface.VLine(r.left, r.top, r.bottom, clBtnShadow);
    surface.HLine(r.left, r.right, r.bottom - 1, clBtnHighlight);
    surface.VLine(r.right - 1, r.top, r.bottom, clBtnHighlight);
    if (state == TCheckBoxState::cbUnchecked)
        return;
    const TColor mark = state == TCheckBoxState::cbChecked && enabled ? clWindowText : clBtnShadow;
    // The tick: down three pixels from the left, then up four to the right, three pixels thick.
    const int x = r.left + 3;
    const int y = r.top + 5;
    for (int i = 0; i < 7; ++i) {
        const int top = i < 3 ? y + i : y + 4 - (i - 2);
        surface.VLine(x + i, top, top + 3, mark);
    }
}

} // namespace

bool TwsCheckBox::ListItemMatches(const std::string& list, const std::string& text) const {
    for (const std::string& item : Split(list, ';')) {
        if (SameText(Trim(item), text))
            return true;
    }
    return false;
}

TField* TwsCheckBox::Field() const {
    TDataSource* source = DataSource();
    if (source == nullptr || source->DataSet() == nullptr || m_DataField.empty())
        return nullptr;
    return source->DataSet()->FindFieldNamed(m_DataField);
}

TCheckBoxState TwsCheckBox::CheckStateFromField() const {
    TField* field = Field();
    if (field == nullptr)
        return DataSource() != nullptr && !m_DataField.empty() ? m_NullAndBlankState : m_State;
    if (field->IsNull())
        return m_NullAndBlankState;
    if (field->DataType() == ftBoolean)
        return field->AsBoolean() ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked;
    const std::string text = field->AsString();
    if (ListItemMatches(m_ValueChecked, text))
        return TCheckBoxState::cbChecked;
    if (ListItemMatches(m_ValueUnchecked, text))
        return TCheckBoxState::cbUnchecked;
    return m_NullAndBlankState;
}

bool TwsCheckBox::ParentIsGrid() const {
    return Parent() != nullptr && Parent()->InheritsFrom("TCustomGrid");
}

TRect TwsCheckBox::GlyphRect() const {
    TImageList* images = Images();
    const bool hasImages = images != nullptr && images->Count() > 0;
    const int w = hasImages ? images->Width() : kMarkSize;
    const int h = hasImages ? images->Height() : kMarkSize;
    int c = (ParentIsGrid() ? 1 : 0) + m_Indents.ButtonX() + 1;
    if (m_Frame.Enabled() && m_Frame.FocusBorders().Contains(TwsEditFrameBorder::efLeftBorder))
        c = std::max(c, 3);
    if (m_Alignment == TLeftRight::taRightJustify)
        c += w / 2;
    else
        c = Width() - c - w / 2 - 2;
    const int middle = Height() / 2 + m_Indents.ButtonY();
    return TRect{c - w / 2, middle - h / 2, c + w / 2 + 1, middle + h / 2 + 1};
}

int TwsCheckBox::PaintGlyph(TCanvas& canvas, TCheckBoxState state) {
    const TRect glyph = GlyphRect();
    TImageList* images = Images();
    if (images == nullptr) {
        DrawCheckMark(canvas, TRect::FromSize(glyph.left, glyph.top, kMarkSize, kMarkSize), state, true);
        return -1;
    }
    const int index = ImageIndexOf(state);
    if (images->Count() < index + 1) {
        canvas.Handle().FillRect(glyph, clBtnFace);
        return -1;
    }
    images->Draw(canvas, glyph.left, glyph.top, index);
    return index;
}

void TwsCheckBox::PaintCaption(TCanvas& canvas, TCheckBoxState state) {
    if (!m_ShowText)
        return;
    std::string caption = m_Caption;
    if (m_DynamicCaption)
        caption = state == TCheckBoxState::cbChecked ? m_DisplayValueChecked : m_DisplayValueUnchecked;
    if (caption.empty())
        return;
    const TRect glyph = GlyphRect();
    TRect text = m_Alignment == TLeftRight::taRightJustify
                     ? TRect{glyph.right + 2 + m_Indents.TextX(), m_Indents.TextY(), Width(), Height()}
                     : TRect{m_Indents.TextX(), m_Indents.TextY(), glyph.left - 2, Height()};
    canvas.DrawText(caption, text, platform::tfVCenter | platform::tfSingleLine);
}

int TwsCheckBox::PaintCopy(TCanvas& canvas) {
    const TCheckBoxState state = CheckStateFromField();
    const int index = PaintGlyph(canvas, state);
    PaintCaption(canvas, state);
    return index;
}

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

const TClassInfo& TwsWinButtonIndents::StaticClassInfo() {
    using C = TwsWinButtonIndents;
    auto integer = [](void (C::*set)(int)) {
        return [set](C& c, std::int64_t v) { (c.*set)(static_cast<int>(v)); };
    };
    static const TClassInfo info = TClassBuilder<C>("TwsWinButtonIndents", TPersistent::StaticClassInfo())
                                       .Integer("ButtonX", &C::ButtonX, integer(&C::SetButtonX))
                                       .Integer("ButtonY", &C::ButtonY, integer(&C::SetButtonY))
                                       .Integer("TextX", &C::TextX, integer(&C::SetTextX))
                                       .Integer("TextY", &C::TextY, integer(&C::SetTextY))
                                       .Build();
    return info;
}

const TClassInfo& TwsCheckBox::StaticClassInfo() {
    using C = TwsCheckBox;
    static const TClassInfo info =
        TClassBuilder<C>("TwsCheckBox", TWinControl::StaticClassInfo())
            .Reference<TDataSource>("DataSource", &C::DataSource, &C::SetDataSource)
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
            .Object("Indents", [](C& c) -> TObject& { return c.Indents(); })
            .Boolean("Ctl3D", &C::Ctl3D, &C::SetCtl3D)
            .Enum<TBorderStyle>("BorderStyle", {"bsNone", "bsSingle"}, &C::BorderStyle, &C::SetBorderStyle)
            .Build();
    return info;
}

TwsCheckBox::TwsCheckBox(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 97, 17);
}

void TwsCheckBox::SetCtl3D(bool ctl3D) {
    m_Ctl3D = ctl3D;
    Invalidate();
}

void TwsCheckBox::SetBorderStyle(TBorderStyle style) {
    m_BorderStyle = style;
    Invalidate();
}

void TwsCheckBox::Paint(TCanvas& canvas) {
    if (m_AlwaysTransparent)
        return;
    TWinControl::Paint(canvas);
}

} // namespace ws
