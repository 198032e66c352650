#pragma once

#include "data/DBDataSet.h"

#include <string>
#include <vector>

namespace ws {

enum TTableType { ttDefault, ttDesktop, ttASCII };

// One named table of a connection, in the order of its primary key or of a named index.
class TTable : public TDBDataSet {
public:
    WS_CLASS_INFO()

    explicit TTable(TComponent* owner);
    ~TTable() override;

    const std::string& TableName() const { return m_TableName; }
    void SetTableName(const std::string& name);
    const std::string& IndexName() const { return m_IndexName; }
    // On an open table the rows follow the new index from the first row on.
    void SetIndexName(const std::string& name);
    bool ReadOnly() const { return m_ReadOnly; }
    void SetReadOnly(bool value);
    bool Exclusive() const { return m_Exclusive; }
    void SetExclusive(bool value);
    bool DefaultIndex() const { return m_DefaultIndex; }
    void SetDefaultIndex(bool value);
    TTableType TableType() const { return m_TableType; }
    void SetTableType(TTableType type);
    bool CanModify() const override { return !m_ReadOnly && TDBDataSet::CanModify(); }
    // Whether the table could now be opened for writing (a second cursor is opened for it and
    // closed again); false for a view that is ReadOnly itself.
    bool CouldOpenWritable() const;
    // The indexes of the open table.
    const std::vector<engine::IndexDesc>& IndexDefs() const { return m_IndexDefs; }

protected:
    engine::hCursor CreateHandle() override;
    engine::hCursor GetLookupCursor(const std::vector<TField*>& fields, bool caseInsensitive) override;
    void CloseLookupCursor() override;
    void InternalClose() override;

private:
    std::string m_TableName;
    std::string m_IndexName;
    bool m_ReadOnly = false;
    bool m_Exclusive = false;
    bool m_DefaultIndex = true;
    TTableType m_TableType = ttDefault;
    std::vector<engine::IndexDesc> m_IndexDefs;
    // The cached lookup cursor of Locate, for one field list and case flag.
    engine::hCursor m_LookupCursor = 0;
    std::string m_LookupFields;
    bool m_LookupCaseInsensitive = false;
};

} // namespace ws
