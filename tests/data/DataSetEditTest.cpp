#include "DataSetTestSupport.h"
#include "base/Locale.h"
#include "data/DBError.h"

using namespace ws;
using namespace ws::test;

namespace {

using Names = std::vector<std::string>;

class DataSetEditTestFixture : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        AddRows({{"A", "Alpha", 740001, 1}, {"B", "Beta", 740002, 2}, {"C", "Gamma", 740003, 3}});
        m_View = NewView("Items", "iDue");
    }

    // Every row as the engine holds it, read outside the view.
    std::vector<std::string> EngineRows() {
        engine::hCursor cursor = 0;
        engine::OpenTable(m_Db, "Items.DB", "", "", engine::OpenMode::ReadOnly, engine::ShareMode::Shared,
                          cursor);
        engine::CursorProps props;
        engine::GetCursorProps(cursor, props);
        std::vector<std::uint8_t> record(props.recordSize);
        std::vector<std::string> rows;
        while (engine::GetNextRecord(cursor, engine::LockType::None, record.data()) == engine::esOk) {
            std::string row;
            for (std::uint16_t field = 1; field <= props.fieldCount; ++field) {
                engine::Value value;
                engine::GetValue(cursor, field, record.data(), value);
                std::visit([&row](const auto& v) { row += Describe(v) + "|"; }, value);
            }
            rows.push_back(row);
        }
        engine::CloseCursor(cursor);
        return rows;
    }

    static std::string Describe(std::monostate) { return "null"; }
    static std::string Describe(const std::string& s) { return s; }
    static std::string Describe(std::int32_t i) { return std::to_string(i); }
    static std::string Describe(double d) { return std::to_string(d); }
    static std::string Describe(bool b) { return b ? "T" : "F"; }
    static std::string Describe(engine::DayNumber d) { return "d" + std::to_string(d.days); }

    TField* Field(const char* name) { return m_View->FieldNamed(name); }

    TScopedFormatSettings m_Formats{DefaultFormatSettings()};
    TComponentPtr<TwsTable> m_View;
};

class DataSetEditTest : public OnEachDriver<DataSetEditTestFixture> {};
ON_BOTH_DRIVERS(DataSetEditTest);

} // namespace

TEST_P(DataSetEditTest, EditThenPostRewritesTheRowUnchanged) {
    const auto before = EngineRows();
    m_View->Open();
    m_View->Next();
    m_View->Edit();
    EXPECT_EQ(m_View->State(), dsEdit);
    m_View->Post();
    EXPECT_EQ(m_View->State(), dsBrowse);
    EXPECT_EQ(Field("Name")->AsString(), "Beta");
    EXPECT_EQ(EngineRows(), before);
    // The lock went with the post: another view can lock the same row.
    auto other = NewView("Other", "iDue");
    other->Open();
    other->Next();
    other->Edit();
    other->Cancel();
}

TEST_P(DataSetEditTest, ReadingAndRefreshingNeverWriteTheTable) {
    m_View->Close();
    const std::string before = StoredTable("Items.DB");
    m_View->Open();
    m_View->Last();
    m_View->First();
    m_View->Refresh();
    m_View->Locate("Name", "Gamma");
    m_View->RecordCount();
    m_View->Edit();
    m_View->Cancel();
    m_View->Close();
    EXPECT_TRUE(StoredTable("Items.DB") == before);
    // The comparison above does see a write.
    m_View->Open();
    m_View->Edit();
    Field("Name")->SetAsString("Zeta");
    m_View->Post();
    m_View->Close();
    EXPECT_FALSE(StoredTable("Items.DB") == before);
}

TEST_P(DataSetEditTest, ChangesPostOrCancelAndInsertAddsARow) {
    m_View->Open();
    m_View->Edit();
    Field("Name")->SetAsString("Alef");
    EXPECT_TRUE(m_View->Modified());
    m_View->Cancel();
    EXPECT_EQ(Field("Name")->AsString(), "Alpha");

    m_View->Edit();
    Field("Name")->SetAsString("Alef");
    // Moving away finishes the edit by posting it.
    m_View->Next();
    m_View->First();
    EXPECT_EQ(Field("Name")->AsString(), "Alef");

    m_View->Insert();
    EXPECT_EQ(m_View->State(), dsInsert);
    Field("Code")->SetAsString("D");
    Field("Name")->SetAsString("Delta");
    Field("Due")->SetAsDateTime(DayNumberToDate(740010));
    m_View->Post();
    EXPECT_EQ(Field("Name")->AsString(), "Delta");
    EXPECT_EQ(m_View->RecordCount(), 4);
    EXPECT_EQ(Field("Index")->AsInteger(), 4);

    m_View->Insert();
    m_View->Cancel();
    EXPECT_EQ(m_View->RecordCount(), 4);
    EXPECT_EQ(Field("Name")->AsString(), "Delta");

    m_View->Delete();
    EXPECT_EQ(m_View->RecordCount(), 3);
}

TEST_P(DataSetEditTest, EditOnAnEmptyViewStartsAnInsert) {
    m_View->SetIndexName("");
    m_View->OnFilterRecord = [](TDataSet*, bool& accept) { accept = false; };
    m_View->SetFiltered(true);
    m_View->Open();
    EXPECT_TRUE(m_View->IsEmpty());
    m_View->Edit();
    EXPECT_EQ(m_View->State(), dsInsert);
    Field("Name")->SetAsString("New");
    m_View->Post();
    m_View->SetFiltered(false);
    EXPECT_EQ(m_View->RecordCount(), 4);
}

TEST_P(DataSetEditTest, PostOutsideEditAndReadOnlyViewsFail) {
    m_View->Open();
    try {
        m_View->Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Items: Dataset not in edit or insert mode");
    }
    m_View->Close();
    m_View->SetReadOnly(true);
    m_View->Open();
    try {
        m_View->Edit();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Items: Cannot modify a read-only dataset");
    }
    EXPECT_EQ(m_View->State(), dsBrowse);
}

TEST_P(DataSetEditTest, CalculatedFieldsReadTheRowBeingCalculated) {
    auto* name = new TStringField(m_View.get());
    name->SetFieldName("Name");
    name->SetDataSet(m_View.get());
    auto* label = new TStringField(m_View.get());
    label->SetFieldName("Label");
    label->SetCalculated(true);
    label->SetSize(30);
    label->SetDataSet(m_View.get());
    TDataSource source(nullptr);
    source.SetDataSet(m_View.get());
    TDataLink link;
    link.SetBufferCount(3);
    link.SetDataSource(&source);
    std::vector<std::string> seen;
    std::string storedWrite;
    m_View->OnCalcFields = [&](TDataSet* view) {
        seen.push_back(name->AsString());
        label->SetAsString("<" + name->AsString() + ">");
        EXPECT_EQ(view->State(), dsCalcFields);
        if (storedWrite.empty()) {
            try {
                name->SetAsString("x");
            } catch (const EDatabaseError& e) {
                storedWrite = e.what();
            }
        }
    };
    m_View->Open();
    EXPECT_EQ(seen, Names({"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(storedWrite, "Items: Dataset not in edit or insert mode");
    EXPECT_EQ(name->AsString(), "Alpha") << "the current row, not the last one calculated";
    EXPECT_EQ(label->AsString(), "<Alpha>");
    m_View->Edit();
    name->SetAsString("Aleph");
    EXPECT_EQ(label->AsString(), "<Aleph>") << "a stored change recomputes during an edit";
    m_View->Cancel();
    source.SetDataSet(nullptr);
}

TEST_P(DataSetEditTest, AFailingCalculationRestoresTheState) {
    auto* label = new TStringField(m_View.get());
    label->SetFieldName("Label");
    label->SetCalculated(true);
    label->SetDataSet(m_View.get());
    bool fail = false;
    m_View->OnCalcFields = [&](TDataSet*) {
        if (fail)
            throw EDatabaseError("calculation failed");
    };
    m_View->Open();
    fail = true;
    EXPECT_THROW(m_View->Refresh(), EDatabaseError);
    EXPECT_EQ(m_View->State(), dsBrowse);
}

TEST_P(DataSetEditTest, ControlTypeLinesOfUnknownFieldsGoAtTheFirstCalculation) {
    auto* name = new TStringField(m_View.get());
    name->SetFieldName("Name");
    name->SetDataSet(m_View.get());
    auto* flag = new TBooleanField(m_View.get());
    flag->SetFieldName("Flag");
    flag->SetDataSet(m_View.get());
    auto* label = new TStringField(m_View.get());
    label->SetFieldName("Label");
    label->SetCalculated(true);
    label->SetDataSet(m_View.get());
    m_View->SetControlType({"flag;CustomEdit;wsCheckBox2;F", "TcReceived;CustomEdit;wsCheckBox1;F"});
    EXPECT_EQ(m_View->ControlType().size(), 2u);
    m_View->Open();
    EXPECT_EQ(m_View->ControlType(), Names({"flag;CustomEdit;wsCheckBox2;F"}));
}

TEST_P(DataSetEditTest, PictureMasksAreCheckedBeforeAPost) {
    m_View->SetPictureMasks({"Code\t&#\tF\tF"});
    TField* invalid = nullptr;
    m_View->OnInvalidValue = [&](TDataSet*, TField* field) { invalid = field; };
    m_View->Open();
    m_View->Edit();
    Field("Code")->SetAsString("a1");
    m_View->Post();
    EXPECT_EQ(Field("Code")->AsString(), "a1") << "the mask checks a copy; the value stays as written";
    m_View->Edit();
    Field("Code")->SetAsString("12");
    try {
        m_View->Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid characters. Field : Code");
    }
    EXPECT_EQ(invalid, Field("Code"));
    EXPECT_EQ(m_View->State(), dsEdit);
    Field("Code")->SetAsString("");
    m_View->Post();
    EXPECT_EQ(m_View->State(), dsBrowse);
}

TEST_P(DataSetEditTest, ACalculationMayLocateEditAndPostAnotherView) {
    // The board's pattern: each row's derived text comes from a row of a second view, which is
    // locked and written back unchanged on the way.
    const auto before = EngineRows();
    auto details = NewView("Details");
    auto* code = new TStringField(m_View.get());
    code->SetFieldName("Code");
    code->SetDataSet(m_View.get());
    auto* memorial = new TStringField(m_View.get());
    memorial->SetFieldName("Memorial");
    memorial->SetCalculated(true);
    memorial->SetSize(80);
    memorial->SetDataSet(m_View.get());
    m_View->OnCalcFields = [&](TDataSet*) {
        if (!details->Active() || !details->Locate("Code", code->AsString()))
            return;
        details->Edit();
        memorial->SetAsString(details->FieldNamed("Name")->AsString() + " " +
                              details->FieldNamed("Code")->AsString());
        details->Post();
    };
    m_View->Open();
    EXPECT_EQ(memorial->AsString(), "") << "the second view was not open yet";
    details->Open();
    m_View->Refresh();
    EXPECT_EQ(memorial->AsString(), "Alpha A");
    m_View->Next();
    EXPECT_EQ(memorial->AsString(), "Beta B");
    EXPECT_EQ(details->State(), dsBrowse);
    EXPECT_EQ(m_View->State(), dsBrowse);
    EXPECT_EQ(EngineRows(), before);
}

namespace {

// Whether another cursor of this process finds the row with the code locked.
bool LockedElsewhere(engine::hDatabase db, const std::string& table, const std::string& code) {
    engine::hCursor cursor = 0;
    EXPECT_EQ(
        engine::OpenTable(db, table, "", "", engine::OpenMode::ReadWrite, engine::ShareMode::Shared, cursor),
        engine::esOk);
    engine::CursorProps props;
    engine::GetCursorProps(cursor, props);
    std::vector<std::uint8_t> record(props.recordSize);
    engine::EngineStatus status = engine::esRecordNotFound;
    while (engine::GetNextRecord(cursor, engine::LockType::None, record.data()) == engine::esOk) {
        engine::Value value;
        engine::GetValue(cursor, iCode, record.data(), value);
        if (value != engine::Value{code})
            continue;
        status = engine::GetRecord(cursor, engine::LockType::Write, record.data());
        break;
    }
    engine::ReleaseLock(cursor, true);
    engine::CloseCursor(cursor);
    EXPECT_TRUE(status == engine::esOk || status == engine::esRecordLocked) << status;
    return status == engine::esRecordLocked;
}

} // namespace

TEST_P(DataSetEditTest, ACalculationFailingInEditFreesTheRowAndKeepsItAsShown) {
    for (const char* name : {"Code", "Name"}) {
        auto* field = new TStringField(m_View.get());
        field->SetFieldName(name);
        field->SetDataSet(m_View.get());
    }
    auto* label = new TStringField(m_View.get());
    label->SetFieldName("Label");
    label->SetCalculated(true);
    label->SetDataSet(m_View.get());
    bool fail = false;
    m_View->OnCalcFields = [&](TDataSet*) {
        if (fail)
            throw EDatabaseError("calculation failed");
        label->SetAsString("<" + Field("Name")->AsString() + ">");
    };
    m_View->Open();
    m_View->Next();
    fail = true;
    EXPECT_THROW(m_View->Edit(), EDatabaseError);
    EXPECT_EQ(m_View->State(), dsBrowse);
    EXPECT_FALSE(LockedElsewhere(m_Db, "Items.DB", "B")) << "the view in Browse still holds the row";
    EXPECT_EQ(Field("Code")->AsString(), "B");
    EXPECT_EQ(label->AsString(), "<Beta>");

    fail = false;
    m_View->Edit();
    EXPECT_TRUE(LockedElsewhere(m_Db, "Items.DB", "B"));
    m_View->Post();
    EXPECT_FALSE(LockedElsewhere(m_Db, "Items.DB", "B"));
}

TEST_P(DataSetEditTest, AFailedWriteLeavesEditThatCancelsAndTheNextEditWorks) {
    // A unique index makes the engine refuse the write inside its transaction. The view stays in
    // Edit and keeps the row locked until it is cancelled.
    engine::TableSpec table = ItemsSpec();
    table.name = "Unique.DB";
    table.indexes = {{"iCode", {iCode}, false, true, 0}};
    ASSERT_EQ(engine::CreateTable(m_Db, table), engine::esOk);
    auto view = NewView("Unique");
    view->SetTableName("Unique.DB");
    view->Open();
    for (const char* code : {"A", "B"}) {
        view->Insert();
        view->FieldNamed("Code")->SetAsString(code);
        view->FieldNamed("Name")->SetAsString(std::string("Name ") + code);
        view->Post();
    }
    const auto before = StoredTable("Unique.DB");
    ASSERT_TRUE(view->Locate("Code", "B"));
    view->Edit();
    view->FieldNamed("Code")->SetAsString("A");
    EXPECT_THROW(view->Post(), EDBEngineError);
    EXPECT_EQ(view->State(), dsEdit);
    EXPECT_TRUE(LockedElsewhere(m_Db, "Unique.DB", "B"));

    view->Cancel();
    EXPECT_EQ(view->State(), dsBrowse);
    EXPECT_FALSE(LockedElsewhere(m_Db, "Unique.DB", "B"));
    EXPECT_EQ(view->FieldNamed("Code")->AsString(), "B");
    EXPECT_EQ(view->FieldNamed("Name")->AsString(), "Name B");
    view->Edit();
    view->FieldNamed("Name")->SetAsString("Changed");
    view->Post();
    view->Refresh();
    EXPECT_EQ(view->FieldNamed("Name")->AsString(), "Changed");
    EXPECT_NE(StoredTable("Unique.DB"), before);
    EXPECT_FALSE(LockedElsewhere(m_Db, "Unique.DB", "B"));
}
