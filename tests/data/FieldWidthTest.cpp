#include "DataSetTestSupport.h"
#include "base/Locale.h"
#include "data/DBError.h"
#include "support/Jobsdb.h"
#include "support/MessageOf.h"

#include <cstdio>
#include <sqlite3.h>

using namespace ws;
using namespace ws::test;

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

const std::string kEuro = "\u20AC";     // three bytes
const std::string kShin = "\u05E9";     // two bytes
const std::string kGrin = "\U0001F600"; // four bytes

// Text sizes in characters and 16-bit integer columns, checked against what the table files
// hold, read with SQLite directly.
// Desktop driver only: it reads and writes the table files' stored bytes with SQLite.
class FieldWidthTest : public DataSetTest {
protected:
    template <class F>
    F* Declare(TwsTable& view, const std::string& name, TFieldKind kind = fkData, int size = 0) {
        auto* field = new F(&view);
        field->SetFieldName(name);
        field->SetFieldKind(kind);
        if (size)
            field->SetSize(size);
        field->SetDataSet(&view);
        return field;
    }

    // One column of every row of a table file, in row order, as SQLite gives it.
    std::vector<std::string> Stored(const std::string& table, const std::string& column) const {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open((m_Dir + "/" + table).c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, ("SELECT \"" + column + "\" FROM records ORDER BY rowid").c_str(), -1, &stmt,
                           nullptr);
        std::vector<std::string> values;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
            values.emplace_back(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return values;
    }

    void Store(const std::string& table, const std::string& column, const std::string& value) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((m_Dir + "/" + table).c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, ("UPDATE records SET \"" + column + "\" = ?").c_str(), -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }

    // Numbers.DB: an autoincrement Index, a 16-bit Small and a 32-bit Qty.
    void MakeNumbersTable() {
        engine::TableSpec table;
        table.name = "Numbers.DB";
        const auto field = [](const char* name, engine::FieldType type,
                              engine::FieldSubtype subtype = engine::FieldSubtype::None) {
            engine::FieldDesc f;
            f.name = name;
            f.type = type;
            f.subtype = subtype;
            return f;
        };
        table.fields = {field("Index", engine::FieldType::Int32, engine::FieldSubtype::AutoInc),
                        field("Small", engine::FieldType::Int16), field("Qty", engine::FieldType::Int32)};
        ASSERT_EQ(engine::CreateTable(m_Db, table), engine::esOk);
        engine::hCursor cursor = 0;
        ASSERT_EQ(engine::OpenTable(m_Db, "Numbers.DB", "", "", engine::OpenMode::ReadWrite,
                                    engine::ShareMode::Shared, cursor),
                  engine::esOk);
        engine::CursorProps props;
        engine::GetCursorProps(cursor, props);
        std::vector<std::uint8_t> record(props.recordSize);
        engine::InitRecord(cursor, record.data());
        engine::PutValue(cursor, 2, record.data(), std::int32_t{-7});
        engine::PutValue(cursor, 3, record.data(), std::int32_t{1234});
        ASSERT_EQ(engine::InsertRecord(cursor, engine::LockType::None, record.data()), engine::esOk);
        engine::CloseCursor(cursor);
    }

    TComponentPtr<TwsTable> NumbersView() {
        TComponentPtr<TwsTable> view(new TwsTable(nullptr));
        view->SetName("Numbers");
        view->SetDatabaseName(kAlias);
        view->SetTableName("Numbers.DB");
        return view;
    }

    std::string Jobsdb(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--dir", m_Dir});
        const ProgramRun run = RunJobsdb(args);
        EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
        return run.output;
    }

    TScopedFormatSettings m_Formats{DefaultFormatSettings()};
};

} // namespace

TEST_F(FieldWidthTest, StringFieldsHoldTheirSizeInCharactersAndCutNoneInHalf) {
    AddRows({{"A1", "Alpha"}});
    auto view = NewView();
    auto* code = Declare<TStringField>(*view, "Code");
    auto* name = Declare<TStringField>(*view, "Name");
    auto* site = Declare<TStringField>(*view, "Site", fkCalculated, 15);
    auto* burial = Declare<TStringField>(*view, "Burial", fkCalculated, 10);
    auto* raw = Declare<TStringField>(*view, "Raw", fkCalculated, 5);
    view->OnCalcFields = [&](TDataSet*) {
        site->SetAsString(Repeat(kShin, 40));
        burial->SetAsString(Repeat(kEuro, 12));
        // Bytes that are no UTF-8 count one character each and are kept as they are.
        raw->SetAsString("ab" + kEuro + "\xFF\xFE\xFD");
    };
    view->Open();
    EXPECT_EQ(site->AsString(), Repeat(kShin, 15));
    EXPECT_EQ(burial->AsString(), Repeat(kEuro, 10));
    EXPECT_EQ(raw->AsString(), "ab" + kEuro + "\xFF\xFE");

    view->Edit();
    name->SetAsString(Repeat(kEuro, 27));
    code->SetAsString(Repeat(kShin, 41));
    EXPECT_EQ(name->AsString(), Repeat(kEuro, 20));
    EXPECT_EQ(code->AsString(), Repeat(kShin, 20));
    view->Post();
    EXPECT_EQ(Stored("Items.DB", "Name"), std::vector<std::string>{Repeat(kEuro, 20)});
    EXPECT_EQ(Stored("Items.DB", "Code"), std::vector<std::string>{Repeat(kShin, 20)});
    view->Edit();
    name->SetAsString(Repeat(kGrin, 20) + "more");
    view->Post();
    EXPECT_EQ(Stored("Items.DB", "Name"), std::vector<std::string>{Repeat(kGrin, 20)});
    EXPECT_EQ(name->AsString(), Repeat(kGrin, 20));

    // A field declared shorter than the table's reads the stored text whole; a filter finds a
    // row by a text of 20 four-byte characters.
    view->Close();
    auto shorter = NewView("Shorter");
    auto* shortName = Declare<TStringField>(*shorter, "Name", fkData, 13);
    shorter->SetFilter("Name = '" + Repeat(kGrin, 20) + "'");
    shorter->SetFiltered(true);
    shorter->Open();
    ASSERT_FALSE(shorter->IsEmpty());
    EXPECT_EQ(shortName->AsString(), Repeat(kGrin, 20));
    EXPECT_EQ(shorter->RecordCount(), 1);
    // A text stored by another program that is longer than the field reads cut after whole
    // characters, in a filter too.
    Store("Items.DB", "Name", Repeat(kEuro, 27));
    shorter->Refresh();
    shorter->SetFilter("Name = '" + Repeat(kEuro, 20) + "'");
    ASSERT_FALSE(shorter->IsEmpty());
    EXPECT_EQ(shortName->AsString(), Repeat(kEuro, 20));
}

TEST_F(FieldWidthTest, SixteenBitColumnsRoundTripEveryValueAndRefuseTheRest) {
    MakeNumbersTable();
    // Default fields, as jobsdb dump uses them, include the 16-bit column.
    {
        auto view = NumbersView();
        view->Open();
        TField* small = view->FindFieldNamed("Small");
        ASSERT_NE(small, nullptr);
        EXPECT_NE(dynamic_cast<TSmallintField*>(small), nullptr);
        EXPECT_EQ(small->DataType(), ftSmallint);
        EXPECT_EQ(small->AsInteger(), -7);
        EXPECT_EQ(view->FieldCount(), 3);
    }
    EXPECT_EQ(Jobsdb({"dump", "Numbers.DB"}), "Index\tSmall\tQty\n1\t-7\t1234\nRecordCount: 1\n");

    auto view = NumbersView();
    auto* small = Declare<TIntegerField>(*view, "Small");
    auto* qty = Declare<TSmallintField>(*view, "Qty");
    view->Open();
    EXPECT_EQ(small->AsInteger(), -7);
    EXPECT_EQ(qty->AsInteger(), 1234);
    for (std::int32_t value : {-32768, -32767, -256, -1, 0, 1, 255, 256, 32767}) {
        SCOPED_TRACE(value);
        view->Edit();
        small->SetAsInteger(value);
        qty->SetAsInteger(value);
        EXPECT_EQ(small->AsInteger(), value);
        view->Post();
        EXPECT_EQ(small->AsInteger(), value);
        EXPECT_EQ(small->AsString(), std::to_string(value));
        EXPECT_EQ(qty->AsInteger(), value);
        EXPECT_EQ(Stored("Numbers.DB", "Small"), std::vector<std::string>{std::to_string(value)});
        EXPECT_EQ(Stored("Numbers.DB", "Qty"), std::vector<std::string>{std::to_string(value)});
    }
    // Out of range: refused with a message, the value in the buffer left as it was.
    view->Edit();
    EXPECT_EQ(MessageOf([&] { small->SetAsInteger(32768); }),
              "32768 is out of range for field 'Small': it holds -32768 to 32767");
    EXPECT_EQ(MessageOf([&] { small->SetAsString("-32769"); }),
              "-32769 is out of range for field 'Small': it holds -32768 to 32767");
    EXPECT_EQ(MessageOf([&] { qty->SetAsInteger(40000); }),
              "40000 is out of range for field 'Qty': it holds -32768 to 32767");
    EXPECT_EQ(small->AsInteger(), 32767);
    EXPECT_EQ(qty->AsInteger(), 32767);
    view->Post();
    EXPECT_EQ(Stored("Numbers.DB", "Small"), std::vector<std::string>{"32767"});
    EXPECT_EQ(Stored("Numbers.DB", "Qty"), std::vector<std::string>{"32767"});
}
