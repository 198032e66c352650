#include "DataSetTestSupport.h"
#include "base/Convert.h"
#include "base/Locale.h"
#include "data/DBError.h"
#include "support/MessageOf.h"

using namespace ws;
using namespace ws::test;

namespace {

class FieldTestFixture : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        AddRows({{"A1", "Alpha", 0, 12.5}});
        m_View = NewView();
    }

    template <class F>
    F* Declare(const std::string& name, TFieldKind kind = fkData, int size = 0) {
        auto* field = new F(m_View.get());
        field->SetFieldName(name);
        field->SetFieldKind(kind);
        if (size)
            field->SetSize(size);
        field->SetDataSet(m_View.get());
        return field;
    }

    TScopedFormatSettings m_Formats{DefaultFormatSettings()};
    TComponentPtr<TwsTable> m_View;
};

class FieldTest : public OnEachDriver<FieldTestFixture> {};
ON_BOTH_DRIVERS(FieldTest);

} // namespace

TEST_P(FieldTest, TextFormsOfEachFieldClass) {
    auto* code = Declare<TStringField>("Code");
    auto* due = Declare<TDateField>("Due");
    auto* amount = Declare<TCurrencyField>("Amount");
    auto* flag = Declare<TBooleanField>("Flag");
    auto* notes = Declare<TMemoField>("Notes");
    auto* qty = Declare<TIntegerField>("Qty");
    auto* index = Declare<TAutoIncField>("Index");
    m_View->Open();

    EXPECT_EQ(code->AsString(), "A1");
    EXPECT_EQ(index->AsString(), "1");
    // Empty values read as the empty text, and dates as 0.0.
    EXPECT_TRUE(due->IsNull());
    EXPECT_EQ(due->AsString(), "");
    EXPECT_EQ(due->AsDateTime(), 0.0);
    EXPECT_EQ(flag->AsString(), "");
    EXPECT_FALSE(flag->AsBoolean());
    EXPECT_EQ(qty->AsString(), "");
    // Money reads plainly; only the display text uses the currency format.
    EXPECT_EQ(amount->AsString(), "12.5");
    EXPECT_EQ(amount->DisplayText(), "\xC2\xA3"
                                     "12.50");
    EXPECT_EQ(notes->DisplayText(), "(Memo)");

    m_View->Edit();
    due->SetAsDateTime(EncodeDate(2026, 3, 7));
    flag->SetAsString("t");
    notes->SetAsString("Line one\nLine two");
    qty->SetAsString("42");
    m_View->Post();

    EXPECT_EQ(due->AsString(), "07/03/2026");
    EXPECT_EQ(due->AsDateTime(), EncodeDate(2026, 3, 7));
    EXPECT_EQ(flag->AsString(), "True");
    EXPECT_EQ(notes->AsString(), "Line one\nLine two");
    EXPECT_EQ(notes->DisplayText(), "(MEMO)");
    EXPECT_EQ(qty->AsInteger(), 42);
}

TEST_P(FieldTest, WritesConvertOrFailWithTheFieldsMessages) {
    auto* flag = Declare<TBooleanField>("Flag");
    auto* qty = Declare<TIntegerField>("Qty");
    auto* amount = Declare<TCurrencyField>("Amount");
    auto* name = Declare<TStringField>("Name", fkData, 5);
    m_View->Open();
    m_View->Edit();

    EXPECT_EQ(MessageOf([&] { flag->SetAsString("maybe"); }),
              "'maybe' is not a valid boolean value for field 'Flag'");
    EXPECT_EQ(MessageOf([&] { qty->SetAsString("4x"); }),
              "'4x' is not a valid integer value for field 'Qty'");
    EXPECT_EQ(MessageOf([&] { amount->SetAsString("1,2,3"); }),
              "'1,2,3' is not a valid floating point value for field 'Amount'");
    // A failed conversion keeps the old value.
    EXPECT_EQ(amount->AsString(), "12.5");

    flag->SetAsString("F");
    EXPECT_EQ(flag->AsString(), "False");
    flag->SetAsString("");
    EXPECT_TRUE(flag->IsNull());
    // Text longer than the declared size is cut without notice.
    name->SetAsString("Abcdefgh");
    EXPECT_EQ(name->AsString(), "Abcde");
    m_View->Cancel();
}

TEST_P(FieldTest, AStringFieldDeclaredShorterThanTheTableReadsWhole) {
    AddRows({{"B2", "Twenty characters!!!"}});
    auto* name = Declare<TStringField>("Name", fkData, 13);
    m_View->Open();
    m_View->Last();
    EXPECT_EQ(name->AsString(), "Twenty characters!!!");
}

TEST_P(FieldTest, FieldsWithoutADataSetOrInTheWrongStateRefuse) {
    TComponentPtr<TStringField> loose(new TStringField(nullptr));
    loose->SetFieldName("Loose");
    EXPECT_EQ(MessageOf([&] { (void)loose->AsString(); }), "Field 'Loose' has no dataset");

    auto* code = Declare<TStringField>("Code");
    auto* index = Declare<TAutoIncField>("Index");
    index->SetReadOnly(true);
    m_View->Open();
    EXPECT_EQ(MessageOf([&] { code->SetAsString("X"); }), "Items: Dataset not in edit or insert mode");
    m_View->Edit();
    EXPECT_EQ(MessageOf([&] { index->SetAsInteger(9); }), "Field 'Index' cannot be modified");
    m_View->Cancel();
}

TEST_P(FieldTest, CalculatedStringKeepsAtMostItsSize) {
    Declare<TStringField>("Code");
    auto* site = Declare<TStringField>("Site", fkCalculated, 15);
    std::string seenBeforeWrite = "<unset>";
    m_View->OnCalcFields = [&](TDataSet*) {
        seenBeforeWrite = site->AsString();
        site->SetAsString(std::string(40, 'x'));
    };
    m_View->Open();
    EXPECT_EQ(seenBeforeWrite, "");
    EXPECT_EQ(site->AsString(), std::string(15, 'x'));
    EXPECT_EQ(site->FieldNo(), -1);
}

TEST(EngineErrorMessage, DistinctLinesWithoutTheBareContextText) {
    using engine::ErrorEntry;
    const std::vector<ErrorEntry> entries = {{engine::esRecordLocked, 0, "Table: /x/Jewish.DB"},
                                             {engine::esContext, 0, "Table: /x/Jewish.DB"},
                                             {engine::esIOError, 5, "disk I/O error"}};
    EXPECT_EQ(EDBEngineError::BuildMessage(engine::esRecordLocked, entries),
              "Record locked by another user\nTable: /x/Jewish.DB\ndisk I/O error");
    EXPECT_EQ(EDBEngineError::BuildMessage(engine::esContext, {{engine::esContext, 0, "Alias 'YardData'"}}),
              "Alias 'YardData'");
    EXPECT_EQ(EDBEngineError::BuildMessage(engine::esContext, {}), "Engine error $2ec4");

    const EDBEngineError start = EDBEngineError::StartFailure(engine::esLibraryNotFound);
    EXPECT_STREQ(start.what(),
                 "An error occurred while attempting to initialize the database engine (error $2108)");
    EXPECT_EQ(start.ErrorCode(), engine::esLibraryNotFound);
}
