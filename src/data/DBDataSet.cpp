#include "data/DBDataSet.h"

#include "data/DBError.h"
#include "data/Database.h"
#include "data/Session.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TDBDataSet::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDBDataSet>("TDBDataSet", TEngineDataSet::StaticClassInfo())
            .String("DatabaseName", &TDBDataSet::DatabaseName, &TDBDataSet::SetDatabaseName)
            .String("SessionName", &TDBDataSet::SessionName, &TDBDataSet::SetSessionName)
            .Build();
    return info;
}

TDBDataSet::TDBDataSet(TComponent* owner) : TEngineDataSet(owner) {}

TDBDataSet::~TDBDataSet() {
    // Close here, while this class's parts still exist.
    try {
        Close();
    } catch (...) {
    }
}

void TDBDataSet::SetDatabaseName(const std::string& name) {
    CheckInactive();
    m_DatabaseName = name;
}

void TDBDataSet::SetSessionName(const std::string& name) {
    CheckInactive();
    m_SessionName = name.empty() ? "Default" : name;
}

void TDBDataSet::DatabaseFreed() {
    m_Database = nullptr;
}

engine::hDatabase TDBDataSet::DBHandle() const {
    return m_Database ? m_Database->Handle() : 0;
}

void TDBDataSet::InternalOpen() {
    Session().Start();
    m_Database = Session().OpenDatabase(m_DatabaseName, Owner());
    m_Database->RegisterDataSet(this);
    TEngineDataSet::InternalOpen();
}

void TDBDataSet::InternalClose() {
    TEngineDataSet::InternalClose();
    if (!m_Database)
        return;
    TDatabase* database = m_Database;
    m_Database = nullptr;
    database->UnregisterDataSet(this);
    Session().CloseDatabase(database);
}

} // namespace ws
