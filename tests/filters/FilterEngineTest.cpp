// Filters end to end: buffers from the builder added to a real table of the engine, the rows and
// counts that come back.
#include "FilterTestSupport.h"
#include "engine/Engine.h"
#include "support/TempDirectory.h"

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
        ASSERT_EQ(EngineInit(), esOk);
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
        m_Fields = TExprFields::FromEngine(descs, "JobsTable");
        for (const Job& job : Jobs())
            Insert(job);
    }

    void TearDown() override {
        while (EngineStartCount() > 0)
            EngineExit();
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
    TempDirectory m_Temp{"ws-filters"};
    const std::string m_Dir = m_Temp.Path();
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

// The fields a view declares over the engine's descriptions: the field type of each engine type and
// subtype, and back the engine's type that holds it, for the tables the program creates.
TEST(ExprFieldsFromEngine, FieldTypesFollowTheEnginesTypesAndSubtypes) {
    struct Case {
        FieldType type;
        FieldSubtype subtype;
        std::uint16_t size;
        std::uint16_t length;
        TFieldType expected;
    };
    const Case cases[] = {
        {FieldType::ZString, FieldSubtype::None, 20, 81, ftString},
        {FieldType::ZString, FieldSubtype::None, 0, 1, ftUnknown},
        {FieldType::Date, FieldSubtype::None, 0, 4, ftDate},
        {FieldType::Bool, FieldSubtype::None, 0, 2, ftBoolean},
        {FieldType::Int16, FieldSubtype::None, 0, 2, ftSmallint},
        {FieldType::Int16, FieldSubtype::None, 0, 4, ftUnknown},
        {FieldType::Int32, FieldSubtype::None, 0, 4, ftInteger},
        {FieldType::Int32, FieldSubtype::AutoInc, 0, 4, ftAutoInc},
        {FieldType::Int32, FieldSubtype::Money, 0, 4, ftInteger},
        {FieldType::Float, FieldSubtype::None, 0, 8, ftFloat},
        {FieldType::Float, FieldSubtype::Money, 0, 8, ftCurrency},
        {FieldType::Blob, FieldSubtype::None, 0, 8, ftBlob},
        {FieldType::Blob, FieldSubtype::Memo, 240, 8, ftMemo},
        {FieldType::Unknown, FieldSubtype::None, 0, 0, ftUnknown},
    };
    for (const Case& c : cases) {
        FieldDesc desc;
        desc.number = 3;
        desc.name = "F";
        desc.type = c.type;
        desc.subtype = c.subtype;
        desc.size = c.size;
        desc.length = c.length;
        const TExprFields fields = TExprFields::FromEngine({desc}, "V");
        ASSERT_EQ(fields.Fields.size(), 1u);
        const TExprField& field = fields.Fields[0];
        EXPECT_EQ(field.DataType, c.expected)
            << static_cast<int>(c.type) << "/" << static_cast<int>(c.subtype);
        EXPECT_EQ(field.FieldNo, 3);
        EXPECT_EQ(field.Size, c.size);
        if (c.expected == ftUnknown)
            continue;
        FieldDesc back = desc;
        SetEngineFieldType(c.expected, back);
        EXPECT_EQ(back.type, c.type) << FieldTypeName(c.expected);
        EXPECT_EQ(FieldTypeOf(back), c.expected) << FieldTypeName(c.expected);
    }
    FieldDesc none;
    SetEngineFieldType(ftWord, none);
    EXPECT_EQ(none.type, FieldType::Unknown);
}

} // namespace
} // namespace ws::test
