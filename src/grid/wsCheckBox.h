#pragma once

// The image check box as the main window's stored description configures it: a hidden control
// bound to a logical field that a grid takes over to draw a column's cells. For now it keeps its
// stored settings and paints only its background; the state pictures come with the box proper.

#include "base/EnumSet.h"
#include "ui/ComponentRef.h"
#include "ui/ImageList.h"
#include "ui/WinControl.h"

#include <string>

namespace ws {

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum class TLeftRight { taLeftJustify, taRightJustify };
enum class TwsEditFrameBorder { efLeftBorder, efTopBorder, efRightBorder, efBottomBorder };
using TwsEditFrameBorders = TEnumSet<TwsEditFrameBorder>;

// The frame drawn around an edit-like control.
class TwsEditFrame : public TPersistent {
public:
    WS_CLASS_INFO()
    bool Enabled() const { return m_Enabled; }
    void SetEnabled(bool enabled) { m_Enabled = enabled; }
    bool Transparent() const { return m_Transparent; }
    void SetTransparent(bool transparent) { m_Transparent = transparent; }
    TwsEditFrameBorders FocusBorders() const { return m_FocusBorders; }
    void SetFocusBorders(TwsEditFrameBorders borders) { m_FocusBorders = borders; }
    TwsEditFrameBorders NonFocusBorders() const { return m_NonFocusBorders; }
    void SetNonFocusBorders(TwsEditFrameBorders borders) { m_NonFocusBorders = borders; }

private:
    bool m_Enabled = false;
    bool m_Transparent = false;
    TwsEditFrameBorders m_FocusBorders{TwsEditFrameBorder::efLeftBorder, TwsEditFrameBorder::efTopBorder,
                                       TwsEditFrameBorder::efRightBorder, TwsEditFrameBorder::efBottomBorder};
    TwsEditFrameBorders m_NonFocusBorders{TwsEditFrameBorder::efBottomBorder};
};

class TwsCheckBox : public TWinControl {
public:
    WS_CLASS_INFO()

    explicit TwsCheckBox(TComponent* owner);

    TComponent* DataSource() const { return m_DataSource.Get(); }
    void SetDataSource(TComponent* source) { m_DataSource.Set(source); }
    const std::string& DataField() const { return m_DataField; }
    void SetDataField(const std::string& field) { m_DataField = field; }
    TImageList* Images() const { return m_Images.Get(); }
    void SetImages(TImageList* images) { m_Images.Set(images); }

    const std::string& Caption() const { return m_Caption; }
    void SetCaption(const std::string& caption) { m_Caption = caption; }
    const std::string& ValueChecked() const { return m_ValueChecked; }
    void SetValueChecked(const std::string& value) { m_ValueChecked = value; }
    const std::string& ValueUnchecked() const { return m_ValueUnchecked; }
    void SetValueUnchecked(const std::string& value) { m_ValueUnchecked = value; }
    const std::string& DisplayValueChecked() const { return m_DisplayValueChecked; }
    void SetDisplayValueChecked(const std::string& value) { m_DisplayValueChecked = value; }
    const std::string& DisplayValueUnchecked() const { return m_DisplayValueUnchecked; }
    void SetDisplayValueUnchecked(const std::string& value) { m_DisplayValueUnchecked = value; }
    TCheckBoxState NullAndBlankState() const { return m_NullAndBlankState; }
    void SetNullAndBlankState(TCheckBoxState state) { m_NullAndBlankState = state; }
    TCheckBoxState State() const { return m_State; }
    void SetState(TCheckBoxState state) { m_State = state; }
    bool Checked() const { return m_State == TCheckBoxState::cbChecked; }
    void SetChecked(bool checked) {
        m_State = checked ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked;
    }
    bool AlwaysTransparent() const { return m_AlwaysTransparent; }
    void SetAlwaysTransparent(bool transparent) { m_AlwaysTransparent = transparent; }
    bool ShowText() const { return m_ShowText; }
    void SetShowText(bool show) { m_ShowText = show; }
    bool DynamicCaption() const { return m_DynamicCaption; }
    void SetDynamicCaption(bool dynamic) { m_DynamicCaption = dynamic; }
    TLeftRight Alignment() const { return m_Alignment; }
    void SetAlignment(TLeftRight alignment) { m_Alignment = alignment; }
    bool DisableThemes() const { return m_DisableThemes; }
    void SetDisableThemes(bool disable) { m_DisableThemes = disable; }
    TwsEditFrame& Frame() { return m_Frame; }

protected:
    void Paint(TCanvas& canvas) override;

private:
    TComponentRef<TComponent> m_DataSource{this};
    std::string m_DataField;
    TComponentRef<TImageList> m_Images{this};
    std::string m_Caption;
    std::string m_ValueChecked = "True";
    std::string m_ValueUnchecked = "False";
    std::string m_DisplayValueChecked = "True";
    std::string m_DisplayValueUnchecked = "False";
    TCheckBoxState m_NullAndBlankState = TCheckBoxState::cbUnchecked;
    TCheckBoxState m_State = TCheckBoxState::cbUnchecked;
    bool m_AlwaysTransparent = false;
    bool m_ShowText = true;
    bool m_DynamicCaption = false;
    TLeftRight m_Alignment = TLeftRight::taRightJustify;
    bool m_DisableThemes = false;
    TwsEditFrame m_Frame;
};

} // namespace ws
