#pragma once

// The image check box: a windowed control bound to a field through a data source, with state
// pictures from an image list. On the wall screen it stays hidden; a grid takes it over (becomes
// its parent, binds it to its own data source and field) and has it paint the cells of a column.
// Painted into a grid cell (PaintCopy), it reads its state from the bound field at the data set's
// active record and draws the matching picture; its own State never reaches a cell.

#include "base/EnumSet.h"
#include "data/DataSource.h"
#include "ui/ComponentRef.h"
#include "ui/ImageList.h"
#include "ui/WinControl.h"

#include <string>

namespace ws {

class TDataSource;
class TField;

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum class TLeftRight { taLeftJustify, taRightJustify };
enum class TBorderStyle { bsNone, bsSingle };
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

// Offsets of the state picture and of the caption inside the box.
class TwsWinButtonIndents : public TPersistent {
public:
    WS_CLASS_INFO()
    int ButtonX() const { return m_ButtonX; }
    void SetButtonX(int x) { m_ButtonX = x; }
    int ButtonY() const { return m_ButtonY; }
    void SetButtonY(int y) { m_ButtonY = y; }
    int TextX() const { return m_TextX; }
    void SetTextX(int x) { m_TextX = x; }
    int TextY() const { return m_TextY; }
    void SetTextY(int y) { m_TextY = y; }

private:
    int m_ButtonX = 0;
    int m_ButtonY = 0;
    int m_TextX = 0;
    int m_TextY = 0;
};

class TwsCheckBox : public TWinControl {
public:
    WS_CLASS_INFO()

    explicit TwsCheckBox(TComponent* owner);

    TDataSource* DataSource() const { return m_DataSource.Get(); }
    void SetDataSource(TDataSource* source) { m_DataSource.Set(source); }
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
    TwsWinButtonIndents& Indents() { return m_Indents; }
    bool Ctl3D() const { return m_Ctl3D; }
    void SetCtl3D(bool ctl3D);
    TBorderStyle BorderStyle() const { return m_BorderStyle; }
    void SetBorderStyle(TBorderStyle style);

    // The bound field, or null when no data source, data set or field of that name is there.
    TField* Field() const;
    // The state the bound field's value at the active record stands for.
    TCheckBoxState CheckStateFromField() const;
    // Where the state picture goes, in client coordinates of a box of the current size.
    TRect GlyphRect() const;
    // Paints the box into a canvas whose origin is the box's top-left corner and whose clip is the
    // box, as a grid cell shows it: no background, the state from the field, the caption in the
    // canvas font's colour. Returns the index of the picture drawn, or -1 when none was drawn.
    int PaintCopy(TCanvas& canvas);

protected:
    void Paint(TCanvas& canvas) override;

private:
    bool ParentIsGrid() const;
    int PaintGlyph(TCanvas& canvas, TCheckBoxState state);
    void PaintCaption(TCanvas& canvas, TCheckBoxState state);
    bool ListItemMatches(const std::string& list, const std::string& text) const;

    TComponentRef<TDataSource> m_DataSource{this};
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
    TwsWinButtonIndents m_Indents;
    bool m_Ctl3D = true;
    TBorderStyle m_BorderStyle = TBorderStyle::bsSingle;
};

} // namespace ws
