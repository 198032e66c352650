#pragma once

#include "PgServer.h"
#include "engine/Engine.h"
#include "engine/FaultInjector.h"
#include "engine/PgConnection.h"
#include "support/TempDirectory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace ws::engine::test {

using Names = std::vector<std::string>;

// Field numbers of the test table "Jobs".
enum JobsField : std::uint16_t {
    fIndex = 1,
    fOrderNo,
    fName,
    fAddress,
    fDueDate,
    fDateOffSet,
    fTotal,
    fIsActive,
    fPriority,
};

inline FieldDesc Field(const char* name, FieldType type, std::uint16_t size = 0,
                       FieldSubtype subtype = FieldSubtype::None) {
    FieldDesc f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.subtype = subtype;
    return f;
}

inline TableSpec JobsSpec() {
    TableSpec tableSpec;
    tableSpec.name = "Jobs.DB";
    tableSpec.fields = {
        Field("Index", FieldType::Int32, 0, FieldSubtype::AutoInc),
        Field("OrderNo", FieldType::ZString, 13),
        Field("Name", FieldType::ZString, 20),
        Field("Address", FieldType::Blob, 80, FieldSubtype::Memo),
        Field("DueDate", FieldType::Date),
        Field("DateOffSet", FieldType::Float),
        Field("Total", FieldType::Float, 0, FieldSubtype::Money),
        Field("IsActive", FieldType::Bool),
        Field("Priority", FieldType::Int32),
    };
    tableSpec.indexes = {
        {"iDueDateA", {fDueDate}, false, false, 0},
        {"iName", {fName}, false, false, 0},
        {"iNameCI", {fName}, true, false, 0},
        {"iOrderName", {fOrderNo, fName}, false, false, 0},
    };
    return tableSpec;
}

// A fresh schema of the tests' server (started), named after the prefix and this process; empty
// when it could not be made.
inline std::string NewServerSchema(const std::string& prefix) {
    static int schemas = 0;
    const std::string schema = prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(++schemas);
    PgConnection admin;
    if (admin.Connect(PgServer::Instance().ConnInfo()) != esOk)
        return {};
    return admin.Exec("CREATE SCHEMA " + schema).Ok() ? schema : std::string();
}

inline void DropServerSchema(const std::string& schema) {
    if (schema.empty())
        return;
    PgConnection admin;
    if (admin.Connect(PgServer::Instance().ConnInfo()) == esOk)
        admin.Exec("DROP SCHEMA " + schema + " CASCADE");
}

// Which driver serves a test's database: a directory of table files, or a database server.
enum class Driver { Desktop, Server };

inline void PrintTo(Driver driver, std::ostream* os) {
    *os << (driver == Driver::Desktop ? "the desktop driver" : "the server driver");
}

inline std::string DriverName(const ::testing::TestParamInfo<Driver>& info) {
    return info.param == Driver::Desktop ? "Desktop" : "Server";
}

// A started engine, a fresh database holding an empty "Jobs" table, and clean faults. The database
// is a fresh directory, or for the server driver a fresh schema of the tests' server (the alias
// ServerTest names it); without a server the test is skipped.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        FaultInjector::Reset();
        ASSERT_EQ(EngineInit(), esOk);
        m_Temp.emplace("ws-engine");
        m_Dir = m_Temp->Path();
        if (m_Driver == Driver::Server) {
            if (!PgServer::Instance().Start())
                GTEST_SKIP() << "No database server for the server driver's tests: "
                             << PgServer::Instance().Why();
            m_Schema = NewServerSchema("test");
            ASSERT_FALSE(m_Schema.empty());
            ASSERT_EQ(AddSessionAlias("ServerTest", "POSTGRES", {{"CONNINFO", ServerConnInfo()}}), esOk);
            ASSERT_EQ(OpenDatabase("ServerTest", OpenMode::ReadWrite, ShareMode::Shared, m_Db), esOk);
        } else {
            ASSERT_EQ(OpenDatabase(m_Dir, OpenMode::ReadWrite, ShareMode::Shared, m_Db), esOk);
        }
        ASSERT_EQ(CreateTable(m_Db, JobsSpec()), esOk);
    }

    void TearDown() override {
        FaultInjector::Reset();
        while (EngineStartCount() > 0)
            EngineExit();
        m_Temp.reset();
        if (m_ConfigSet) {
            if (m_OldConfig)
                ::setenv("YARD_ENGINE_CONFIG", m_OldConfig->c_str(), 1);
            else
                ::unsetenv("YARD_ENGINE_CONFIG");
        }
        DropServerSchema(m_Schema);
    }

    std::string ServerConnInfo() const { return PgServer::Instance().ConnInfo(m_Schema); }

    // What another process opens to reach this test's database: the directory, or for the server
    // an alias of a configuration file this test writes and names in YARD_ENGINE_CONFIG.
    std::string DatabaseForOthers() {
        if (m_Driver == Driver::Desktop)
            return m_Dir;
        const std::string config = m_Dir + "/engine.ini";
        FILE* file = std::fopen(config.c_str(), "w");
        EXPECT_NE(file, nullptr);
        if (file) {
            std::fprintf(file, "[ServerTest]\nDRIVER=POSTGRES\nCONNINFO=%s\n", ServerConnInfo().c_str());
            std::fclose(file);
        }
        if (!m_ConfigSet) {
            const char* old = std::getenv("YARD_ENGINE_CONFIG");
            m_OldConfig = old ? std::optional<std::string>(old) : std::nullopt;
            m_ConfigSet = true;
        }
        ::setenv("YARD_ENGINE_CONFIG", config.c_str(), 1);
        return "ServerTest";
    }

    hCursor Open(const std::string& index = "", OpenMode mode = OpenMode::ReadWrite) {
        hCursor cursor = 0;
        EXPECT_EQ(OpenTable(m_Db, "Jobs.DB", "", index, mode, ShareMode::Shared, cursor), esOk);
        return cursor;
    }

    std::vector<std::uint8_t> NewRecord(hCursor cursor) {
        CursorProps props;
        EXPECT_EQ(GetCursorProps(cursor, props), esOk);
        std::vector<std::uint8_t> record(props.recordSize);
        EXPECT_EQ(InitRecord(cursor, record.data()), esOk);
        return record;
    }

    // Inserts a job; a due day of 0 leaves the date blank.
    std::int32_t AddJob(hCursor cursor, const std::string& name, std::int32_t dueDay, bool active = true,
                        const std::string& orderNo = "") {
        auto record = NewRecord(cursor);
        EXPECT_EQ(PutValue(cursor, fName, record.data(), name), esOk);
        EXPECT_EQ(PutValue(cursor, fOrderNo, record.data(), orderNo.empty() ? "O-" + name : orderNo), esOk);
        if (dueDay != 0) {
            EXPECT_EQ(PutValue(cursor, fDueDate, record.data(), DayNumber{dueDay}), esOk);
        }
        EXPECT_EQ(PutValue(cursor, fIsActive, record.data(), active), esOk);
        EXPECT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
        Value index;
        EXPECT_EQ(GetValue(cursor, fIndex, record.data(), index), esOk);
        return std::get<std::int32_t>(index);
    }

    std::string NameOf(hCursor cursor, const std::vector<std::uint8_t>& record) {
        Value name;
        EXPECT_EQ(GetValue(cursor, fName, record.data(), name), esOk);
        return std::holds_alternative<std::string>(name) ? std::get<std::string>(name) : "<blank>";
    }

    // The names the cursor yields from the beginning, in order.
    std::vector<std::string> ReadNames(hCursor cursor) {
        std::vector<std::string> names;
        EXPECT_EQ(SetToBegin(cursor), esOk);
        auto record = NewRecord(cursor);
        EngineStatus status;
        while ((status = GetNextRecord(cursor, LockType::None, record.data())) == esOk)
            names.push_back(NameOf(cursor, record));
        EXPECT_EQ(status, esEOF);
        return names;
    }

    // Positions the cursor on the row with the name (physical scan); false when absent.
    bool Seek(hCursor cursor, const std::string& name, std::vector<std::uint8_t>& record) {
        SetToBegin(cursor);
        record = NewRecord(cursor);
        while (GetNextRecord(cursor, LockType::None, record.data()) == esOk) {
            if (NameOf(cursor, record) == name)
                return true;
        }
        return false;
    }

    std::string TablePath() const { return m_Dir + "/Jobs.DB"; }

    std::optional<ws::test::TempDirectory> m_Temp;
    std::string m_Dir;
    hDatabase m_Db = 0;
    Driver m_Driver = Driver::Desktop;
    std::string m_Schema; // the server driver's schema
    bool m_ConfigSet = false;
    std::optional<std::string> m_OldConfig;
};

// A fixture whose tests run once on each driver (TEST_P, instantiated with OnBothDrivers).
template <class Fixture>
class OnEachDriver : public Fixture, public ::testing::WithParamInterface<Driver> {
protected:
    OnEachDriver() { this->m_Driver = this->GetParam(); }
};

#define ON_BOTH_DRIVERS(Fixture)                                                                             \
    INSTANTIATE_TEST_SUITE_P(                                                                                \
        , Fixture,                                                                                           \
        ::testing::Values(::ws::engine::test::Driver::Desktop, ::ws::engine::test::Driver::Server),          \
        ::ws::engine::test::DriverName)

} // namespace ws::engine::test
