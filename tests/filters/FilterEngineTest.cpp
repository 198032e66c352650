// Filters end to end: buffers from the builder added to a real table of the engine, the rows and
// counts that come back, and what the admin tool prints.
#include "FilterTestSupport.h"
#include "engine/Engine.h"
#include "engine/FilterEvaluator.h"
#include "jobsdb/FilterCommand.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace ws::test {
namespace {

using namespace ws::engine;

struct Job {
    const char* name;
    std::optional<double> dateOffSet;
    std::optional<bool> isActive;
    std::optional<bool> isJewish;
    std::optional<bool> isInterment;
    std::optional<bool> invoiced;
};

class FilterEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallFilterEvaluator();
        ASSERT_EQ(EngineInit(), esOk);
        char pattern[] = "/tmp/ws-filters-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        ASSERT_EQ(OpenDatabase(m_Dir, OpenMode::ReadWrite, ShareMode::Shared, m_Db), esOk);
        TableSpec tableSpec;
        tableSpec.name = "OrderHead.DB";
        const auto field = [](const char* name, FieldType type, std::uint16_t size = 0) {
            FieldDesc f;
            f.name = name;
            f.type = type;
            f.size = size;
            return f;
        };
        tableSpec.fields = {field("Name", FieldType::ZString, 30), field("DateOffSet", FieldType::Float),
                            field("IsActive", FieldType::Bool),    field("IsJewish", FieldType::Bool),
                            field("IsInterment", FieldType::Bool), field("Invoiced", FieldType::Bool)};
        ASSERT_EQ(CreateTable(m_Db, tableSpec), esOk);
        ASSERT_EQ(OpenTable(m_Db, "OrderHead.DB", "", "", OpenMode::ReadWrite, ShareMode::Shared, m_Cursor),
                  esOk);
        std::vector<FieldDesc> descs;
        ASSERT_EQ(GetFieldDescs(m_Cursor, descs), esOk);
        m_Fields = jobsdb::ExprFieldsFromEngine(descs);
        m_Fields.ViewName = "JobsTable";
        for (const Job& job : Jobs())
            Insert(job);
    }

    void TearDown() override {
        while (EngineStartCount() > 0)
            EngineExit();
        std::error_code ec;
        std::filesystem::remove_all(m_Dir, ec);
    }

    static std::vector<Job> Jobs() {
        return {
            {"Cohen", 0, true, true, false, false},  {"Levi", std::nullopt, true, true, {}, {}},
            {"Smith", 3, true, false, true, {}},     {"Smyth", 3, false, false, true, false},
            {"Jones", 3.5, true, false, true, true}, {"Brown", {}, {}, {}, true, {}},
            {"Taylor", 3, true, {}, true, false},    {"Adler", 2, false, true, false, true},
        };
    }

    void Insert(const Job& job) {
        CursorProps props;
        ASSERT_EQ(GetCursorProps(m_Cursor, props), esOk);
        std::vector<std::uint8_t> record(props.recordSize);
        ASSERT_EQ(InitRecord(m_Cursor, record.data()), esOk);
        const auto put = [&](std::uint16_t no, const Value& v) {
            ASSERT_EQ(PutValue(m_Cursor, no, record.data(), v), esOk);
        };
        put(1, std::string(job.name));
        if (job.dateOffSet)
            put(2, *job.dateOffSet);
        const std::optional<bool> flags[] = {job.isActive, job.isJewish, job.isInterment, job.invoiced};
        for (std::uint16_t i = 0; i < 4; ++i) {
            if (flags[i])
                put(static_cast<std::uint16_t>(3 + i), *flags[i]);
        }
        ASSERT_EQ(InsertRecord(m_Cursor, LockType::None, record.data()), esOk);
    }

    // The names that pass the buffer, and the engine's exact count of them.
    std::pair<std::vector<std::string>, std::uint32_t> Filtered(const std::vector<std::uint8_t>& buffer) {
        hFilter filter = 0;
        EXPECT_EQ(AddFilter(m_Cursor, 0, buffer, filter), esOk);
        EXPECT_EQ(ActivateFilter(m_Cursor, filter), esOk);
        std::vector<std::string> names;
        CursorProps props;
        GetCursorProps(m_Cursor, props);
        std::vector<std::uint8_t> record(props.recordSize);
        SetToBegin(m_Cursor);
        while (GetNextRecord(m_Cursor, LockType::None, record.data()) == esOk) {
            Value name;
            GetValue(m_Cursor, 1, record.data(), name);
            names.push_back(std::get<std::string>(name));
        }
        std::uint32_t count = 0;
        EXPECT_EQ(GetExactRecordCount(m_Cursor, count), esOk);
        EXPECT_EQ(DropFilter(m_Cursor, filter), esOk);
        return {names, count};
    }

    std::pair<std::vector<std::string>, std::uint32_t> Filtered(const std::string& text,
                                                                TFilterExprOptions options = {}) {
        return Filtered(Build(m_Fields, text, options));
    }

    using Names = std::vector<std::string>;
    std::string m_Dir;
    hDatabase m_Db = 0;
    hCursor m_Cursor = 0;
    TExprFields m_Fields;
};

TEST_F(FilterEngineTest, BoardFiltersSelectExactlyTheirJobs) {
    EXPECT_EQ(Filtered("(IsActive=True) AND (isJewish=True)"), std::make_pair(Names{"Cohen", "Levi"}, 2u));
    EXPECT_EQ(Filtered("(DateOffSet=3) AND (IsActive=True)"), std::make_pair(Names{"Smith", "Taylor"}, 2u));
    // Smith's invoiced flag was never set: not invoiced. Brown has no active flag at all.
    EXPECT_EQ(Filtered("(IsActive=True) AND NOT(Invoiced) AND (IsInterment=True)"),
              std::make_pair(Names{"Smith", "Taylor"}, 2u));
}

TEST_F(FilterEngineTest, FiltersThatTheEngineEvaluatesRowByRow) {
    EXPECT_EQ(Filtered("Name = 'Sm*'"), std::make_pair(Names{"Smith", "Smyth"}, 2u));
    EXPECT_EQ(Filtered("Name = 'sm*'", {true, false}), std::make_pair(Names{"Smith", "Smyth"}, 2u));
    EXPECT_EQ(Filtered("Name LIKE '%e%' AND DateOffSet IS NULL"), std::make_pair(Names{"Levi"}, 1u));
    EXPECT_EQ(Filtered("DateOffSet IN (0, 2)"), std::make_pair(Names{"Cohen", "Adler"}, 2u));
    EXPECT_EQ(Filtered("IsActive = NULL OR IsJewish = NULL"), std::make_pair(Names{"Brown", "Taylor"}, 2u));
    EXPECT_EQ(Filtered("DateOffSet > 2 AND DateOffSet <= 3"),
              std::make_pair(Names{"Smith", "Smyth", "Taylor"}, 3u));
}

TEST_F(FilterEngineTest, LookupFilterFindsTheKeyOnly) {
    const TExprField* name = m_Fields.Find("Name");
    EXPECT_EQ(Filtered(TFilterExpr::BuildLookup(m_Fields, {name}, {"Smith"}, false, false)),
              std::make_pair(Names{"Smith"}, 1u));
    EXPECT_EQ(Filtered(TFilterExpr::BuildLookup(m_Fields, {name}, {"smith"}, false, false)),
              std::make_pair(Names{}, 0u));
    EXPECT_EQ(Filtered(TFilterExpr::BuildLookup(m_Fields, {name}, {"Sm"}, false, true)),
              std::make_pair(Names{"Smith", "Smyth"}, 2u));
}

TEST_F(FilterEngineTest, DamagedBufferIsRefusedByAddFilter) {
    std::vector<std::uint8_t> buffer = Build(m_Fields, "IsActive");
    buffer[10] = 0x63;
    hFilter filter = 0;
    EXPECT_EQ(AddFilter(m_Cursor, 0, buffer, filter), esInvalidFilter);
}

TEST_F(FilterEngineTest, FilterCommandReadsTheTablesFields) {
    const auto ok = jobsdb::FilterCommandForTable(m_Dir, "OrderHead.DB", "isactive");
    EXPECT_EQ(ok.exitStatus, 0);
    EXPECT_EQ(ok.output, jobsdb::HexLines(Build(m_Fields, "isactive")));
    const auto unknown = jobsdb::FilterCommandForTable(m_Dir, "OrderHead.DB", "Nowhere = 1");
    EXPECT_EQ(unknown.output, "OrderHead.DB: Field 'Nowhere' not found\n");
    const auto missing = jobsdb::FilterCommandForTable(m_Dir, "Missing.DB", "IsActive");
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.output.rfind(ErrorText(esTableNotFound), 0), 0u) << missing.output;
    // The command leaves the engine as it found it.
    EXPECT_EQ(EngineStartCount(), 1);
}

TEST(FilterCommand, PrintsTheBufferInHexOrTheMessage) {
    const auto ok = jobsdb::FilterCommand(OrderHeadFields(), "(IsActive=True) AND (isJewish=True)");
    EXPECT_EQ(ok.exitStatus, 0);
    EXPECT_EQ(ok.output.substr(0, 48), "02 00 78 00 ff ff 0a 00 62 00 02 00 00 00 0a 00\n");
    EXPECT_EQ(std::count(ok.output.begin(), ok.output.end(), '\n'), 8); // 120 bytes
    EXPECT_EQ(ok.output.substr(ok.output.size() - 24), "65 77 69 73 68 00 01 00\n");
    const auto failed = jobsdb::FilterCommand(OrderHeadFields(), "(IsActive=True");
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_EQ(failed.output, "')' expected but nothing found\n");
}

} // namespace
} // namespace ws::test
