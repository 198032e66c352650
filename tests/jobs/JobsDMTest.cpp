#include "JobsDMTestSupport.h"
#include "base/Locale.h"
#include "data/DBError.h"
#include "data/DataClasses.h"
#include "data/DataLink.h"
#include "data/DataModule.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "engine/Engine.h"
#include "jobs/BoardFilters.h"
#include "jobs/JobSchema.h"
#include "jobs/JobTables.h"
#include "ui/ComponentCreate.h"

using namespace ws;
using namespace ws::test;

namespace {

using Names = std::vector<std::string>;

class JobsDMTest : public JobsDbTest {
protected:
    void SetUp() override {
        JobsDbTest::SetUp();
        Jobsdb({"init"});
    }

    // The message of the error that creating JobsDM must raise; JobsDM stays null.
    std::string CreateError() {
        try {
            CreateJobsDM(nullptr);
        } catch (const Exception& e) {
            EXPECT_EQ(JobsDM, nullptr);
            return e.what();
        }
        ADD_FAILURE() << "JobsDM was created";
        return {};
    }

    // The field objects a view declares, as "Name type size" (size for strings and memos).
    static Names Declared(const TDataSet& view, TFieldKind kind) {
        Names fields;
        for (int i = 0; i < view.FieldCount(); ++i) {
            const TField* field = view.Fields(i);
            if (field->FieldKind() != kind)
                continue;
            const bool sized = field->DataType() == ftString || field->DataType() == ftMemo;
            fields.push_back(field->FieldName() + " " + std::string(FieldTypeName(field->DataType())) +
                             (sized ? " " + std::to_string(field->Size()) : ""));
        }
        return fields;
    }
    static Names Expected(const SchemaTable& table, std::string_view leftOut = {}) {
        Names fields;
        for (const SchemaField& field : table.fields) {
            if (field.name == leftOut)
                continue;
            const bool sized = field.type == ftString || field.type == ftMemo;
            fields.push_back(std::string(field.name) + " " + std::string(FieldTypeName(field.type)) +
                             (sized ? " " + std::to_string(field.size) : ""));
        }
        return fields;
    }
};

} // namespace

TEST_F(JobsDMTest, LoadingBuildsThirteenComponentsConnectsAndOpensEveryView) {
    PutJob("J1", "2026-03-01", {{"IsActive", "True"}, {"IsJewish", "True"}});
    Put("Jewish.DB", {{"OrderNo", "J1"}, {"Stone", "Grey"}, {"Position", "Row 3"}});
    TJobsDM* dm = CreateJobsDM(nullptr);
    ASSERT_EQ(JobsDM, dm);

    Names components;
    for (int i = 0; i < dm->ComponentCount(); ++i) {
        const TComponent* c = dm->Components(i);
        if (!dynamic_cast<const TField*>(c))
            components.push_back(c->Name() + ":" + c->ClassInfo().Name());
    }
    EXPECT_EQ(components, Names({"JobsData:TDatabase", "JobsTable:TwsTable", "JobsDS:TwsDataSource",
                                 "OptionsTable:TwsTable", "OptionsDS:TwsDataSource", "JewishTable:TwsTable",
                                 "JewishDS:TwsDataSource", "Jobs2Table:TwsTable", "Jobs2DS:TwsDataSource",
                                 "RnRTable:TwsTable", "RnRDS:TwsDataSource", "SpecialDateTable:TwsTable",
                                 "SpecialDateDS:TwsDataSource"}));

    EXPECT_TRUE(dm->JobsData()->Connected());
    EXPECT_EQ(dm->JobsData()->AliasName(), "YardData");
    EXPECT_EQ(dm->JobsData()->DatabaseName(), "JobsDB");
    const std::pair<TwsTable*, TDataSource*> views[] = {
        {dm->JobsTable(), dm->JobsDS()},     {dm->OptionsTable(), dm->OptionsDS()},
        {dm->JewishTable(), dm->JewishDS()}, {dm->Jobs2Table(), dm->Jobs2DS()},
        {dm->RnRTable(), dm->RnRDS()},       {dm->SpecialDateTable(), dm->SpecialDateDS()}};
    for (const auto& [view, source] : views) {
        EXPECT_EQ(view->State(), dsBrowse) << view->Name();
        EXPECT_EQ(source->DataSet(), view);
        EXPECT_FALSE(view->ReadOnly());
        EXPECT_TRUE(view->ValidateWithMask());
        EXPECT_FALSE(view->Filtered());
    }
    // The views through "JobsDB" use the connection component; the two that name the alias
    // share one temporary connection of their own.
    for (TwsTable* view : {dm->JobsTable(), dm->OptionsTable(), dm->JewishTable(), dm->RnRTable()})
        EXPECT_EQ(view->Database(), dm->JobsData()) << view->Name();
    TDatabase* direct = dm->Jobs2Table()->Database();
    ASSERT_NE(direct, nullptr);
    EXPECT_NE(direct, dm->JobsData());
    EXPECT_EQ(dm->SpecialDateTable()->Database(), direct);
    EXPECT_TRUE(direct->Temporary());
    EXPECT_EQ(direct->DatabaseName(), "YardData");
    EXPECT_EQ(direct->RefCount(), 2);

    EXPECT_EQ(dm->JobsTable()->IndexName(), "iDueDateA");
    EXPECT_EQ(dm->Jobs2Table()->IndexName(), "iDueDateA");
    EXPECT_EQ(dm->SpecialDateTable()->IndexName(), "iDueDateA");
    EXPECT_EQ(dm->OptionsTable()->IndexName(), "");
    // JewishTable opens after JobsTable, so the rows fetched at loading have no memorial yet.
    EXPECT_EQ(dm->JobsTable()->FieldNamed("Memorial")->AsString(), "");

    // Freeing the module closes everything, the temporary connection included.
    const int connections = Session().DatabaseCount();
    TComponent::Free(dm);
    EXPECT_EQ(JobsDM, nullptr);
    EXPECT_EQ(Session().DatabaseCount(), connections - 2);
}

TEST_F(JobsDMTest, EveryViewDeclaresItsTableFieldsAndDerivedFieldsWithTheirSizes) {
    TJobsDM* dm = CreateJobsDM(nullptr);
    EXPECT_EQ(Declared(*dm->JobsTable(), fkData), Expected(OrderHeadTable()));
    EXPECT_EQ(Declared(*dm->Jobs2Table(), fkData), Expected(OrderHeadTable()));
    EXPECT_EQ(Declared(*dm->SpecialDateTable(), fkData), Expected(OrderHeadTable(), "Active"));
    EXPECT_EQ(Declared(*dm->OptionsTable(), fkData), Expected(OptionsTable()));
    EXPECT_EQ(Declared(*dm->JewishTable(), fkData), Expected(JewishTable()));
    EXPECT_EQ(Declared(*dm->RnRTable(), fkData), Expected(RnrTable()));
    EXPECT_EQ(Declared(*dm->JobsTable(), fkData).size(), 124u);
    EXPECT_TRUE(dm->JobsTable()->FieldNamed("Index")->ReadOnly());
    EXPECT_TRUE(dm->SpecialDateTable()->FieldNamed("Index")->ReadOnly());

    EXPECT_EQ(Declared(*dm->JobsTable(), fkCalculated), Names({"Memorial String 80"}));
    EXPECT_EQ(Declared(*dm->Jobs2Table(), fkCalculated),
              Names({"Site String 15", "NameOnStone String 80", "Burial String 10", "Cem String 80",
                     "CurentLocation String 80", "RemoveBefore String 10"}));
    EXPECT_EQ(Declared(*dm->SpecialDateTable(), fkCalculated),
              Names({"CurentLocation String 80", "RemoveBefore String 10", "Site String 15",
                     "NameOnStone String 80", "Cem String 80"}));
    EXPECT_EQ(Declared(*dm->RnRTable(), fkCalculated), Names({"Cem String 80", "Task String 12"}));
    EXPECT_TRUE(Declared(*dm->OptionsTable(), fkCalculated).empty());
    EXPECT_TRUE(Declared(*dm->JewishTable(), fkCalculated).empty());

    EXPECT_EQ(dm->JobsTable()->ControlType(),
              Names({"TcReceived;CustomEdit;wsCheckBox1;F", "Invoiced;CustomEdit;wsCheckBox2;F",
                     "Incy;CustomEdit;IncyCB;F"}));
    EXPECT_EQ(dm->OptionsTable()->ControlType(), Names({"TcReceived;CustomEdit;wsCheckBox1;F"}));
    EXPECT_EQ(dm->JewishTable()->ControlType(), Names({"TcReceived;CustomEdit;wsCheckBox1;F"}));
    EXPECT_EQ(dm->SpecialDateTable()->ControlType(), Names({"Invoiced;CustomEdit;wsCheckBox1;F"}));
    EXPECT_TRUE(dm->Jobs2Table()->ControlType().empty());
    EXPECT_TRUE(dm->RnRTable()->ControlType().empty());
}

TEST_F(JobsDMTest, BoardFiltersListExactlyTheirJobsInDueDateOrder) {
    // Inserted out of due-date order; the views read them through iDueDateA.
    PutJob("JEW-LATE", "2026-05-01", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("JEW-EARLY", "2026-02-01", {{"IsActive", "True"}, {"IsJewish", "True"}, {"DateOffSet", "3"}});
    PutJob("JEW-OLD", "2026-01-01", {{"IsActive", "False"}, {"IsJewish", "True"}});
    PutJob("JEW-NODATE", "", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("PLAIN", "2026-03-01", {{"IsActive", "True"}});
    PutJob("SPECIAL-B", "2026-04-01", {{"IsActive", "True"}, {"DateOffSet", "3"}});
    PutJob("SPECIAL-A", "2026-03-15", {{"IsActive", "True"}, {"DateOffSet", "3"}});
    PutJob("SPECIAL-OFF", "2026-03-16", {{"IsActive", "True"}, {"DateOffSet", "2"}});
    PutJob("SPECIAL-OLD", "2026-03-17", {{"IsActive", "False"}, {"DateOffSet", "3"}});
    PutJob("INT-NEVER", "2026-06-01", {{"IsActive", "True"}, {"IsInterment", "True"}});
    PutJob("INT-NO", "2026-01-10", {{"IsActive", "True"}, {"IsInterment", "True"}, {"Invoiced", "False"}});
    PutJob("INT-DONE", "2026-01-11", {{"IsActive", "True"}, {"IsInterment", "True"}, {"Invoiced", "True"}});
    PutJob("INT-OLD", "2026-01-12", {{"IsActive", "False"}, {"IsInterment", "True"}});
    TJobsDM* dm = CreateJobsDM(nullptr);
    EXPECT_EQ(dm->JobsTable()->RecordCount(), 13);

    ApplyBoardFilters();
    EXPECT_EQ(dm->JobsTable()->Filter(), "(IsActive=True) AND (isJewish=True)");
    EXPECT_EQ(dm->SpecialDateTable()->Filter(), "(DateOffSet=3) AND (IsActive=True)");
    EXPECT_EQ(dm->Jobs2Table()->Filter(), "(IsActive=True) AND NOT(Invoiced) AND (IsInterment=True)");
    for (TwsTable* view : {dm->JobsTable(), dm->SpecialDateTable(), dm->Jobs2Table()}) {
        EXPECT_TRUE(view->Filtered());
        EXPECT_TRUE(view->Bof()) << "starts from the first row";
    }
    for (TwsTable* view : {dm->OptionsTable(), dm->JewishTable(), dm->RnRTable()})
        EXPECT_FALSE(view->Filtered());

    // A job without a due date counts as the earliest of all.
    EXPECT_EQ(dm->JobsTable()->RecordCount(), 3);
    EXPECT_EQ(Column(*dm->JobsTable(), "OrderNo"), Names({"JEW-NODATE", "JEW-EARLY", "JEW-LATE"}));
    EXPECT_EQ(dm->SpecialDateTable()->RecordCount(), 3);
    EXPECT_EQ(Column(*dm->SpecialDateTable(), "OrderNo"), Names({"JEW-EARLY", "SPECIAL-A", "SPECIAL-B"}));
    EXPECT_EQ(dm->Jobs2Table()->RecordCount(), 2);
    EXPECT_EQ(Column(*dm->Jobs2Table(), "OrderNo"), Names({"INT-NO", "INT-NEVER"}));

    // Applying them again (the window shown a second time) still restarts each list.
    dm->JobsTable()->Last();
    ApplyBoardFilters();
    EXPECT_EQ(dm->JobsTable()->FieldNamed("OrderNo")->AsString(), "JEW-NODATE");

    // What the office changes shows after a refresh.
    Jobsdb({"update", "OrderHead.DB", "OrderNo=INT-DONE", "Invoiced=False"});
    Jobsdb({"update", "OrderHead.DB", "OrderNo=JEW-LATE", "IsActive=False"});
    dm->JobsTable()->Refresh();
    dm->Jobs2Table()->Refresh();
    EXPECT_EQ(dm->JobsTable()->RecordCount(), 2);
    EXPECT_EQ(Column(*dm->Jobs2Table(), "OrderNo"), Names({"INT-NO", "INT-DONE", "INT-NEVER"}));
}

TEST_F(JobsDMTest, MemorialIsStoneAndPositionOfTheJobsOwnJewishRow) {
    const std::string longStone(78, 'S');
    PutJob("J-FULL", "2026-03-01", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("J-BLANK", "2026-03-02", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("J-NONE", "2026-03-03", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("J-CASE", "2026-03-04", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("J-LONG", "2026-03-05", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("J-TWICE", "2026-03-06", {{"IsActive", "True"}, {"IsJewish", "True"}});
    Put("Jewish.DB", {{"OrderNo", "J-FULL"}, {"Stone", "Black granite"}, {"Position", "Left of path"}});
    Put("Jewish.DB", {{"OrderNo", "J-BLANK"}, {"Rabbi", "Rabbi Cohen"}});
    Put("Jewish.DB", {{"OrderNo", "j-case"}, {"Stone", "Lower case key"}});
    Put("Jewish.DB", {{"OrderNo", "J-CASE-2"}, {"Stone", "Longer key"}});
    Put("Jewish.DB", {{"OrderNo", "J-LONG"}, {"Stone", longStone}, {"Position", "Row 12"}});
    Put("Jewish.DB", {{"OrderNo", "J-TWICE"}, {"Stone", "First"}, {"Position", "row"}});
    Put("Jewish.DB", {{"OrderNo", "J-TWICE"}, {"Stone", "Second"}, {"Position", "row"}});
    TJobsDM* dm = CreateJobsDM(nullptr);
    ApplyBoardFilters();
    EXPECT_EQ(Column(*dm->JobsTable(), "Memorial"),
              Names({"Black granite Left of path", " ", "", "", longStone + " R", "First row"}));
}

TEST_F(JobsDMTest, BottomListTextsComeFromTheRnRRowAndTheJobsGraveLocation) {
    TScopedFormatSettings formats(DefaultFormatSettings());
    const std::map<std::string, std::string> interment{{"IsActive", "True"}, {"IsInterment", "True"}};
    auto job = [&](const std::string& orderNo, const std::string& due, const std::string& location,
                   const std::string& section, const std::string& grave) {
        auto values = interment;
        values["Location"] = location;
        values["Section"] = section;
        values["GraveNo"] = grave;
        PutJob(orderNo, due, values);
    };
    job("I-ALL", "2026-03-01", "Bushey", "B", "12");
    job("I-NOSECTION", "2026-03-02", "Bushey", "", "12");
    job("I-PLACE", "2026-03-03", "Edmonton", "", "");
    job("I-NOPLACE", "2026-03-04", "", "C", "7");
    job("I-NORNR", "2026-03-05", "Rainham", "D", "9");
    const std::string longLocation = "Stone store rack B12";
    Put("RNR.DB", {{"OrderNo", "I-ALL"},
                   {"CurrentLocation", longLocation},
                   {"Name", "Samuel Levy"},
                   {"BurialDate", "2026-03-15"},
                   {"RemoveBefore", "2026-02-01"}});
    Put("RNR.DB", {{"OrderNo", "I-NOSECTION"}, {"CurrentLocation", "Yard"}});
    Put("RNR.DB", {{"OrderNo", "I-PLACE"}});
    Put("RNR.DB", {{"OrderNo", "I-NOPLACE"}});
    TJobsDM* dm = CreateJobsDM(nullptr);
    ApplyBoardFilters();
    TwsTable& view = *dm->Jobs2Table();
    EXPECT_EQ(Column(view, "Cem"), Names({"Bushey S:B G:12", "Bushey G:12", "Edmonton", " S:C G:7", ""}));
    EXPECT_EQ(Column(view, "Site"), Names({"Stone store rac", "Yard", "", "", ""}));
    EXPECT_EQ(Column(view, "CurentLocation"), Names({longLocation, "Yard", "", "", ""}));
    EXPECT_EQ(Column(view, "NameOnStone"), Names({"Samuel Levy", "", "", "", ""}));
    EXPECT_EQ(Column(view, "Burial"), Names({"15/03/2026", "", "", "", ""}));
    EXPECT_EQ(Column(view, "RemoveBefore"), Names({"", "", "", "", ""}));

    // The other views' derived fields have no handler: always empty.
    PutJob("S-1", "2026-03-01", {{"IsActive", "True"}, {"DateOffSet", "3"}, {"Location", "Bushey"}});
    dm->SpecialDateTable()->Refresh();
    dm->RnRTable()->Refresh();
    for (const char* field : {"CurentLocation", "RemoveBefore", "Site", "NameOnStone", "Cem"})
        EXPECT_EQ(Column(*dm->SpecialDateTable(), field), Names({""})) << field;
    EXPECT_EQ(Column(*dm->RnRTable(), "Cem"), Names({"", "", "", ""}));
    EXPECT_EQ(Column(*dm->RnRTable(), "Task"), Names({"", "", "", ""}));
}

TEST_F(JobsDMTest, LoadingFailsWithTheMessageOfWhatIsWrongAndLeavesNothingOpen) {
    const int connections = Session().DatabaseCount();

    // Engine errors: the engine's text first, then the context it gave.
    std::filesystem::remove(m_Dir + "/RNR.DB");
    const std::string missing = CreateError();
    EXPECT_EQ(missing.rfind("Table does not exist", 0), 0u);
    // Every entry of the engine reaches the message, so the person reading it learns which file.
    EXPECT_NE(missing.find("RNR.DB"), std::string::npos) << missing;
    EXPECT_EQ(Session().DatabaseCount(), connections);

    // A table whose IsActive holds dates where the views declare a flag.
    engine::TableSpec rnr = MakeTableSpec(RnrTable());
    std::filesystem::remove(m_Dir + "/OrderHead.DB");
    engine::TableSpec orders = MakeTableSpec(OrderHeadTable());
    for (engine::FieldDesc& field : orders.fields) {
        if (field.name == "IsActive")
            field.type = engine::FieldType::Date;
    }
    engine::hDatabase db = 0;
    ASSERT_EQ(engine::OpenDatabase(m_Dir, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, db),
              engine::esOk);
    ASSERT_EQ(engine::CreateTable(db, rnr), engine::esOk);
    ASSERT_EQ(engine::CreateTable(db, orders), engine::esOk);
    engine::CloseDatabase(db);
    EXPECT_EQ(CreateError(), "Type mismatch for field 'IsActive', expecting: Boolean actual: Date");
    EXPECT_EQ(Session().DatabaseCount(), connections);

    // Without the alias nothing can be reached.
    Session().Close();
    const std::string unknown = CreateError();
    EXPECT_EQ(unknown.rfind("Unknown alias", 0), 0u);
    EXPECT_NE(unknown.find("YardData"), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("configuration looked for in: "), std::string::npos) << unknown;
}

namespace {

// A module with one view and a creation handler, built from a description given here.
class TProbeModule : public TDataModule {
public:
    explicit TProbeModule(TComponent* owner) : TDataModule(owner) {
        PublishMethod<TNotifyEvent>("ModuleCreate", [this](TObject*) {
            auto* view = dynamic_cast<TwsTable*>(FindComponent("Probe"));
            SeenAtCreate = view ? view->Name() + (view->IsLoading() ? " loading" : " loaded") : "nothing";
        });
    }
    std::string_view StoredDescription() const override {
        return "object ProbeDM: TDataModule\n"
               "  OldCreateOrder = False\n"
               "  OnCreate = ModuleCreate\n"
               "  Height = 200\n"
               "  Width = 300\n"
               "  object Probe: TwsTable\n"
               "    TableName = 'Options.DB'\n"
               "  end\n"
               "end\n";
    }
    std::string SeenAtCreate;
};
TProbeModule* ProbeDM = nullptr;

} // namespace

TEST(DataModule, OnCreateRunsOnceEveryComponentHasLoaded) {
    RegisterDataClasses();
    TComponentPtr<TProbeModule> module(CreateRoot(ProbeDM, nullptr));
    EXPECT_EQ(module->SeenAtCreate, "Probe loaded");
    EXPECT_EQ(module->Width, 300);
    EXPECT_EQ(module->Height, 200);
    module.reset();
    ProbeDM = nullptr;
}

TEST_F(JobsDMTest, DerivedTextsOfNonAsciiLettersAreCutByCharacters) {
    const auto repeat = [](const std::string& text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i)
            out += text;
        return out;
    };
    const std::string euro = "\u20AC";
    const std::string shin = "\u05E9";
    PutJob("J-EURO", "2026-03-01", {{"IsActive", "True"}, {"IsJewish", "True"}});
    PutJob("J-SHIN", "2026-03-02", {{"IsActive", "True"}, {"IsJewish", "True"}});
    // Full-size texts: 80 characters of three and of two bytes each.
    Put("Jewish.DB", {{"OrderNo", "J-EURO"}, {"Stone", repeat(euro, 80)}, {"Position", "P"}});
    Put("Jewish.DB", {{"OrderNo", "J-SHIN"}, {"Stone", repeat(shin, 41)}, {"Position", repeat(shin, 39)}});
    PutJob("I-1", "2026-03-03",
           {{"IsActive", "True"}, {"IsInterment", "True"}, {"Location", repeat(shin, 78)}, {"Section", "B"}});
    Put("RNR.DB", {{"OrderNo", "I-1"}, {"CurrentLocation", repeat(shin, 40)}, {"Name", repeat(euro, 80)}});
    const std::string jewishBefore = Jobsdb({"dump", "Jewish.DB"});
    TJobsDM* dm = CreateJobsDM(nullptr);
    ApplyBoardFilters();
    EXPECT_EQ(Column(*dm->JobsTable(), "Memorial"),
              Names({repeat(euro, 80), repeat(shin, 41) + " " + repeat(shin, 38)}));
    EXPECT_EQ(Column(*dm->Jobs2Table(), "Site"), Names({repeat(shin, 15)}));
    EXPECT_EQ(Column(*dm->Jobs2Table(), "CurentLocation"), Names({repeat(shin, 40)}));
    EXPECT_EQ(Column(*dm->Jobs2Table(), "NameOnStone"), Names({repeat(euro, 80)}));
    EXPECT_EQ(Column(*dm->Jobs2Table(), "Cem"), Names({repeat(shin, 78) + " S"}));
    TComponent::Free(JobsDM);
    EXPECT_EQ(Jobsdb({"dump", "Jewish.DB"}), jewishBefore) << "the rewrite changed a row";
}

// The office writes what a person types: quotes, dollars and back-quotes reach the table file and
// the views as they are, not as a shell would read them.
TEST_F(JobsDMTest, TextsWithQuotesAndDollarsReachTheViewsAsTyped) {
    PutJob("J-QUOTE", "2026-03-01", {{"IsActive", "True"}, {"IsJewish", "True"}});
    Put("Jewish.DB", {{"OrderNo", "J-QUOTE"}, {"Stone", "O'Brien's \"grey\""}, {"Position", "Row $1 & `2`"}});
    TJobsDM* dm = CreateJobsDM(nullptr);
    ApplyBoardFilters();
    EXPECT_EQ(Column(*dm->JobsTable(), "Memorial"), Names({"O'Brien's \"grey\" Row $1 & `2`"}));
}
