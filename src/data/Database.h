#pragma once

#include "engine/Types.h"
#include "ui/Component.h"

#include <functional>
#include <string>
#include <vector>

namespace ws {

class TDBDataSet;

// A connection to the engine: an engine database opened through an alias (AliasName) under the
// name data sets refer to (DatabaseName). A connection whose name differs from its alias defines
// a session alias under its own name first, so that both names reach the same tables.
class TDatabase : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TDatabase(TComponent* owner);
    ~TDatabase() override;

    const std::string& AliasName() const { return m_AliasName; }
    void SetAliasName(const std::string& name);
    const std::string& DatabaseName() const { return m_DatabaseName; }
    void SetDatabaseName(const std::string& name);
    const std::string& SessionName() const { return m_SessionName; }
    void SetSessionName(const std::string& name);
    bool Connected() const { return m_Handle != 0; }
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    bool KeepConnection() const { return m_KeepConnection; }
    void SetKeepConnection(bool value) { m_KeepConnection = value; }
    bool LoginPrompt() const { return m_LoginPrompt; }
    void SetLoginPrompt(bool value) { m_LoginPrompt = value; }
    // Made by the session for a name no connection component carries.
    bool Temporary() const { return m_Temporary; }
    void SetTemporary(bool value) { m_Temporary = value; }

    engine::hDatabase Handle() const { return m_Handle; }
    // Data sets that use the connection.
    int RefCount() const { return m_RefCount; }
    void AddRef() { ++m_RefCount; }
    void Release() { --m_RefCount; }
    void RegisterDataSet(TDBDataSet* dataSet);
    void UnregisterDataSet(TDBDataSet* dataSet);

    void Loaded() override;
    // True while the connection closes its data sets; they must not free it meanwhile.
    bool Closing() const { return m_Closing; }

    TNotifyEvent AfterConnect, AfterDisconnect;

private:
    void DoConnect();
    void DoDisconnect();

    std::string m_AliasName;
    std::string m_DatabaseName;
    std::string m_SessionName = "Default";
    engine::hDatabase m_Handle = 0;
    int m_RefCount = 0;
    bool m_KeepConnection = true;
    bool m_LoginPrompt = true;
    bool m_Temporary = false;
    bool m_StreamedConnected = false;
    bool m_Closing = false;
    std::vector<TDBDataSet*> m_DataSets;
};

} // namespace ws
