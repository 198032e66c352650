#include "data/Table.h"

#include "base/Strings.h"
#include "data/DBError.h"
#include "data/Field.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

using namespace engine;

const TClassInfo& TTable::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTable>("TTable", TDBDataSet::StaticClassInfo())
            .String("TableName", &TTable::TableName, &TTable::SetTableName)
            .String("IndexName", &TTable::IndexName, &TTable::SetIndexName)
            .Boolean("ReadOnly", &TTable::ReadOnly, &TTable::SetReadOnly)
            .Boolean("Exclusive", &TTable::Exclusive, &TTable::SetExclusive)
            .Boolean("DefaultIndex", &TTable::DefaultIndex, &TTable::SetDefaultIndex)
            .Enum<TTableType>("TableType", {"ttDefault", "ttDesktop", "ttASCII"}, &TTable::TableType,
                              &TTable::SetTableType)
            .Build();
    return info;
}

TTable::TTable(TComponent* owner) : TDBDataSet(owner) {}

TTable::~TTable() {
    try {
        Close();
    } catch (...) {
    }
}

void TTable::SetTableName(const std::string& name) {
    CheckInactive();
    m_TableName = name;
}

void TTable::SetIndexName(const std::string& name) {
    if (!Active()) {
        m_IndexName = name;
        return;
    }
    FinishPendingEdit();
    CloseLookupCursor();
    Check(SwitchToIndex(Handle(), name));
    m_IndexName = name;
    RereadIndexDesc();
    First();
}

void TTable::SetReadOnly(bool value) {
    CheckInactive();
    m_ReadOnly = value;
}

void TTable::SetExclusive(bool value) {
    CheckInactive();
    m_Exclusive = value;
}

void TTable::SetDefaultIndex(bool value) {
    CheckInactive();
    m_DefaultIndex = value;
}

void TTable::SetTableType(TTableType type) {
    CheckInactive();
    m_TableType = type;
}

hCursor TTable::CreateHandle() {
    if (m_TableName.empty())
        DatabaseError(messages::NoTableName, this);
    const std::string driverType = m_TableType == ttDefault ? std::string() : std::string("DESKTOP");
    const ShareMode share = m_Exclusive ? ShareMode::Exclusive : ShareMode::Shared;
    OpenMode mode = m_ReadOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite;
    hCursor cursor = 0;
    EngineStatus status = OpenTable(DBHandle(), m_TableName, driverType, "", mode, share, cursor);
    if (status == esTableReadOnly && mode == OpenMode::ReadWrite) {
        mode = OpenMode::ReadOnly;
        status = OpenTable(DBHandle(), m_TableName, driverType, "", mode, share, cursor);
    }
    Check(status);
    if (!m_IndexName.empty()) {
        status = SwitchToIndex(cursor, m_IndexName);
        if (status != esOk) {
            const std::vector<ErrorEntry> entries = LastErrorEntries();
            CloseCursor(cursor);
            throw EDBEngineError(status, entries);
        }
    }
    m_IndexDefs.clear();
    if (GetIndexDescs(cursor, m_IndexDefs) != esOk)
        m_IndexDefs.clear();
    return cursor;
}

bool TTable::CouldOpenWritable() const {
    if (m_ReadOnly || m_TableName.empty() || DBHandle() == 0)
        return false;
    const std::string driverType = m_TableType == ttDefault ? std::string() : std::string("DESKTOP");
    hCursor probe = 0;
    if (OpenTable(DBHandle(), m_TableName, driverType, "", OpenMode::ReadWrite, ShareMode::Shared, probe) !=
        esOk)
        return false;
    CloseCursor(probe);
    return true;
}

void TTable::InternalClose() {
    CloseLookupCursor();
    m_IndexDefs.clear();
    TDBDataSet::InternalClose();
}

hCursor TTable::GetLookupCursor(const std::vector<TField*>& fields, bool caseInsensitive) {
    std::string fieldList;
    std::vector<std::uint16_t> numbers;
    for (const TField* field : fields) {
        fieldList += (fieldList.empty() ? "" : ";") + field->FieldName();
        numbers.push_back(static_cast<std::uint16_t>(field->FieldNo()));
    }
    if (m_LookupCursor && SameText(fieldList, m_LookupFields) && caseInsensitive == m_LookupCaseInsensitive)
        return m_LookupCursor;
    CloseLookupCursor();
    if (fieldList.size() >= 127)
        return 0;
    for (const IndexDesc& index : m_IndexDefs) {
        if (index.fields != numbers || index.caseInsensitive != caseInsensitive)
            continue;
        hCursor clone = 0;
        if (CloneCursor(Handle(), true, clone) != esOk)
            return 0;
        if (SwitchToIndex(clone, index.name) != esOk) {
            CloseCursor(clone);
            return 0;
        }
        m_LookupCursor = clone;
        m_LookupFields = fieldList;
        m_LookupCaseInsensitive = caseInsensitive;
        return clone;
    }
    return 0;
}

void TTable::CloseLookupCursor() {
    if (m_LookupCursor)
        CloseCursor(m_LookupCursor);
    m_LookupCursor = 0;
    m_LookupFields.clear();
}

} // namespace ws
