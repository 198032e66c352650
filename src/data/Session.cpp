#include "data/Session.h"

#include "base/Strings.h"
#include "data/DBError.h"
#include "data/Database.h"
#include "engine/Engine.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

const TClassInfo& TSession::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TSession>("TSession", TComponent::StaticClassInfo())
            .Boolean("KeepConnections", &TSession::KeepConnections, &TSession::SetKeepConnections)
            .Build();
    return info;
}

TSession::TSession(TComponent* owner) : TComponent(owner) {}

TSession::~TSession() {
    Close();
}

TSession& TSession::Default() {
    // Lives to the end of the process: the data sets of static objects may still close through
    // it, and the engine it started outlives every connection.
    static TSession* session = [] {
        auto* s = new TSession(nullptr);
        s->SetName("Default");
        return s;
    }();
    return *session;
}

TSession& Session() {
    return TSession::Default();
}

void TSession::Start() {
    std::lock_guard lock(m_Lock);
    if (m_Started)
        return;
    const engine::EngineStatus status = engine::EngineInit(engine::EngineVersion);
    if (status != engine::esOk && status != engine::esAlreadyStarted)
        throw EDBEngineError::StartFailure(status);
    m_Started = true;
}

void TSession::Close() {
    std::lock_guard lock(m_Lock);
    for (TDatabase* database : std::vector<TDatabase*>(m_Databases))
        database->Close();
    for (TDatabase* database : std::vector<TDatabase*>(m_Databases)) {
        if (database->Temporary())
            TComponent::Free(database);
    }
    if (m_Started) {
        engine::EngineExit();
        m_Started = false;
    }
}

void TSession::AddAlias(const std::string& name, const std::string& driver,
                        const std::map<std::string, std::string>& params) {
    Start();
    Check(engine::AddSessionAlias(name, driver, params));
}

void TSession::AddDatabase(TDatabase* database) {
    std::lock_guard lock(m_Lock);
    if (std::find(m_Databases.begin(), m_Databases.end(), database) == m_Databases.end())
        m_Databases.push_back(database);
}

void TSession::RemoveDatabase(TDatabase* database) {
    std::lock_guard lock(m_Lock);
    std::erase(m_Databases, database);
}

TDatabase* TSession::FindDatabase(const std::string& databaseName, const TComponent* preferredOwner) const {
    TDatabase* found = nullptr;
    for (TDatabase* database : m_Databases) {
        if (!SameText(database->DatabaseName(), databaseName))
            continue;
        if (database->Owner() == preferredOwner && preferredOwner)
            return database;
        if (!found)
            found = database;
    }
    return found;
}

TDatabase* TSession::OpenDatabase(const std::string& databaseName, const TComponent* preferredOwner) {
    std::lock_guard lock(m_Lock);
    Start();
    TDatabase* database = FindDatabase(databaseName, preferredOwner);
    bool created = false;
    if (!database) {
        database = new TDatabase(this);
        database->SetDatabaseName(databaseName);
        database->SetTemporary(true);
        created = true;
    }
    try {
        database->Open();
    } catch (...) {
        if (created)
            TComponent::Free(database);
        throw;
    }
    database->AddRef();
    return database;
}

void TSession::CloseDatabase(TDatabase* database) {
    std::lock_guard lock(m_Lock);
    if (!database)
        return;
    database->Release();
    if (database->RefCount() > 0 || !database->Temporary() || m_KeepConnections || database->Closing())
        return;
    database->Close();
    TComponent::Free(database);
}

} // namespace ws
