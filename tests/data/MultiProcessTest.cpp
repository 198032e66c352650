#include "DataSetTestSupport.h"
#include "data/DBError.h"
#include "data/LockHolder.h"
#include "jobs/JobSchema.h"
#include "jobs/JobTables.h"
#include "support/Jobsdb.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace ws;
using namespace ws::test;

namespace {

using Names = std::vector<std::string>;

// Runs the admin tool on the test database, as the office program would change it.
class MultiProcessTestFixture : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(engine::CreateTable(m_Db, MakeTableSpec(OptionsTable())), engine::esOk);
        for (const char* band : {"Band 1", "Band 2", "Band 3", "Band 4", "Band 5"})
            Jobsdb({"put", "Options.DB", std::string("OptionName=") + band, "OptionValue=clRed"});
        m_View.reset(new TwsTable(nullptr));
        m_View->SetName("OptionsTable");
        m_View->SetDatabaseName(kAlias);
        m_View->SetTableName("Options.DB");
        m_Source.reset(new TDataSource(nullptr));
        m_Source->SetDataSet(m_View.get());
        m_Link.SetBufferCount(3);
        m_Link.SetDataSource(m_Source.get());
        m_View->Open();
    }

    void TearDown() override {
        m_View.reset();
        DataSetTest::TearDown();
    }

    void Jobsdb(const std::vector<std::string>& args) {
        std::vector<std::string> words = JobsdbDatabase();
        words.insert(words.end(), args.begin(), args.end());
        const ProgramRun run = RunJobsdb(words);
        ASSERT_EQ(run.status, 0) << run.command << "\n" << run.output;
    }

    std::string Current() { return m_View->FieldNamed("OptionName")->AsString(); }

    TComponentPtr<TwsTable> m_View;
    TComponentPtr<TDataSource> m_Source;
    TDataLink m_Link;
};

class MultiProcessTest : public OnEachDriver<MultiProcessTestFixture> {};
ON_BOTH_DRIVERS(MultiProcessTest);

} // namespace

TEST_P(MultiProcessTest, RefreshKeepsTheCurrentRowAndSeesOtherProgramsChanges) {
    m_View->MoveBy(2);
    ASSERT_EQ(Current(), "Band 3");
    Jobsdb({"put", "Options.DB", "OptionName=Band 6", "OptionValue=clBlue"});
    Jobsdb({"update", "Options.DB", "OptionName=Band 3", "OptionValue=clLime"});
    Jobsdb({"update", "Options.DB", "OptionName=Band 2", "OptionName=Band 2b"});
    EXPECT_EQ(m_View->FieldNamed("OptionValue")->AsString(), "clRed") << "nothing changes before the refresh";
    m_View->Refresh();
    EXPECT_EQ(Current(), "Band 3");
    EXPECT_EQ(m_View->FieldNamed("OptionValue")->AsString(), "clLime");
    EXPECT_EQ(m_View->ActiveRecord(), 2) << "keeps its place in the window";
    EXPECT_EQ(WindowNames(*m_View, "OptionName"), Names({"Band 1", "Band 2b", "Band 3"}));
    EXPECT_EQ(m_View->RecordCount(), 6);
}

TEST_P(MultiProcessTest, RefreshMovesOnWhenTheCurrentRowIsDeleted) {
    m_View->MoveBy(2);
    Jobsdb({"delete", "Options.DB", "OptionName=Band 3"});
    m_View->Refresh();
    EXPECT_EQ(Current(), "Band 4") << "the following row";
    m_View->Last();
    Jobsdb({"delete", "Options.DB", "OptionName=Band 5"});
    m_View->Refresh();
    EXPECT_EQ(Current(), "Band 4") << "the preceding row at the end";
    for (const char* band : {"Band 1", "Band 2", "Band 4"})
        Jobsdb({"delete", "Options.DB", std::string("OptionName=") + band});
    m_View->Refresh();
    EXPECT_TRUE(m_View->IsEmpty());
    EXPECT_TRUE(m_View->Eof());
    EXPECT_EQ(Current(), "");
}

TEST_P(MultiProcessTest, ARowLockedElsewhereMakesEditFailAndStayInBrowse) {
    LockHolder holder(JobsdbDatabase(), "Options.DB", "OptionName", "Band 2");
    ASSERT_TRUE(holder.Locked());
    ASSERT_TRUE(m_View->Locate("OptionName", "Band 2"));
    try {
        m_View->Edit();
        FAIL() << "the lock of the other process was ignored";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), engine::esRecordLocked);
        EXPECT_EQ(std::string(e.what()).rfind("Record locked by another user", 0), 0u) << e.what();
    }
    EXPECT_EQ(m_View->State(), dsBrowse);
    EXPECT_EQ(Current(), "Band 2");
    // Other rows can still be edited, and the row itself once the other program lets go.
    m_View->Next();
    m_View->Edit();
    m_View->Post();
    holder.Release();
    m_View->Prior();
    m_View->Edit();
    m_View->Post();
}

TEST(JobsdbTool, DemoDumpAndLocatePrintWhatTheViewsRead) {
    char pattern[] = "/tmp/ws-jobsdb-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const auto run = [&dir](std::vector<std::string> words, int& status) {
        words.insert(words.begin(), {"--dir", dir});
        const ProgramRun ran = RunJobsdb(words);
        status = ran.status;
        return ran.output;
    };
    int status = 0;
    run({"demo", "--today", "2026-03-15"}, status);
    ASSERT_EQ(status, 0);
    const std::string options = run({"dump", "Options.DB"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(options.rfind("OptionName\tOptionValue\nBand 1\tclRed\n", 0), 0u) << options;
    EXPECT_NE(options.find("Band 5\tclGreen\n"), std::string::npos);
    EXPECT_NE(options.find("\nRecordCount: 6\n"), std::string::npos);

    const std::string orders = run({"dump", "OrderHead.DB", "--index", "iDueDateA"}, status);
    EXPECT_EQ(orders.rfind("Index\tOrderNo\tClientID\tName\tAddress\t", 0), 0u);
    EXPECT_NE(orders.find("\nRecordCount: 90\n"), std::string::npos);

    EXPECT_EQ(run({"locate", "Options.DB", "OptionName", "Band 2"}, status), "Band 2\tclMaroon\n");
    EXPECT_EQ(run({"locate", "Options.DB", "OptionName", "band 2"}, status), "not found\n");
    // Run again, init keeps the tables that exist, rows and all.
    run({"init"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run({"dump", "Options.DB"}, status), options);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
