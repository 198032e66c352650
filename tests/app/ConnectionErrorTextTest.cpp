// What the board's connection says when its configured alias leads nowhere: the alias as the
// user wrote it in the engine's configuration, not the connection's own name for it.

#include "data/DBError.h"
#include "data/Database.h"
#include "data/Session.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace ws::test {
namespace {

class ConnectionErrorTextTest : public ::testing::Test {
protected:
    void TearDown() override { Session().Close(); }

    void Configure(const std::string& text) { std::ofstream(m_Dir + "/engine.ini") << text; }

    // The message of opening the connection JobsDB over the alias YardData.
    std::string OpenJobsDB() {
        TDatabase* database = new TDatabase(nullptr);
        database->SetName("JobsData");
        database->SetAliasName("YardData");
        database->SetDatabaseName("JobsDB");
        std::string message;
        try {
            database->Open();
        } catch (const EDBEngineError& e) {
            message = e.what();
        }
        TComponent::Free(database);
        return message;
    }

    TempDirectory m_Temp{"ws-connection"};
    const std::string m_Dir = m_Temp.Path();
    ScopedEnvironment m_Config{"YARD_ENGINE_CONFIG", m_Dir + "/engine.ini"};
};

TEST_F(ConnectionErrorTextTest, ADirectoryThatDoesNotExistIsToldByTheConfiguredAlias) {
    Configure("[yardDATA]\nPATH=" + m_Dir + "/gone\n");
    const std::string message = OpenJobsDB();
    EXPECT_EQ(message, "Unknown database\nAlias 'yardDATA' names directory '" + m_Dir +
                           "/gone', which does not exist");
}

TEST_F(ConnectionErrorTextTest, AnotherDriverIsToldByTheConfiguredAlias) {
    Configure("[YardData]\nDRIVER=SERVER\n");
    EXPECT_EQ(OpenJobsDB(), "Unknown driver\nAlias 'YardData' names driver 'SERVER'");
}

TEST_F(ConnectionErrorTextTest, ADirectoryWithANulByteInItsPathIsRefused) {
    Configure("[YardData]\nPATH=" + m_Dir + std::string(1, '\0') + "/elsewhere\n");
    EXPECT_EQ(OpenJobsDB(),
              "Invalid parameter\nAlias 'YardData' names a directory whose path holds a NUL byte");
}

} // namespace
} // namespace ws::test
