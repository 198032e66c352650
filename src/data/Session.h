#pragma once

#include "engine/Types.h"
#include "ui/Component.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ws {

class TDatabase;

// Owns the connections of the process and starts the engine the first time one is needed.
// Connections are found by DatabaseName without regard to case; a name no connection component
// carries gets a temporary connection (an alias, or the path of a directory) that is freed when
// the last data set using it closes, unless KeepConnections is set.
class TSession : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TSession(TComponent* owner);
    ~TSession() override;

    // The session named "Default".
    static TSession& Default();

    const std::string& SessionName() const { return Name(); }
    bool KeepConnections() const { return m_KeepConnections; }
    void SetKeepConnections(bool value) { m_KeepConnections = value; }

    // Starts the engine once; a failure raises the engine start message.
    void Start();
    bool Started() const { return m_Started; }
    // Closes every connection and stops the engine.
    void Close();

    // A session-local alias for the engine (driver "DESKTOP", parameter "PATH" = directory).
    void AddAlias(const std::string& name, const std::string& driver,
                  const std::map<std::string, std::string>& params);

    // For connections and data sets.
    void AddDatabase(TDatabase* database);
    void RemoveDatabase(TDatabase* database);
    TDatabase* FindDatabase(const std::string& databaseName,
                            const TComponent* preferredOwner = nullptr) const;
    // Finds or creates the connection, opens it and counts one more user.
    TDatabase* OpenDatabase(const std::string& databaseName, const TComponent* preferredOwner = nullptr);
    // Counts one user less; frees a temporary connection nobody uses any more.
    void CloseDatabase(TDatabase* database);
    int DatabaseCount() const { return static_cast<int>(m_Databases.size()); }

private:
    std::recursive_mutex m_Lock;
    std::vector<TDatabase*> m_Databases;
    bool m_Started = false;
    bool m_KeepConnections = false;
};

// The default session; starts nothing by itself.
TSession& Session();

} // namespace ws
