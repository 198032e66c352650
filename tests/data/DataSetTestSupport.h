#pragma once

#include "data/BlobField.h"
#include "data/BooleanField.h"
#include "data/DataLink.h"
#include "data/DataSource.h"
#include "data/DateTimeField.h"
#include "data/NumericField.h"
#include "data/Session.h"
#include "data/StringField.h"
#include "data/wsTable.h"
#include "engine/Engine.h"
#include "engine/EngineTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace ws::test {

// A link that records what reaches it, so tests can see the notifications a view sends.
class TRecordingLink : public TDataLink {
public:
    std::vector<std::string> Calls;

protected:
    void ActiveChanged() override { Calls.push_back("ActiveChanged"); }
    void DataSetChanged() override { Calls.push_back("DataSetChanged"); }
    void DataSetScrolled(int distance) override {
        Calls.push_back("DataSetScrolled " + std::to_string(distance));
    }
    void EditingChanged() override { Calls.push_back("EditingChanged"); }
    void RecordChanged(TField* field) override {
        Calls.push_back(field ? "RecordChanged " + field->FieldName() : "RecordChanged");
    }
    void UpdateRecord() override { Calls.push_back("UpdateRecord"); }
    void FocusControl(TField* field) override { Calls.push_back("FocusControl " + field->FieldName()); }
};

// Field numbers of the test table Items.DB.
enum ItemsField : std::uint16_t { iIndex = 1, iCode, iName, iDue, iAmount, iFlag, iNotes, iQty };

struct ItemRow {
    std::string code;
    std::string name;
    std::int32_t dueDay = 0; // engine day number; 0 leaves the date empty
    double amount = 0;
};

using engine::test::Driver;
using engine::test::OnEachDriver;

// Each test gets its own database behind the session alias "TestData", with an empty table
// Items.DB (indexes iCode, iCodeCI, iDue): a directory of its own, or for the server driver a
// schema of its own on the tests' server (skipped without a server). Run a fixture on both
// drivers with OnEachDriver and ON_BOTH_DRIVERS.
class DataSetTest : public ::testing::Test {
protected:
    static constexpr const char* kAlias = "TestData";

    void SetUp() override {
        if (m_Driver == Driver::Server) {
            auto& server = engine::test::PgServer::Instance();
            if (!server.Start())
                GTEST_SKIP() << "No database server for the server driver's tests: " << server.Why();
            m_Schema = engine::test::NewServerSchema("data");
            ASSERT_FALSE(m_Schema.empty());
            Session().AddAlias(kAlias, "POSTGRES", {{"CONNINFO", ServerConnInfo()}});
            // Other processes (jobsdb) reach the schema through the same alias in a configuration
            // file of this test's own.
            const std::string config = m_Dir + "/engine.ini";
            std::ofstream(config) << "[" << kAlias << "]\nDRIVER=POSTGRES\nCONNINFO=" << ServerConnInfo()
                                  << "\n";
            m_Config = std::make_unique<ScopedEnvironment>("YARD_ENGINE_CONFIG", config);
            ASSERT_EQ(
                engine::OpenDatabase(kAlias, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, m_Db),
                engine::esOk);
        } else {
            Session().AddAlias(kAlias, "DESKTOP", {{"PATH", m_Dir}});
            ASSERT_EQ(
                engine::OpenDatabase(m_Dir, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, m_Db),
                engine::esOk);
        }
        ASSERT_EQ(engine::CreateTable(m_Db, ItemsSpec()), engine::esOk);
    }

    void TearDown() override {
        if (m_Db)
            engine::CloseDatabase(m_Db);
        m_Config.reset();
        engine::test::DropServerSchema(m_Schema);
    }

    std::string ServerConnInfo() const { return engine::test::PgServer::Instance().ConnInfo(m_Schema); }

    // How jobsdb names this test's database.
    std::vector<std::string> JobsdbDatabase() const {
        if (m_Driver == Driver::Server)
            return {"--alias", kAlias};
        return {"--dir", m_Dir};
    }

    // Runs a statement on a table's storage as another program would, with a connection of its
    // own: "%T" in it stands for the table (name columns in double quotes, which both take).
    void OtherProgram(const std::string& table, const std::string& sql) {
        std::string statement = sql;
        const std::string name = m_Driver == Driver::Server ? "\"" + table.substr(0, table.find('.')) + "\""
                                                            : std::string("records");
        for (std::size_t at; (at = statement.find("%T")) != std::string::npos;)
            statement.replace(at, 2, name);
        if (m_Driver == Driver::Server) {
            engine::PgConnection other;
            ASSERT_EQ(other.Connect(ServerConnInfo()), engine::esOk);
            const engine::PgResult result = other.Exec(statement);
            EXPECT_TRUE(result.Ok()) << statement << ": " << result.Message();
            return;
        }
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((m_Dir + "/" + table).c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 2000);
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << statement << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    // What the storage holds of a table, so that any write shows as a change: the table file and
    // its write-ahead log, or on the server every row with the version the server keeps of it.
    std::string StoredTable(const std::string& table) {
        if (m_Driver == Driver::Desktop)
            return TableBytes(table);
        engine::PgConnection other;
        EXPECT_EQ(other.Connect(ServerConnInfo()), engine::esOk);
        const engine::PgResult rows = other.Exec("SELECT t.xmin::text || ' ' || t::text FROM \"" +
                                                 table.substr(0, table.find('.')) + "\" t ORDER BY 1");
        EXPECT_TRUE(rows.Ok()) << rows.Message();
        std::string text;
        for (int i = 0; i < rows.Rows(); ++i)
            text += rows.Text(i, 0) + "\n";
        return text;
    }

    static engine::TableSpec ItemsSpec() {
        using engine::FieldSubtype;
        using engine::FieldType;
        const auto field = [](const char* name, FieldType type, std::uint16_t size = 0,
                              FieldSubtype subtype = FieldSubtype::None) {
            engine::FieldDesc f;
            f.name = name;
            f.type = type;
            f.size = size;
            f.subtype = subtype;
            return f;
        };
        engine::TableSpec tableSpec;
        tableSpec.name = "Items.DB";
        tableSpec.fields = {field("Index", FieldType::Int32, 0, FieldSubtype::AutoInc),
                            field("Code", FieldType::ZString, 20),
                            field("Name", FieldType::ZString, 20),
                            field("Due", FieldType::Date),
                            field("Amount", FieldType::Float, 0, FieldSubtype::Money),
                            field("Flag", FieldType::Bool),
                            field("Notes", FieldType::Blob, 80, FieldSubtype::Memo),
                            field("Qty", FieldType::Int32)};
        tableSpec.indexes = {{"iCode", {iCode}, false, false, 0},
                             {"iCodeCI", {iCode}, true, false, 0},
                             {"iDue", {iDue}, false, false, 0}};
        return tableSpec;
    }

    // Inserts rows straight through the engine, so that the views under test only read them.
    void AddRows(const std::vector<ItemRow>& rows) {
        engine::hCursor cursor = 0;
        ASSERT_EQ(engine::OpenTable(m_Db, "Items.DB", "", "", engine::OpenMode::ReadWrite,
                                    engine::ShareMode::Shared, cursor),
                  engine::esOk);
        engine::CursorProps props;
        engine::GetCursorProps(cursor, props);
        std::vector<std::uint8_t> record(props.recordSize);
        for (const ItemRow& row : rows) {
            engine::InitRecord(cursor, record.data());
            engine::PutValue(cursor, iCode, record.data(), row.code);
            engine::PutValue(cursor, iName, record.data(), row.name);
            if (row.dueDay)
                engine::PutValue(cursor, iDue, record.data(), engine::DayNumber{row.dueDay});
            engine::PutValue(cursor, iAmount, record.data(), row.amount);
            ASSERT_EQ(engine::InsertRecord(cursor, engine::LockType::None, record.data()), engine::esOk);
        }
        engine::CloseCursor(cursor);
    }

    // Rows named N00 .. N(count-1), codes C00.., due dates ascending.
    void AddNumberedRows(int count) {
        std::vector<ItemRow> rows;
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "N%02d", i);
            rows.push_back({std::string("C") + (name + 1), name, 740000 + i, i * 1.5});
        }
        AddRows(rows);
    }

    // A view of Items.DB whose fields are created from the table.
    TComponentPtr<TwsTable> NewView(const std::string& name = "Items", const std::string& index = {}) {
        TComponentPtr<TwsTable> view(new TwsTable(nullptr));
        view->SetName(name);
        view->SetDatabaseName(kAlias);
        view->SetTableName("Items.DB");
        view->SetIndexName(index);
        return view;
    }

    // One field of every row in the view's window, in order.
    static std::vector<std::string> WindowNames(TDataSet& view, const char* field = "Name") {
        std::vector<std::string> names;
        const int active = view.ActiveRecord();
        for (int i = 0; i < view.WindowRowCount(); ++i) {
            view.SetActiveRecord(i);
            names.push_back(view.FieldNamed(field)->AsString());
        }
        view.SetActiveRecord(active);
        return names;
    }

    // The table file and its write-ahead log: any write shows in one of them.
    std::string TableBytes(const std::string& table) const {
        return FileBytes(table) + FileBytes(table + "-wal");
    }

    std::string FileBytes(const std::string& file) const {
        std::ifstream in(m_Dir + "/" + file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    TempDirectory m_Temp{"ws-data"};

protected:
    const std::string m_Dir = m_Temp.Path();
    engine::hDatabase m_Db = 0;
    Driver m_Driver = Driver::Desktop;
    std::string m_Schema; // the server driver's
    std::unique_ptr<ScopedEnvironment> m_Config;
};

} // namespace ws::test
