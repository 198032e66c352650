#pragma once

// Small stand-ins for the real controls, views and roots, publishing the properties the stored
// descriptions of the main window and the data module use. Every observable step (property set,
// load notification, handler call, free) is written to Journal().

#include "base/Color.h"
#include "base/EnumSet.h"
#include "ui/Component.h"
#include "ui/ComponentRef.h"

#include <functional>
#include <string>
#include <vector>

namespace ws::test {

std::vector<std::string>& Journal();
void RegisterFakeClasses();

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize };
enum class TBorderStyle { bsNone, bsSingle, bsSizeable };
enum class TPosition { poDesigned, poDefault };
enum class TGridOption {
    dgTitles,
    dgColLines,
    dgRowLines,
    dgWordWrap,
    dgPerfectRowFit,
    dgProportionalColResize
};

using TCalcCellColorsEvent =
    std::function<void(TObject* Sender, TObject* Field, bool Highlight, TColor& Color)>;

class TFakeFont : public TPersistent {
public:
    WS_CLASS_INFO()
    std::string Name = "MS Sans Serif";
    int Height = -11;
    TColor Color = clWindowText;
    int Charset = 1;
    TEnumSet<TFontStyle> Style;
};

class TFakeScrollBar : public TPersistent {
public:
    WS_CLASS_INFO()
    bool Visible = true;
};

// Common ground of the controls: geometry, visibility, font, parent, clicks.
class TFakeControl : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    ~TFakeControl() override;

    void Loaded() override;
    void SetParentComponent(TComponent* parent) override { m_Parent = parent; }
    TComponent* Parent() const { return m_Parent; }

    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Visible = true;
    TColor Color = clBtnFace;
    TFakeFont Font;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

private:
    TComponent* m_Parent = nullptr;
};

class TFakeLabel : public TFakeControl {
public:
    WS_CLASS_INFO()
    using TFakeControl::TFakeControl;
    std::string Caption;
    TAlignment Alignment = TAlignment::taLeftJustify;
    bool AutoSize = true;
    bool ParentFont = true;
    bool Transparent = true;
};

class TFakeDataSource;

class TFakeGrid : public TFakeControl {
public:
    WS_CLASS_INFO()
    using TFakeControl::TFakeControl;
    TFakeDataSource* DataSource() const { return m_DataSource.Get(); }
    void SetDataSource(TFakeDataSource* source);

    TEnumSet<TGridOption> Options;
    bool ReadOnly = false;
    TFakeFont TitleFont;
    std::vector<std::string> Selected;
    TAlignment TitleAlignment = TAlignment::taLeftJustify;
    int TitleLines = 0;
    TColor IndicatorIconColor = clDefault;
    double Ratio = 1.0;
    TCalcCellColorsEvent OnCalcCellColors;

private:
    TComponentRef<TFakeDataSource> m_DataSource{this};
};

class TFakeImageList : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    int Width = 16;
    int Height = 16;
    std::vector<std::uint8_t> Bitmap;
};

class TFakeCheckBox : public TFakeControl {
public:
    WS_CLASS_INFO()
    using TFakeControl::TFakeControl;
    void Loaded() override;
    std::string DataField;
    TComponentRef<TFakeImageList> Images{this};
};

class TFakeTimer : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    int Interval = 1000;
    bool Enabled = true;
    TNotifyEvent OnTimer;
};

class TFakeOneInstance : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    void Loaded() override;
    bool SwitchToPrevious = true;
};

// The main window: publishes its handlers and raises OnCreate after construction.
class TFakeMainForm : public TComponent {
public:
    WS_CLASS_INFO()
    explicit TFakeMainForm(TComponent* owner);
    std::string_view StoredDescription() const override;
    void AfterConstruction() override;
    void Loaded() override;

    std::string Caption;
    int Left = 0, Top = 0, ClientWidth = 0, ClientHeight = 0, PixelsPerInch = 0;
    TColor Color = clBtnFace;
    bool OldCreateOrder = true;
    TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
    TPosition Position = TPosition::poDesigned;
    TEnumSet<TBorderIcon> BorderIcons{TBorderIcon::biSystemMenu};
    TFakeFont Font;
    TFakeScrollBar HorzScrollBar, VertScrollBar;
    TNotifyEvent OnCreate, OnShow, OnClick;
    // What a handler saw of the global when it ran.
    std::function<void()> CreateProbe;
};

class TFakeDatabase : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    void Loaded() override;
    std::string AliasName, DatabaseName;
    bool Connected = false;
};

class TFakeField : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    void SetParentComponent(TComponent* parent) override { DataSet = parent; }
    std::string FieldName;
    int Size = 0;
    std::string FieldKind = "fkData";
    bool Calculated = false;
    TComponent* DataSet = nullptr;
};

class TFakeStringField : public TFakeField {
public:
    WS_CLASS_INFO()
    using TFakeField::TFakeField;
};

class TFakeIntegerField : public TFakeField {
public:
    WS_CLASS_INFO()
    using TFakeField::TFakeField;
};

// A table view opens at its load notification when its stored Active was True.
class TFakeTable : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    void Loaded() override;
    void SetActive(bool active);
    bool Active() const { return m_Active; }

    std::string DatabaseName, TableName, IndexName;
    std::vector<std::string> ControlType;
    TNotifyEvent OnCalcFields;

private:
    bool m_Active = false;
    bool m_StoredActive = false;
};

class TFakeDataSource : public TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    TComponentRef<TFakeTable> DataSet{this};
};

class TFakeDataModule : public TComponent {
public:
    WS_CLASS_INFO()
    explicit TFakeDataModule(TComponent* owner);
    std::string_view StoredDescription() const override;
    int Width = 0, Height = 0;
};

} // namespace ws::test
