#include "grid/wsCustomDBGrid.h"

#include "base/Strings.h"
#include "data/DataSet.h"
#include "data/DataSource.h"
#include "data/Field.h"
#include "grid/ColumnStrings.h"
#include "platform/Image.h"
#include "platform/PixelCanvas.h"
#include "ui/CustomForm.h"
#include "ui/Properties.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>
#include <limits>

namespace ws {

namespace {

// Width the platform's vertical scroll bar would take from a grid that may show one.
constexpr int kScrollThumbWidth = 17;
constexpr int kIndicatorWidth = 11;
// Rows the cell grid is given while the data link works out how many fit.
constexpr int kProbeRowCount = 1000;

const TwsDBGridOptions kLayoutOptions{TwsDBGridOption::dgEditing,
                                      TwsDBGridOption::dgAlwaysShowEditor,
                                      TwsDBGridOption::dgTitles,
                                      TwsDBGridOption::dgIndicator,
                                      TwsDBGridOption::dgColLines,
                                      TwsDBGridOption::dgRowLines,
                                      TwsDBGridOption::dgRowSelect,
                                      TwsDBGridOption::dgAlwaysShowSelection,
                                      TwsDBGridOption::dgPerfectRowFit,
                                      TwsDBGridOption::dgShowFooter,
                                      TwsDBGridOption::dgProportionalColResize};

// Base widths are 16 bits wide; a wider column is held at the largest rather than wrapping round.
std::uint16_t ToBaseWidth(int width) {
    return static_cast<std::uint16_t>(std::clamp(width, 0, int{std::numeric_limits<std::uint16_t>::max()}));
}

bool IsStringListProperty(const TObject& object, std::string_view name) {
    const TPropInfo* info = FindPropInfo(object, name);
    return info != nullptr && info->Kind == TPropKind::StringList;
}

} // namespace

// Raises a counter for the lifetime of the guard, so an exception cannot leave it raised.
class TwsCustomDBGrid::TGuard {
public:
    explicit TGuard(int& counter) : m_Counter(counter) { ++m_Counter; }
    ~TGuard() { --m_Counter; }
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;

private:
    int& m_Counter;
};

const TClassInfo& TwsCustomDBGrid::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TwsCustomDBGrid>("TwsCustomDBGrid", TCustomGrid::StaticClassInfo()).Build();
    return info;
}

TwsCustomDBGrid::TwsCustomDBGrid(TComponent* owner) : TCustomGrid(owner), m_DataLink(*this) {
    m_TitleFont.OnChange = [this] {
        if (!IsLoading() && m_Options.Contains(TwsDBGridOption::dgTitles))
            LayoutPass();
        else
            Invalidate();
    };
}

TwsCustomDBGrid::~TwsCustomDBGrid() {
    // Detach while every member is alive: the link tells the grid it went inactive.
    m_Destroying = true;
    m_DataLink.SetDataSource(nullptr);
}

// ---- data -------------------------------------------------------------------------------------------

void TwsCustomDBGrid::SetDataSource(TDataSource* source) {
    if (source == m_DataSource.Get() && source == m_DataLink.DataSource())
        return;
    m_DataSource.Set(source);
    m_DataLink.SetDataSource(source);
}

TDataSet* TwsCustomDBGrid::DataSet() const {
    return m_DataLink.DataSource() ? m_DataLink.DataSet() : nullptr;
}

void TwsCustomDBGrid::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == m_DataSource.Get())
        m_DataLink.SetDataSource(nullptr);
    TCustomGrid::Notification(component, operation);
}

// ---- switches ----------------------------------------------------------------------------------------

void TwsCustomDBGrid::SetOptions(TwsDBGridOptions options) {
    if (options == m_Options)
        return;
    const std::uint64_t changed = options.Bits() ^ m_Options.Bits();
    m_Options = options;
    if (changed & TwsDBGridOptions{TwsDBGridOption::dgIndicator}.Bits())
        m_BaseWidths.reset();
    if (changed & kLayoutOptions.Bits())
        LayoutPass();
    else
        Invalidate();
}

void TwsCustomDBGrid::SetEditControlOptions(TwsEditControlOptions options) {
    m_EditControlOptions = options;
    Invalidate();
}

void TwsCustomDBGrid::SetFixedCols(int count) {
    m_DataFixedCols = std::max(count, 0);
    LayoutPass();
}

void TwsCustomDBGrid::SetUseTFields(bool use) {
    if (use == m_UseTFields)
        return;
    m_UseTFields = use;
    m_BaseWidths.reset();
    LayoutPass();
}

void TwsCustomDBGrid::SetControlInfoInDataset(bool use) {
    m_ControlInfoInDataset = use;
    Invalidate();
}

void TwsCustomDBGrid::SetTitleAlignment(TAlignment alignment) {
    m_TitleAlignment = alignment;
    LayoutPass();
}

void TwsCustomDBGrid::SetTitleLines(int lines) {
    if (lines < 1)
        return;
    m_TitleLines = lines;
    LayoutPass();
}

void TwsCustomDBGrid::SetTitleButtons(bool buttons) {
    m_TitleButtons = buttons;
    Invalidate();
}

void TwsCustomDBGrid::SetTitleColor(TColor color) {
    m_TitleColor = color;
    LayoutPass();
}

void TwsCustomDBGrid::SetRowHeightPercent(int percent) {
    m_RowHeightPercent = percent <= 0 ? 100 : percent;
    LayoutPass();
}

void TwsCustomDBGrid::SetFooterHeight(int height) {
    m_FooterHeight = std::max(height, 0);
    if (m_Options.Contains(TwsDBGridOption::dgShowFooter))
        UpdateRowCount();
    Invalidate();
}

// ---- column model ------------------------------------------------------------------------------------

void TwsCustomDBGrid::SetSelected(const std::vector<std::string>& lines) {
    m_Selected = lines;
    Invalidate();
}

std::string* TwsCustomDBGrid::FieldLine(std::string_view fieldName) {
    for (std::string& line : m_Selected) {
        if (SameText(LineToken(line, 1), fieldName))
            return &line;
    }
    return nullptr;
}

TwsColumn& TwsCustomDBGrid::ColumnByName(std::string_view fieldName) {
    for (auto& column : m_Columns) {
        if (SameText(column->FieldName(), fieldName))
            return *column;
    }
    return m_EmptyColumn;
}

TwsColumn& TwsCustomDBGrid::ColumnByIndex(int i) {
    if (i < 0)
        return m_EmptyColumn;
    if (m_DataLink.MappedCount() > 0) {
        TField* field = m_DataLink.Fields(i);
        return field ? ColumnByName(field->FieldName()) : m_EmptyColumn;
    }
    if (i >= static_cast<int>(m_Selected.size()))
        return m_EmptyColumn;
    return ColumnByName(LineToken(m_Selected[static_cast<std::size_t>(i)], 1));
}

const TwsColumn& TwsCustomDBGrid::ColumnByName(std::string_view fieldName) const {
    return const_cast<TwsCustomDBGrid*>(this)->ColumnByName(fieldName);
}

const TwsColumn& TwsCustomDBGrid::ColumnByIndex(int i) const {
    return const_cast<TwsCustomDBGrid*>(this)->ColumnByIndex(i);
}

std::vector<std::string> TwsCustomDBGrid::ChosenControlTypeList() const {
    TDataSet* ds = DataSet();
    if (m_ControlInfoInDataset && ds != nullptr && IsStringListProperty(*ds, "ControlType"))
        return GetPropValue(*ds, "ControlType").AsStringList();
    return m_ControlType;
}

TwsControlType TwsCustomDBGrid::ControlTypeOf(std::string_view fieldName) const {
    TwsControlType result;
    for (const std::string& line : ChosenControlTypeList()) {
        if (LineToken(line, 1, ';') != fieldName)
            continue;
        result.Kind = LineToken(line, 2, ';');
        result.Params = ControlTypeParams(line);
    }
    return result;
}

TComponent* TwsCustomDBGrid::SearchRoot() const {
    if (m_EditControlOptions.Contains(TwsEditControlOption::ecoSearchOwnerForm)) {
        for (const TComponent* c = this; c != nullptr; c = c->Owner()) {
            if (dynamic_cast<const TCustomForm*>(c) != nullptr)
                return const_cast<TComponent*>(c);
        }
        return nullptr;
    }
    for (TWinControl* p = Parent(); p != nullptr; p = p->Parent()) {
        if (dynamic_cast<TCustomForm*>(p) != nullptr)
            return p;
    }
    return nullptr;
}

TWinControl* TwsCustomDBGrid::FindControlByName(std::string_view name) const {
    TComponent* root = SearchRoot();
    if (root == nullptr)
        return nullptr;
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos)
        return dynamic_cast<TWinControl*>(root->FindComponent(name));
    const std::string_view first = name.substr(0, dot);
    const std::string_view second = name.substr(dot + 1);
    if (second.empty())
        return nullptr;
    TComponent* container = root->FindComponent(first);
    if (container == nullptr || !container->InheritsFrom("TCustomFrame")) {
        TDataSet* ds = DataSet();
        container = ds != nullptr ? ds->Owner() : nullptr;
    }
    return container ? dynamic_cast<TWinControl*>(container->FindComponent(second)) : nullptr;
}

TWinControl* TwsCustomDBGrid::FindEditControl(int col, int row) const {
    if (m_EditControlOptions.Contains(TwsEditControlOption::ecoDisableCustomControls))
        return nullptr;
    const int i = col - m_IndicatorOffset;
    TField* field = DataSet() != nullptr ? m_DataLink.Fields(i) : nullptr;
    if (field == nullptr || row < m_TitleOffset)
        return nullptr;
    for (const std::string& line : ChosenControlTypeList()) {
        if (LineToken(line, 1, ';') != field->FieldName() || !IsCustomControlKind(LineToken(line, 2, ';')))
            continue;
        TWinControl* control = FindControlByName(LineToken(line, 3, ';'));
        for (TWinControl* p = control ? control->Parent() : nullptr; p != nullptr; p = p->Parent()) {
            if (dynamic_cast<TCustomForm*>(p) != nullptr && p->InheritsFrom("TwsRecordViewForm"))
                return nullptr;
        }
        return control;
    }
    // This grid creates no date picker editor, the only other control a cell can have.
    return nullptr;
}

void TwsCustomDBGrid::AttachCustomControls() {
    if (IsLoading() || DataSource() == nullptr || DataSet() == nullptr ||
        m_EditControlOptions.Contains(TwsEditControlOption::ecoDisableCustomControls))
        return;
    m_CustomControlsAttached = true;
    for (const std::string& line : ChosenControlTypeList()) {
        if (LineTokenCount(line, ';') < 2 || !IsCustomControlKind(LineToken(line, 2, ';')))
            continue;
        if (TWinControl* control = FindControlByName(LineToken(line, 3, ';')))
            BindControl(*control, LineToken(line, 1, ';'));
    }
}

void TwsCustomDBGrid::BindControl(TWinControl& control, const std::string& fieldName) {
    control.Hide();
    control.SetParent(this);
    if (const TPropInfo* info = FindPropInfo(control, "DataSource");
        info != nullptr && info->Kind == TPropKind::Component && info->ComponentClass != nullptr &&
        DataSource()->InheritsFrom(info->ComponentClass().Name()))
        SetPropValue(control, "DataSource", TPropValue::Component(DataSource()));
    if (const TPropInfo* info = FindPropInfo(control, "DataField"); info && info->Kind == TPropKind::String)
        SetPropValue(control, "DataField", TPropValue::String(fieldName));
    if (const TPropInfo* info = FindPropInfo(control, "Ctl3D"); info && info->Kind == TPropKind::Boolean)
        SetPropValue(control, "Ctl3D", TPropValue::Boolean(false));
    control.Font().Assign(Font());
    if (control.InheritsFrom("TwsDataInspector")) {
        if (const TPropInfo* info = FindPropInfo(control, "ScrollBars");
            info && info->Kind == TPropKind::Enum)
            SetPropValue(control, "ScrollBars", TPropValue::Ident("ssNone"));
        return;
    }
    if (const TPropInfo* info = FindPropInfo(control, "BorderStyle"); info && info->Kind == TPropKind::Enum)
        SetPropValue(control, "BorderStyle", TPropValue::Ident("bsNone"));
}

void TwsCustomDBGrid::PruneDataSetLists() {
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return;
    auto names = [ds](const std::string& line) {
        return ds->FindFieldNamed(LineToken(line, 1, ';')) != nullptr;
    };
    if (IsStringListProperty(*ds, "ControlType")) {
        std::vector<std::string> lines = GetPropValue(*ds, "ControlType").AsStringList();
        const auto kept = std::stable_partition(lines.begin(), lines.end(), names);
        if (kept != lines.end()) {
            lines.erase(kept, lines.end());
            SetPropValue(*ds, "ControlType", TPropValue::StringList(lines));
        }
    }
    if (!IsStringListProperty(*ds, "LookupFields"))
        return;
    // The two lookup lists hold one line per lookup each; a line goes from both at once.
    std::vector<std::string> fields = GetPropValue(*ds, "LookupFields").AsStringList();
    std::vector<std::string> links;
    const bool hasLinks = IsStringListProperty(*ds, "LookupLinks");
    if (hasLinks)
        links = GetPropValue(*ds, "LookupLinks").AsStringList();
    bool changed = false;
    for (std::size_t i = 0; i < fields.size();) {
        if (names(fields[i])) {
            ++i;
            continue;
        }
        fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(i));
        if (i < links.size())
            links.erase(links.begin() + static_cast<std::ptrdiff_t>(i));
        changed = true;
    }
    if (!changed)
        return;
    SetPropValue(*ds, "LookupFields", TPropValue::StringList(fields));
    if (hasLinks)
        SetPropValue(*ds, "LookupLinks", TPropValue::StringList(links));
}

bool TwsCustomDBGrid::DataSetHasCalculatedField() const {
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return false;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        if (ds->Fields(i)->Calculated())
            return true;
    }
    return false;
}

void TwsCustomDBGrid::BuildColumns() {
    m_DataLink.ClearMapping();
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return;
    if (m_UseTFields) {
        for (int i = 0; i < ds->FieldCount(); ++i) {
            if (ds->Fields(i)->Visible())
                m_DataLink.AddMapping(ds->Fields(i));
        }
    } else {
        for (std::size_t i = 0; i < m_Selected.size();) {
            TField* field = ds->FindFieldNamed(LineToken(m_Selected[i], 1));
            if (field == nullptr) {
                m_Selected.erase(m_Selected.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            m_DataLink.AddMapping(field);
            ++i;
        }
    }
    std::vector<std::unique_ptr<TwsColumn>> columns;
    for (int i = 0; i < m_DataLink.MappedCount(); ++i) {
        const std::string& name = m_DataLink.Fields(i)->FieldName();
        auto column = std::make_unique<TwsColumn>(this, name);
        column->SetFooterValue(ColumnByName(name).FooterValue());
        columns.push_back(std::move(column));
    }
    m_Columns = std::move(columns);
}

void TwsCustomDBGrid::RebuildColumnCache() {
    m_ColumnCache.assign(static_cast<std::size_t>(ColCount()), TwsCacheColInfoItem{});
    for (int c = m_IndicatorOffset; c < ColCount(); ++c) {
        TField* field = m_DataLink.Fields(c - m_IndicatorOffset);
        if (field == nullptr)
            continue;
        TwsCacheColInfoItem& item = m_ColumnCache[static_cast<std::size_t>(c)];
        const TwsControlType type = ControlTypeOf(field->FieldName());
        item.ControlKind = type.Kind;
        item.ControlParams = type.Params;
        if (!IsCustomControlKind(type.Kind))
            continue;
        item.Control = FindEditControl(c, m_TitleOffset);
        item.PaintInAllCells = item.Control != nullptr && LineToken(type.Params, 2, ';') == "T";
        if (item.Control == nullptr)
            item.ControlKind.clear();
    }
}

// ---- geometry ----------------------------------------------------------------------------------------

platform::Size TwsCustomDBGrid::MeasureText(const TFont& font, std::string_view text) const {
    if (m_TextMeasure)
        return m_TextMeasure(font, text);
    platform::Image scratch(1, 1);
    platform::PixelCanvas surface(scratch);
    TCanvas canvas(surface);
    canvas.Font().Assign(font);
    return canvas.TextExtent(text);
}

int TwsCustomDBGrid::CharWidth() const {
    // A font without a width for "0" would make every width a division by zero.
    return std::max(1, MeasureText(Font(), "0").cx);
}

int TwsCustomDBGrid::TextHeightOf(const TFont& font) const {
    return MeasureText(font, "W").cy;
}

bool TwsCustomDBGrid::Proportional() const {
    return m_Options.Contains(TwsDBGridOption::dgProportionalColResize) && !m_UseTFields;
}

int TwsCustomDBGrid::RowLineAllowance() const {
    return m_Options.Contains(TwsDBGridOption::dgRowLines) ||
                   !m_Options.Contains(TwsDBGridOption::dgRowLinesDisableFixed)
               ? 1
               : 0;
}

int TwsCustomDBGrid::VertLineWidth(int) const {
    return m_Options.Contains(TwsDBGridOption::dgColLines) ? GridLineWidth() : 0;
}

int TwsCustomDBGrid::HorzLineWidth(int) const {
    return RowLineAllowance();
}

int TwsCustomDBGrid::FooterAreaHeight() const {
    if (!m_Options.Contains(TwsDBGridOption::dgShowFooter))
        return 0;
    const int height = m_FooterHeight != 0 ? m_FooterHeight : TextHeightOf(Font()) + 6;
    return height + (m_Options.Contains(TwsDBGridOption::dgFooter3DCells) ? 2 : 0);
}

void TwsCustomDBGrid::LayoutRowHeights() {
    const int th = TextHeightOf(Font());
    const int rl = RowLineAllowance();
    const int rowHeight = (th + 2 + rl) * m_RowHeightPercent / 100;
    if (rowHeight != DefaultRowHeight())
        SetDefaultRowHeight(rowHeight);
    if (!m_Options.Contains(TwsDBGridOption::dgTitles))
        return;
    int title = dynamic_cast<TCustomGrid*>(Parent()) != nullptr
                    ? m_TitleLines * (th + 3 + rl) - 1
                    : TextHeightOf(m_TitleFont) * m_TitleLines + 4;
    if (rl == 0)
        ++title;
    SetRowHeights(0, title);
}

int TwsCustomDBGrid::HeightForRows(int n) const {
    const int th = TextHeightOf(Font());
    const int rl = RowLineAllowance();
    const int row = (th + 2 + rl) * m_RowHeightPercent / 100;
    int height = 2 * BorderWidth + std::max(n, 0) * (row + rl);
    if (m_Options.Contains(TwsDBGridOption::dgTitles)) {
        int title = dynamic_cast<TCustomGrid*>(Parent()) != nullptr
                        ? m_TitleLines * (th + 3 + rl) - 1
                        : TextHeightOf(m_TitleFont) * m_TitleLines + 4;
        if (rl == 0)
            ++title;
        height += title + rl;
    }
    return height;
}

int TwsCustomDBGrid::DataRowsVisible() const {
    return std::max(1, VisibleRowCount());
}

const std::vector<std::uint16_t>& TwsCustomDBGrid::BaseWidths() const {
    static const std::vector<std::uint16_t> none;
    return m_BaseWidths ? *m_BaseWidths : none;
}

int TwsCustomDBGrid::DataColumnCountForLayout() const {
    return m_UseTFields ? m_DataLink.MappedCount() : static_cast<int>(m_Selected.size());
}

int TwsCustomDBGrid::TitleWidth(const std::string& title) const {
    int widest = 0;
    for (const std::string& line : Split(title, '~'))
        widest = std::max(widest, MeasureText(m_TitleFont, line).cx);
    return widest + 4;
}

// Width in pixels of data column i from its Selected line (or its field), before scaling.
int TwsCustomDBGrid::ColumnWidthFromLine(int i) {
    TDataSet* ds = DataSet();
    std::string title;
    int width = DefaultColWidth();
    if (m_UseTFields) {
        if (TField* field = m_DataLink.Fields(i))
            title = field->DisplayLabel();
    } else {
        const std::string& line = m_Selected[static_cast<std::size_t>(i)];
        TField* field = ds->FindFieldNamed(LineToken(line, 1));
        width = ColumnLineWidth(line) * CharWidth() + 4;
        title =
            LineTokenCount(line) >= 3 ? LineToken(line, 3) : (field ? field->DisplayLabel() : std::string());
    }
    if (!Proportional() && m_Options.Contains(TwsDBGridOption::dgTitles) &&
        !m_Options.Contains(TwsDBGridOption::dgNoLimitColSize))
        width = std::max(width, TitleWidth(title));
    return width;
}

void TwsCustomDBGrid::LayoutColumnWidths() {
    TDataSet* dataSet = DataSet();
    if (dataSet == nullptr)
        return;
    TGuard widthGuard(m_WidthGuard);
    if (dataSet->Active())
        TCustomGrid::SetFixedCols(m_IndicatorOffset + m_DataFixedCols);
    const int n = DataColumnCountForLayout();
    const bool proportional = Proportional();
    bool fresh = false;
    if (proportional) {
        std::vector<std::uint16_t> base(static_cast<std::size_t>(n + m_IndicatorOffset + 1), 0);
        fresh = !m_BaseWidths.has_value();
        for (int i = 0; i < n && !fresh; ++i)
            base[static_cast<std::size_t>(m_IndicatorOffset + i)] =
                ToBaseWidth(ColWidths(m_IndicatorOffset + i));
        m_BaseWidths = std::move(base);
    }
    for (int i = 0; i < n; ++i) {
        const int c = m_IndicatorOffset + i;
        const int width = ColumnWidthFromLine(i);
        if (proportional && fresh)
            (*m_BaseWidths)[static_cast<std::size_t>(c)] = ToBaseWidth(width);
        else
            SetColWidths(c, width);
    }
    if (proportional && n > 0)
        ScaleColumnsToWidth();
    RebuildColumnCache();
}

void TwsCustomDBGrid::ScaleColumnsToWidth() {
    if (!m_BaseWidths || m_UseTFields || m_Selected.empty() ||
        static_cast<int>(m_BaseWidths->size()) < ColCount() - 1)
        return;
    const std::vector<std::uint16_t>& base = *m_BaseWidths;
    auto baseAt = [&base](int c) {
        return c < static_cast<int>(base.size()) ? int{base[static_cast<std::size_t>(c)]} : 0;
    };
    const int lineWidth = m_Options.Contains(TwsDBGridOption::dgColLines) ? GridLineWidth() : 0;
    const int charWidth = CharWidth();
    const int minWidth = 2 * charWidth + 4;
    long long shares = -1;
    for (int c = m_IndicatorOffset; c < ColCount(); ++c)
        shares += baseAt(c) + lineWidth;
    if (shares <= 0)
        return;
    long long room = ClientWidth() - 2;
    if (m_Options.Contains(TwsDBGridOption::dgIndicator))
        room = ClientWidth() - CellRect(0, 0).right - 2;
    if (m_ShowVertScrollBar && Width() - ClientWidth() < 10)
        room -= kScrollThumbWidth + 1;
    TGuard widthGuard(m_WidthGuard);
    for (int c = m_IndicatorOffset; c < ColCount() && shares != 0; ++c) {
        const long long share = (baseAt(c) + 1) * room / shares;
        const int snapped = std::max(static_cast<int>((share - 4) / charWidth * charWidth + 4), minWidth);
        const int width = c == ColCount() - 1 ? static_cast<int>(std::max(room, 0LL)) : snapped;
        SetColWidths(c, width);
        const std::size_t line = static_cast<std::size_t>(c - m_IndicatorOffset);
        if (line < m_Selected.size())
            m_Selected[line] = RebuildColumnLine(m_Selected[line], (width - 4) / charWidth);
        room -= snapped + lineWidth;
        shares -= baseAt(c) + lineWidth;
    }
}

void TwsCustomDBGrid::ColWidthsChanged() {
    if (m_WidthGuard != 0 || !m_DataLink.Active() || !HandleAllocated())
        return;
    WriteBackUserWidths();
    LayoutPass();
}

void TwsCustomDBGrid::WriteBackUserWidths() {
    const int charWidth = CharWidth();
    const int slack = std::max(0, charWidth / 2 - 3);
    for (int c = m_IndicatorOffset; c < ColCount(); ++c) {
        const std::size_t line = static_cast<std::size_t>(c - m_IndicatorOffset);
        if (line < m_Selected.size())
            m_Selected[line] = RebuildColumnLine(m_Selected[line], (ColWidths(c) + slack - 4) / charWidth);
    }
}

void TwsCustomDBGrid::MoveToActiveRecord() {
    if (m_DataLink.Active())
        SetRow(m_TitleOffset + m_DataLink.ActiveRecord());
}

void TwsCustomDBGrid::UpdateRowCount() {
    if (m_RowCountGuard != 0)
        return;
    TGuard guard(m_RowCountGuard);
    if (m_TitleOffset >= RowCount())
        SetRowCount(m_TitleOffset + 1);
    SetFixedRows(m_TitleOffset);
    TDataSet* ds = DataSet();
    if (m_DataLink.Active() && ds != nullptr && ds->Active() && m_DataLink.RecordCount() > 0) {
        SetRowCount(kProbeRowCount);
        const int fit = DataRowsVisible();
        m_DataLink.SetBufferCount(m_Paged && m_PageRows > 0 ? std::min(fit, m_PageRows) : fit);
        SetRowCount(m_DataLink.RecordCount() + m_TitleOffset);
        MoveToActiveRecord();
        return;
    }
    SetRowCount(m_TitleOffset + 1);
}

void TwsCustomDBGrid::LayoutPass() {
    if (IsLoading() || m_Destroying || !HandleAllocated() || m_LayoutGuard != 0)
        return;
    TGuard layoutGuard(m_LayoutGuard);
    {
        TGuard widthGuard(m_WidthGuard);
        m_TitleOffset = m_Options.Contains(TwsDBGridOption::dgTitles) ? 1 : 0;
        LayoutRowHeights();
        m_IndicatorOffset = m_Options.Contains(TwsDBGridOption::dgIndicator) ? 1 : 0;
        m_DataLink.ClearMapping();
        if (m_DataLink.Active())
            BuildColumns();
        const int mapped = m_DataLink.MappedCount();
        const int n = m_UseTFields || mapped > 0 ? mapped : static_cast<int>(m_Selected.size());
        SetColCount(m_IndicatorOffset + std::max(1, n));
        if (m_IndicatorOffset == 1) {
            SetColWidths(0, kIndicatorWidth);
            if (Col() < 1)
                SetCol(1);
        }
        UpdateRowCount();
        const int visible = DataRowsVisible();
        LayoutColumnWidths();
        if (visible != DataRowsVisible())
            UpdateRowCount();
    }
    MoveToActiveRecord();
    Invalidate();
}

void TwsCustomDBGrid::SetBounds(int left, int top, int width, int height) {
    const bool resized = width != Width() || height != Height();
    TCustomGrid::SetBounds(left, top, width, height);
    if (resized)
        SizeChanged();
}

void TwsCustomDBGrid::SizeChanged() {
    if (IsLoading() || m_Destroying || !HandleAllocated())
        return;
    if (Proportional() && ColCount() - m_IndicatorOffset >= 1)
        ScaleColumnsToWidth();
    if (m_LayoutGuard != 0)
        return;
    UpdateRowCount();
    if (const TDataSet* dataSet = DataSet(); dataSet != nullptr && dataSet->Active())
        Invalidate();
}

// ---- paging --------------------------------------------------------------------------------------------

void TwsCustomDBGrid::SetPaged(bool paged) {
    if (paged == m_Paged)
        return;
    m_Paged = paged;
    m_Page = 0;
    m_PageCount = 1;
    m_PageRows = 0;
    UpdateRowCount();
    Invalidate();
}

void TwsCustomDBGrid::ShowPage(int page) {
    TDataSet* ds = DataSet();
    if (!m_Paged || !m_DataLink.Active() || ds == nullptr || !ds->Active())
        return;
    const int perPage = DataRowsVisible();
    // A count the engine cannot give shows as no rows.
    const int count = std::max(ds->RecordCount(), 0);
    m_PageCount = std::max(1, (count + perPage - 1) / perPage);
    m_Page = page >= 0 && page < m_PageCount ? page : 0;
    const int first = m_Page * perPage;
    m_PageRows = std::clamp(count - first, 1, perPage);
    // The window is sized to the page first, so that moving from the first row to the page's
    // last row leaves exactly the page's rows in it; the page's first row becomes current.
    UpdateRowCount();
    ds->First();
    if (first + m_PageRows - 1 > 0)
        ds->MoveBy(first + m_PageRows - 1);
    if (m_PageRows > 1)
        ds->MoveBy(-(m_PageRows - 1));
    MoveToActiveRecord();
    Invalidate();
}

std::string TwsCustomDBGrid::PageIndicatorText() const {
    if (!m_Paged || m_PageCount <= 1)
        return {};
    return "page " + std::to_string(m_Page + 1) + " of " + std::to_string(m_PageCount);
}

TRect TwsCustomDBGrid::PageIndicatorRect() const {
    const std::string text = PageIndicatorText();
    if (text.empty() || m_TitleOffset == 0)
        return {};
    // The title cell with the most room at the right of its title text.
    int bestCol = -1;
    int bestRoom = -1;
    for (int c = LeftCol(); c < ColCount(); ++c) {
        const TRect cell = CellRect(c, 0);
        if (cell.IsEmpty() || cell.right > ClientWidth())
            continue;
        const int textWidth =
            MeasureText(m_TitleFont, ColumnByIndex(c - m_IndicatorOffset).DisplayLabel()).cx;
        const int room = m_TitleAlignment == TAlignment::taCenter        ? (cell.Width() - textWidth) / 2
                         : m_TitleAlignment == TAlignment::taLeftJustify ? cell.Width() - textWidth - 2
                                                                         : 0;
        if (room > bestRoom) {
            bestRoom = room;
            bestCol = c;
        }
    }
    if (bestCol < 0)
        return {};
    const TRect cell = CellRect(bestCol, 0);
    const int width = MeasureText(m_TitleFont, text).cx + 8;
    const int right = cell.right - 3;
    return TRect{std::max(cell.left + 1, right - width), cell.top + 2, right, cell.bottom - 2};
}

// ---- life cycle and notifications ----------------------------------------------------------------------

void TwsCustomDBGrid::Loaded() {
    TCustomGrid::Loaded();
    LayoutPass();
    if (!m_CustomControlsAttached)
        AttachCustomControls();
}

void TwsCustomDBGrid::CreateWnd() {
    TCustomGrid::CreateWnd();
    LayoutPass();
}

void TwsCustomDBGrid::FontChanged() {
    TCustomGrid::FontChanged();
    LayoutPass();
}

void TwsCustomDBGrid::ActiveChanged(TPasskey<TwsGridDataLink>) {
    if (m_Destroying)
        return;
    if (!m_DataLink.Active()) {
        LayoutPass();
        return;
    }
    if (m_ControlInfoInDataset)
        PruneDataSetLists();
    if (!m_CustomControlsAttached || (!m_Selected.empty() && !DataSetHasCalculatedField()))
        AttachCustomControls();
    m_BaseWidths.reset();
    LayoutPass();
    if (Proportional())
        LayoutPass();
}

void TwsCustomDBGrid::DataSetChanged(TPasskey<TwsGridDataLink>) {
    if (m_Destroying)
        return;
    UpdateRowCount();
    Invalidate();
}

void TwsCustomDBGrid::DataSetScrolled(TPasskey<TwsGridDataLink>, int) {
    MoveToActiveRecord();
    Invalidate();
}

void TwsCustomDBGrid::LayoutChanged(TPasskey<TwsGridDataLink>) {
    LayoutPass();
}

void TwsCustomDBGrid::RecordChanged(TPasskey<TwsGridDataLink>) {
    Invalidate();
}

// ---- mouse ---------------------------------------------------------------------------------------------

void TwsCustomDBGrid::MouseClick(TPoint at) {
    int col = 0;
    int row = 0;
    const TPoint client{at.x - BorderWidth, at.y - BorderWidth};
    if (!MouseCell(client, col, row) || row < m_TitleOffset || col < m_IndicatorOffset ||
        !m_DataLink.Active())
        return;
    if (HandleAllocated() && Platform() != nullptr)
        Platform()->SetFocus(Handle());
    SetCol(col);
    const int distance = row - m_TitleOffset - m_DataLink.ActiveRecord();
    if (distance != 0)
        m_DataLink.MoveBy(distance);
    MoveToActiveRecord();
}

void TwsCustomDBGrid::MouseDblClick(TPoint) {
    DblClick();
}

} // namespace ws
