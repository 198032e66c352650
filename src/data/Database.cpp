#include "data/Database.h"

#include "base/Strings.h"
#include "data/DBDataSet.h"
#include "data/DBError.h"
#include "data/Session.h"
#include "engine/Engine.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

const TClassInfo& TDatabase::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDatabase>("TDatabase", TComponent::StaticClassInfo())
            .String("AliasName", &TDatabase::AliasName, &TDatabase::SetAliasName)
            .String("DatabaseName", &TDatabase::DatabaseName, &TDatabase::SetDatabaseName)
            .String("SessionName", &TDatabase::SessionName, &TDatabase::SetSessionName)
            .Boolean("KeepConnection", &TDatabase::KeepConnection, &TDatabase::SetKeepConnection)
            .Boolean("LoginPrompt", &TDatabase::LoginPrompt, &TDatabase::SetLoginPrompt)
            .Boolean(
                "Connected", [](const TDatabase& d) { return d.m_StreamedConnected || d.Connected(); },
                &TDatabase::SetConnected)
            .Build();
    return info;
}

TDatabase::TDatabase(TComponent* owner) : TComponent(owner) {
    Session().AddDatabase(this);
}

TDatabase::~TDatabase() {
    try {
        Close();
    } catch (...) {
    }
    for (TDBDataSet* dataSet : m_DataSets)
        dataSet->DatabaseFreed();
    Session().RemoveDatabase(this);
}

void TDatabase::SetAliasName(const std::string& name) {
    if (Connected())
        DatabaseError("Cannot change the alias of an open connection", this);
    m_AliasName = name;
}

void TDatabase::SetDatabaseName(const std::string& name) {
    if (Connected())
        DatabaseError("Cannot change the name of an open connection", this);
    m_DatabaseName = name;
}

void TDatabase::SetSessionName(const std::string& name) {
    m_SessionName = name.empty() ? "Default" : name;
}

void TDatabase::SetConnected(bool value) {
    if (IsLoading()) {
        m_StreamedConnected = value;
        return;
    }
    if (value == Connected())
        return;
    if (value)
        DoConnect();
    else
        DoDisconnect();
}

void TDatabase::Loaded() {
    TComponent::Loaded();
    if (m_StreamedConnected) {
        m_StreamedConnected = false;
        SetConnected(true);
    }
}

void TDatabase::DoConnect() {
    Session().Start();
    const std::string name = m_DatabaseName.empty() ? m_AliasName : m_DatabaseName;
    if (!m_AliasName.empty() && !SameText(name, m_AliasName)) {
        engine::AliasInfo alias;
        Check(engine::GetAliasInfo(m_AliasName, alias));
        const std::string configured = alias.configuredName.empty() ? alias.name : alias.configuredName;
        Check(engine::AddSessionAlias(name, alias.driver, alias.params, configured));
    }
    engine::hDatabase handle = 0;
    Check(engine::OpenDatabase(name, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, handle));
    m_Handle = handle;
    if (AfterConnect)
        AfterConnect(this);
}

void TDatabase::DoDisconnect() {
    m_Closing = true;
    try {
        for (TDBDataSet* dataSet : std::vector<TDBDataSet*>(m_DataSets))
            dataSet->Close();
    } catch (...) {
        m_Closing = false;
        throw;
    }
    m_Closing = false;
    const engine::hDatabase handle = m_Handle;
    m_Handle = 0;
    Check(engine::CloseDatabase(handle));
    if (AfterDisconnect)
        AfterDisconnect(this);
}

void TDatabase::RegisterDataSet(TDBDataSet* dataSet) {
    if (std::find(m_DataSets.begin(), m_DataSets.end(), dataSet) == m_DataSets.end())
        m_DataSets.push_back(dataSet);
}

void TDatabase::UnregisterDataSet(TDBDataSet* dataSet) {
    std::erase(m_DataSets, dataSet);
}

} // namespace ws
