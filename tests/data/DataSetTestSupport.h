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
#include "support/TempDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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

// Each test gets its own database directory behind the session alias "TestData", with an empty
// table Items.DB (indexes iCode, iCodeCI, iDue).
class DataSetTest : public ::testing::Test {
protected:
    static constexpr const char* kAlias = "TestData";

    void SetUp() override {
        Session().AddAlias(kAlias, "DESKTOP", {{"PATH", m_Dir}});
        ASSERT_EQ(engine::OpenDatabase(m_Dir, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, m_Db),
                  engine::esOk);
        ASSERT_EQ(engine::CreateTable(m_Db, ItemsSpec()), engine::esOk);
    }

    void TearDown() override { engine::CloseDatabase(m_Db); }

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
};

} // namespace ws::test
