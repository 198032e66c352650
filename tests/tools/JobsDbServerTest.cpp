// jobsdb on a configured alias of the database server (a server the test starts itself): init
// makes the tables, demo fills them, and dump shows them exactly as it shows the same database
// kept in a directory. What init wrote is read back from the server with libpq directly.

#include "engine/PgServer.h"
#include "support/Jobsdb.h"
#include "support/TempDirectory.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ws::engine::test::PgServer;

constexpr const char* kTables[] = {"OrderHead.DB", "Jewish.DB", "RNR.DB", "Options.DB"};

using ws::test::ProgramRun;

class JobsDbOnTheServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PgServer::Instance().Start())
            GTEST_SKIP() << "No database server: " << PgServer::Instance().Why();
        std::ofstream config(m_Root / "engine.ini");
        for (const char* alias : {"Fresh", "Demo"}) {
            std::string schema = std::string("jobsdb_") + alias + "_" + std::to_string(::getpid());
            for (char& c : schema)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            m_Schemas.push_back(schema);
            Server("CREATE SCHEMA " + schema);
            config << "[" << alias << "]\nDRIVER=POSTGRES\nCONNINFO=" << PgServer::Instance().ConnInfo(schema)
                   << "\n";
        }
        ::setenv("YARD_ENGINE_CONFIG", (m_Root / "engine.ini").c_str(), 1);
    }
    void TearDown() override {
        for (const std::string& schema : m_Schemas)
            Server("DROP SCHEMA " + schema + " CASCADE");
    }

    ProgramRun Run(const std::vector<std::string>& words) const { return ws::test::RunJobsdb(words); }

    // The first value of a statement's answer on the server; empty when it has no rows.
    std::string Server(const std::string& sql, const std::string& schema = "") const {
        PGconn* conn = PQconnectdb(PgServer::Instance().ConnInfo(schema).c_str());
        std::string value;
        EXPECT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
        PGresult* result = PQexec(conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        EXPECT_TRUE(status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
            << sql << ": " << PQerrorMessage(conn);
        if (status == PGRES_TUPLES_OK && PQntuples(result) > 0)
            value = PQgetvalue(result, 0, 0);
        PQclear(result);
        PQfinish(conn);
        return value;
    }

    // The number of rows of a table file, read with SQLite.
    static std::string FileCount(const fs::path& file) {
        sqlite3* db = nullptr;
        std::string count;
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &statement, nullptr) ==
                    SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW)
                count = std::to_string(sqlite3_column_int64(statement, 0));
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return count;
    }

    static std::string Table(const std::string& file) { return file.substr(0, file.find('.')); }

    ws::test::TempDirectory m_Temp{"ws-jobsdb-server"};
    const fs::path m_Root = m_Temp.Path();
    std::vector<std::string> m_Schemas;
};

TEST_F(JobsDbOnTheServer, InitDemoAndDumpWorkOnAServerAliasAsOnADirectory) {
    // init makes the server's tables, with the due-date index, and the rows init writes in a
    // directory; run again, it keeps them.
    const std::string dir = (m_Root / "files").string();
    ASSERT_EQ(Run({"--dir", dir, "init"}).status, 0);
    for (int round = 0; round < 2; ++round) {
        const ProgramRun init = Run({"--alias", "Fresh", "init"});
        ASSERT_EQ(init.status, 0) << init.Report();
        for (const char* file : kTables) {
            SCOPED_TRACE(file);
            EXPECT_EQ(Server("SELECT count(*) FROM \"" + Table(file) + "\"", m_Schemas[0]),
                      FileCount(dir + "/" + file));
        }
    }
    EXPECT_EQ(Server("SELECT count(*) FROM pg_indexes WHERE schemaname = '" + m_Schemas[0] +
                     "' AND indexname = 'OrderHead.iDueDateA'"),
              "1");

    // demo on the server and in a directory, for the same day: every table dumps the same,
    // in index order and through a filter too.
    const std::string demo = (m_Root / "demo").string();
    ASSERT_EQ(Run({"--dir", demo, "demo", "--today", "2026-12-09"}).status, 0);
    const ProgramRun filled = Run({"--alias", "Demo", "demo", "--today", "2026-12-09"});
    ASSERT_EQ(filled.status, 0) << filled.Report();
    for (const char* file : kTables) {
        SCOPED_TRACE(file);
        const ProgramRun files = Run({"--dir", demo, "dump", file});
        const ProgramRun server = Run({"--alias", "Demo", "dump", file});
        ASSERT_EQ(server.status, 0) << server.Report();
        EXPECT_GT(files.output.size(), 100u);
        EXPECT_EQ(server.output, files.output);
        EXPECT_EQ(Server("SELECT count(*) FROM \"" + Table(file) + "\"", m_Schemas[1]),
                  FileCount(demo + "/" + file));
    }
    const auto ordered = [this](std::vector<std::string> words) {
        words.insert(words.end(), {"dump", "OrderHead.DB", "--index", "iDueDateA", "--filter",
                                   "(IsActive=True) AND (isJewish=True)"});
        return Run(words);
    };
    const ProgramRun files = ordered({"--dir", demo});
    const ProgramRun server = ordered({"--alias", "Demo"});
    ASSERT_EQ(server.status, 0) << server.Report();
    EXPECT_EQ(server.output, files.output);
}

} // namespace
