// What the board's connection says when its configured alias leads nowhere: the alias as the
// user wrote it in the engine's configuration, not the connection's own name for it.

#include "data/DBError.h"
#include "data/Database.h"
#include "data/Session.h"

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
    void SetUp() override {
        char pattern[] = "/tmp/ws-connection-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        const char* old = std::getenv("YARD_ENGINE_CONFIG");
        m_OldConfig = old ? old : "";
        ::setenv("YARD_ENGINE_CONFIG", (m_Dir + "/engine.ini").c_str(), 1);
    }
    void TearDown() override {
        Session().Close();
        if (m_OldConfig.empty())
            ::unsetenv("YARD_ENGINE_CONFIG");
        else
            ::setenv("YARD_ENGINE_CONFIG", m_OldConfig.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(m_Dir, ec);
    }

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

    std::string m_Dir;
    std::string m_OldConfig;
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
