#include "ui/FakeComponents.h"

#include "base/Strings.h"
#include "descriptions/DataModuleDescription.h"
#include "descriptions/MainWindowDescription.h"
#include "ui/ClassRegistry.h"
#include "ui/PropertiesBuilder.h"

#include <map>

namespace ws::test {

namespace {

std::optional<std::int64_t> ColorIdent(std::string_view name) {
    static const std::map<std::string, TColor> colors = {
        {"clBlue", clBlue},       {"clRed", clRed},         {"clWindowText", clWindowText},
        {"clBtnFace", clBtnFace}, {"clSkyBlue", clSkyBlue}, {"clNone", clNone},
        {"clDefault", clDefault}};
    for (const auto& [ident, color] : colors) {
        if (SameText(ident, name))
            return color;
    }
    return std::nullopt;
}

std::optional<std::int64_t> CharsetIdent(std::string_view name) {
    if (SameText(name, "ANSI_CHARSET"))
        return 0;
    if (SameText(name, "DEFAULT_CHARSET"))
        return 1;
    return std::nullopt;
}

const std::vector<std::string> kAlignments = {"taLeftJustify", "taRightJustify", "taCenter"};

void Note(const TComponent& c, const std::string& what) {
    Journal().push_back(what + " " + c.Name());
}

} // namespace

std::vector<std::string>& Journal() {
    static std::vector<std::string> journal;
    return journal;
}

void RegisterFakeClasses() {
    RegisterClass<TFakeLabel>();
    RegisterClass<TFakeGrid>();
    RegisterClass<TFakeCheckBox>();
    RegisterClass<TFakeImageList>();
    RegisterClass<TFakeTimer>();
    RegisterClass<TFakeOneInstance>();
    RegisterClass<TFakeDatabase>();
    RegisterClass<TFakeTable>();
    RegisterClass<TFakeDataSource>();
    RegisterClass<TFakeStringField>();
    RegisterClass<TFakeIntegerField>();
}

const TClassInfo& TFakeFont::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFakeFont>("TFont", TPersistent::StaticClassInfo())
            .String("Name", &TFakeFont::Name, &TFakeFont::Name)
            .Integer("Height", &TFakeFont::Height, &TFakeFont::Height)
            .Integer("Color", &TFakeFont::Color, &TFakeFont::Color, ColorIdent)
            .Integer("Charset", &TFakeFont::Charset, &TFakeFont::Charset, CharsetIdent)
            .Set<TFontStyle>("Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, &TFakeFont::Style,
                             &TFakeFont::Style)
            .Build();
    return info;
}

const TClassInfo& TFakeScrollBar::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFakeScrollBar>("TControlScrollBar", TPersistent::StaticClassInfo())
            .Boolean("Visible", &TFakeScrollBar::Visible, &TFakeScrollBar::Visible)
            .Build();
    return info;
}

const TClassInfo& TFakeControl::StaticClassInfo() {
    using C = TFakeControl;
    static const TClassInfo info = TClassBuilder<C>("TControl", TComponent::StaticClassInfo())
                                       .Integer("Left", &C::Left, &C::Left)
                                       .Integer("Top", &C::Top, &C::Top)
                                       .Integer("Width", &C::Width, &C::Width)
                                       .Integer("Height", &C::Height, &C::Height)
                                       .Boolean("Visible", &C::Visible, &C::Visible)
                                       .Integer("Color", &C::Color, &C::Color, ColorIdent)
                                       .Object("Font", &C::Font)
                                       .Event<TNotifyEvent>("OnClick", &C::OnClick)
                                       .Event<TNotifyEvent>("OnDblClick", &C::OnDblClick)
                                       .Build();
    return info;
}

TFakeControl::~TFakeControl() {
    Journal().push_back("Destroy " + Name());
}

void TFakeControl::Loaded() {
    TComponent::Loaded();
    Note(*this, "Loaded");
}

const TClassInfo& TFakeLabel::StaticClassInfo() {
    using C = TFakeLabel;
    static const TClassInfo info =
        TClassBuilder<C>("TLabel", TFakeControl::StaticClassInfo())
            .String("Caption", &C::Caption,
                    [](C& c, const std::string& v) {
                        c.Caption = v;
                        Note(c, "Caption");
                    })
            .Enum<TAlignment>("Alignment", kAlignments, &C::Alignment, &C::Alignment)
            .Boolean("AutoSize", &C::AutoSize, &C::AutoSize)
            .Boolean("ParentFont", &C::ParentFont, &C::ParentFont)
            .Boolean("Transparent", &C::Transparent, &C::Transparent)
            .Build();
    return info;
}

const TClassInfo& TFakeGrid::StaticClassInfo() {
    using C = TFakeGrid;
    static const TClassInfo info =
        TClassBuilder<C>("TwsDBGrid", TFakeControl::StaticClassInfo())
            .Reference<TFakeDataSource>("DataSource", &C::DataSource, &C::SetDataSource)
            .Set<TGridOption>("Options",
                              {"dgTitles", "dgColLines", "dgRowLines", "dgWordWrap", "dgPerfectRowFit",
                               "dgProportionalColResize"},
                              &C::Options, &C::Options)
            .Boolean("ReadOnly", &C::ReadOnly, &C::ReadOnly)
            .Object("TitleFont", &C::TitleFont)
            .StringList("Selected", &C::Selected, &C::Selected)
            .Enum<TAlignment>("TitleAlignment", kAlignments, &C::TitleAlignment, &C::TitleAlignment)
            .Integer("TitleLines", &C::TitleLines, &C::TitleLines)
            .Integer("IndicatorIconColor", &C::IndicatorIconColor, &C::IndicatorIconColor, ColorIdent)
            .Float("Ratio", &C::Ratio, &C::Ratio)
            .Event<TCalcCellColorsEvent>("OnCalcCellColors", &C::OnCalcCellColors)
            .Build();
    return info;
}

void TFakeGrid::SetDataSource(TFakeDataSource* source) {
    m_DataSource.Set(source);
    Journal().push_back("DataSource " + Name() + " = " + (source ? source->Name() : std::string("nil")));
}

const TClassInfo& TFakeImageList::StaticClassInfo() {
    using C = TFakeImageList;
    static const TClassInfo info = TClassBuilder<C>("TImageList", TComponent::StaticClassInfo())
                                       .Integer("Width", &C::Width, &C::Width)
                                       .Integer("Height", &C::Height, &C::Height)
                                       .Binary("Bitmap", &C::Bitmap, &C::Bitmap)
                                       .Build();
    return info;
}

const TClassInfo& TFakeCheckBox::StaticClassInfo() {
    using C = TFakeCheckBox;
    static const TClassInfo info = TClassBuilder<C>("TwsCheckBox", TFakeControl::StaticClassInfo())
                                       .String("DataField", &C::DataField, &C::DataField)
                                       .Reference<TFakeImageList>(
                                           "Images", [](const C& c) { return c.Images.Get(); },
                                           [](C& c, TFakeImageList* images) { c.Images.Set(images); })
                                       .Build();
    return info;
}

void TFakeCheckBox::Loaded() {
    TFakeControl::Loaded();
    Journal().push_back("Images of " + Name() +
                        " at load: " + (Images ? Images->Name() : std::string("nil")));
}

const TClassInfo& TFakeTimer::StaticClassInfo() {
    using C = TFakeTimer;
    static const TClassInfo info = TClassBuilder<C>("TTimer", TComponent::StaticClassInfo())
                                       .Integer("Interval", &C::Interval, &C::Interval)
                                       .Boolean("Enabled", &C::Enabled, &C::Enabled)
                                       .Event<TNotifyEvent>("OnTimer", &C::OnTimer)
                                       .Build();
    return info;
}

const TClassInfo& TFakeOneInstance::StaticClassInfo() {
    using C = TFakeOneInstance;
    static const TClassInfo info =
        TClassBuilder<C>("TOneInstance", TComponent::StaticClassInfo())
            .Boolean("SwitchToPrevious", &C::SwitchToPrevious, &C::SwitchToPrevious)
            .Build();
    return info;
}

void TFakeOneInstance::Loaded() {
    TComponent::Loaded();
    Note(*this, "Loaded");
}

const TClassInfo& TFakeMainForm::StaticClassInfo() {
    using C = TFakeMainForm;
    static const TClassInfo info =
        TClassBuilder<C>("TActiveJobsForm", TComponent::StaticClassInfo())
            .String("Caption", &C::Caption, &C::Caption)
            .Integer("Left", &C::Left, &C::Left)
            .Integer("Top", &C::Top, &C::Top)
            .Integer("ClientWidth", &C::ClientWidth, &C::ClientWidth)
            .Integer("ClientHeight", &C::ClientHeight, &C::ClientHeight)
            .Integer("PixelsPerInch", &C::PixelsPerInch, &C::PixelsPerInch)
            .Integer("Color", &C::Color, &C::Color, ColorIdent)
            .Boolean("OldCreateOrder", &C::OldCreateOrder, &C::OldCreateOrder)
            .Enum<TBorderStyle>("BorderStyle", {"bsNone", "bsSingle", "bsSizeable"}, &C::BorderStyle,
                                &C::BorderStyle)
            .Enum<TPosition>("Position", {"poDesigned", "poDefault"}, &C::Position, &C::Position)
            .Set<TBorderIcon>("BorderIcons", {"biSystemMenu", "biMinimize", "biMaximize"}, &C::BorderIcons,
                              &C::BorderIcons)
            .Object("Font", &C::Font)
            .Object("HorzScrollBar", &C::HorzScrollBar)
            .Object("VertScrollBar", &C::VertScrollBar)
            .Event<TNotifyEvent>("OnCreate", &C::OnCreate)
            .Event<TNotifyEvent>("OnShow", &C::OnShow)
            .Event<TNotifyEvent>("OnClick", &C::OnClick)
            .Build();
    return info;
}

TFakeMainForm::TFakeMainForm(TComponent* owner) : TComponent(owner) {
    auto handler = [](const char* name) {
        return TNotifyEvent([name](TObject* sender) {
            const auto* c = dynamic_cast<const TComponent*>(sender);
            Journal().push_back(std::string(name) + " from " + (c ? c->Name() : std::string("?")));
        });
    };
    PublishMethod<TNotifyEvent>("FormCreate", [this](TObject*) {
        Journal().push_back("FormCreate");
        if (CreateProbe)
            CreateProbe();
    });
    PublishMethod("FormShow", handler("FormShow"));
    PublishMethod("FormClick", handler("FormClick"));
    PublishMethod("JobsGridDblClick", handler("JobsGridDblClick"));
    PublishMethod("RnRGridDblClick", handler("RnRGridDblClick"));
    PublishMethod("Timer1Timer", handler("Timer1Timer"));
    auto colors = [](const char* name) {
        return TCalcCellColorsEvent([name](TObject*, TObject*, bool, TColor& color) {
            color = clRed;
            Journal().push_back(name);
        });
    };
    PublishMethod("JobsGridCalcCellColors", colors("JobsGridCalcCellColors"));
    PublishMethod("SpecialDateGridCalcCellColors", colors("SpecialDateGridCalcCellColors"));
}

std::string_view TFakeMainForm::StoredDescription() const {
    return descriptions::MainWindow();
}

void TFakeMainForm::AfterConstruction() {
    if (OnCreate)
        OnCreate(this);
}

void TFakeMainForm::Loaded() {
    TComponent::Loaded();
    Note(*this, "Loaded");
}

const TClassInfo& TFakeDatabase::StaticClassInfo() {
    using C = TFakeDatabase;
    static const TClassInfo info = TClassBuilder<C>("TDatabase", TComponent::StaticClassInfo())
                                       .String("AliasName", &C::AliasName, &C::AliasName)
                                       .String("DatabaseName", &C::DatabaseName, &C::DatabaseName)
                                       .Boolean("Connected", &C::Connected, &C::Connected)
                                       .Build();
    return info;
}

void TFakeDatabase::Loaded() {
    TComponent::Loaded();
    Note(*this, "Connect");
}

const TClassInfo& TFakeField::StaticClassInfo() {
    using C = TFakeField;
    static const TClassInfo info =
        TClassBuilder<C>("TField", TComponent::StaticClassInfo())
            .String("FieldName", &C::FieldName, &C::FieldName)
            .Integer("Size", &C::Size, &C::Size)
            .Enum<int>(
                "FieldKind", {"fkData", "fkCalculated", "fkLookup", "fkInternalCalc"},
                [](const C& c) { return c.FieldKind == "fkCalculated" ? 1 : 0; },
                [](C& c, int v) { c.FieldKind = v == 1 ? "fkCalculated" : "fkData"; })
            .Boolean("Calculated", &C::Calculated, &C::Calculated)
            .Build();
    return info;
}

const TClassInfo& TFakeStringField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFakeStringField>("TStringField", TFakeField::StaticClassInfo()).Build();
    return info;
}

const TClassInfo& TFakeIntegerField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFakeIntegerField>("TIntegerField", TFakeField::StaticClassInfo()).Build();
    return info;
}

const TClassInfo& TFakeTable::StaticClassInfo() {
    using C = TFakeTable;
    static const TClassInfo info = TClassBuilder<C>("TwsTable", TComponent::StaticClassInfo())
                                       .Boolean("Active", &C::Active, &C::SetActive)
                                       .String("DatabaseName", &C::DatabaseName, &C::DatabaseName)
                                       .String("TableName", &C::TableName, &C::TableName)
                                       .String("IndexName", &C::IndexName, &C::IndexName)
                                       .StringList("ControlType", &C::ControlType, &C::ControlType)
                                       .Event<TNotifyEvent>("OnCalcFields", &C::OnCalcFields)
                                       .Build();
    return info;
}

void TFakeTable::SetActive(bool active) {
    if (IsLoading()) {
        m_StoredActive = active;
        return;
    }
    if (active && TableName == "Missing.DB")
        throw EInvalidOperation(Name() + ": Table does not exist");
    m_Active = active;
    if (active)
        Note(*this, "Open");
}

void TFakeTable::Loaded() {
    TComponent::Loaded();
    if (m_StoredActive)
        SetActive(true);
}

const TClassInfo& TFakeDataSource::StaticClassInfo() {
    using C = TFakeDataSource;
    static const TClassInfo info = TClassBuilder<C>("TwsDataSource", TComponent::StaticClassInfo())
                                       .Reference<TFakeTable>(
                                           "DataSet", [](const C& c) { return c.DataSet.Get(); },
                                           [](C& c, TFakeTable* t) { c.DataSet.Set(t); })
                                       .Build();
    return info;
}

const TClassInfo& TFakeDataModule::StaticClassInfo() {
    using C = TFakeDataModule;
    static const TClassInfo info = TClassBuilder<C>("TJobsDM", TComponent::StaticClassInfo())
                                       .Integer("Width", &C::Width, &C::Width)
                                       .Integer("Height", &C::Height, &C::Height)
                                       .Build();
    return info;
}

TFakeDataModule::TFakeDataModule(TComponent* owner) : TComponent(owner) {
    PublishMethod<TNotifyEvent>("JobsTableCalcFields",
                                [](TObject*) { Journal().push_back("JobsTableCalcFields"); });
}

std::string_view TFakeDataModule::StoredDescription() const {
    return descriptions::DataModule();
}

} // namespace ws::test
