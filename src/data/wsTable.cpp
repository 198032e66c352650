#include "data/wsTable.h"

#include "base/Strings.h"
#include "data/DBError.h"
#include "data/Field.h"
#include "data/PictureValidator.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

namespace {

std::string FirstItem(const std::string& line, char separator) {
    return Trim(line.substr(0, line.find(separator)));
}

} // namespace

const TClassInfo& TwsTable::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TwsTable>("TwsTable", TTable::StaticClassInfo())
            .StringList("ControlType", &TwsTable::ControlType, &TwsTable::SetControlType)
            .StringList("PictureMasks", &TwsTable::PictureMasks, &TwsTable::SetPictureMasks)
            .StringList("LookupFields", &TwsTable::LookupFields, &TwsTable::SetLookupFields)
            .StringList("LookupLinks", &TwsTable::LookupLinks, &TwsTable::SetLookupLinks)
            .StringList("wsFilter", &TwsTable::wsFilter, &TwsTable::SetwsFilter)
            .Boolean("ValidateWithMask", &TwsTable::ValidateWithMask, &TwsTable::SetValidateWithMask)
            .Boolean("SyncSQLByRange", &TwsTable::SyncSQLByRange, &TwsTable::SetSyncSQLByRange)
            .Boolean("NarrowSearch", &TwsTable::NarrowSearch, &TwsTable::SetNarrowSearch)
            .Set<TwsFilterOption>("OnFilterOptions", {"ofoEnabled", "ofoShowHourGlass", "ofoCancelOnEscape"},
                                  &TwsTable::OnFilterOptions, &TwsTable::SetOnFilterOptions)
            .Build();
    return info;
}

TwsTable::TwsTable(TComponent* owner) : TTable(owner) {}

TwsTable::~TwsTable() {
    try {
        Close();
    } catch (...) {
    }
}

bool TwsTable::IsSequenced() const {
    if (OnFilter)
        return false;
    for (const std::string& line : m_wsFilter) {
        if (!Trim(line).empty())
            return false;
    }
    return TTable::IsSequenced();
}

void TwsTable::InstallExtraFilters() {
    // The component's own filter lines form one expression: the first line, then " AND (" line
    // ")" for each further one. It stays in force for as long as the view is open.
    std::string joined;
    for (const std::string& line : m_wsFilter) {
        if (Trim(line).empty())
            continue;
        joined += joined.empty() ? line : " AND (" + line + ")";
    }
    const engine::hFilter filter = BuildExpressionFilter(joined, FilterOptions());
    if (filter)
        Check(engine::ActivateFilter(Handle(), filter));
}

// ---- calculated fields ---------------------------------------------------------------------------

void TwsTable::PruneFieldLines() {
    const auto namesNoField = [this](const std::string& line) {
        return FindFieldNamed(FirstItem(line, ';')) == nullptr;
    };
    for (std::size_t i = m_LookupFields.size(); i-- > 0;) {
        if (!namesNoField(m_LookupFields[i]))
            continue;
        m_LookupFields.erase(m_LookupFields.begin() + static_cast<std::ptrdiff_t>(i));
        if (i < m_LookupLinks.size())
            m_LookupLinks.erase(m_LookupLinks.begin() + static_cast<std::ptrdiff_t>(i));
    }
    std::erase_if(m_ControlType, namesNoField);
}

void TwsTable::DoOnCalcFields() {
    PruneFieldLines();
    TTable::DoOnCalcFields();
}

// ---- picture masks -------------------------------------------------------------------------------

void TwsTable::DoBeforePost() {
    TTable::DoBeforePost();
    if (m_ValidateWithMask)
        CheckPictureMasks();
}

bool TwsTable::IsDesktopTable() const {
    if (TableType() == ttDesktop)
        return true;
    if (TableType() != ttDefault)
        return false;
    const std::string& name = TableName();
    return LowerCase(name).find(".db") != std::string::npos && !name.empty() && name.back() == 'b';
}

void TwsTable::LoadTablePictures() {
    m_TablePicturesLoaded = true;
    if (!IsDesktopTable())
        return;
    std::vector<engine::ValidityCheck> checks;
    Check(engine::GetValidityChecks(Handle(), checks));
    for (const engine::ValidityCheck& check : checks) {
        for (int i = 0; i < FieldCount(); ++i) {
            if (Fields(i)->FieldNo() == check.fieldNo) {
                m_TablePictures.push_back(Fields(i)->FieldName() + "\t" + check.picture);
                break;
            }
        }
    }
}

std::string TwsTable::MaskFor(const TField& field) const {
    for (const std::string& line : m_TablePictures) {
        if (SameText(FirstItem(line, '\t'), field.FieldName()))
            return line.substr(line.find('\t') + 1);
    }
    for (const std::string& line : m_PictureMasks) {
        const std::vector<std::string> items = Split(line, '\t');
        if (items.size() >= 2 && SameText(Trim(items[0]), field.FieldName()))
            return items[1];
    }
    return {};
}

void TwsTable::CheckPictureMasks() {
    if (!m_TablePicturesLoaded)
        LoadTablePictures();
    for (int i = 0; i < FieldCount(); ++i) {
        TField* field = Fields(i);
        const std::string mask = MaskFor(*field);
        if (mask.empty() || field->ReadOnly())
            continue;
        const std::string value = field->AsString();
        if (value.empty() || TwsPictureValidator(mask).IsValid(value))
            continue;
        field->FocusControl();
        if (OnInvalidValue)
            OnInvalidValue(this, field);
        throw EDatabaseError(std::string(messages::PictureValidateError) + field->DisplayName());
    }
}

} // namespace ws
