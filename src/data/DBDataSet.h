#pragma once

#include "data/EngineDataSet.h"

#include <string>

namespace ws {

class TDatabase;

// A data set that reaches the engine through a connection named by DatabaseName: a connection
// component of that name, or a temporary connection for an alias or a directory.
class TDBDataSet : public TEngineDataSet {
public:
    WS_CLASS_INFO()

    explicit TDBDataSet(TComponent* owner);
    ~TDBDataSet() override;

    const std::string& DatabaseName() const { return m_DatabaseName; }
    void SetDatabaseName(const std::string& name);
    const std::string& SessionName() const { return m_SessionName; }
    void SetSessionName(const std::string& name);
    TDatabase* Database() const { return m_Database; }

    // Called by a connection that is being freed while this data set still refers to it.
    void DatabaseFreed();

protected:
    void InternalOpen() override;
    void InternalClose() override;
    engine::hDatabase DBHandle() const;

private:
    std::string m_DatabaseName;
    std::string m_SessionName = "Default";
    TDatabase* m_Database = nullptr;
};

} // namespace ws
