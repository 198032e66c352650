#include "EngineTestSupport.h"
#include "engine/ExpressionEvaluator.h"

#include <sqlite3.h>

namespace ws::engine::test {

class CursorTest : public EngineTest {
protected:
    // Due days deliberately out of insertion order, with ties and a blank date.
    void AddStandardJobs(hDBICur cursor) {
        AddJob(cursor, "Carter", 738010);
        AddJob(cursor, "Adams", 738005);
        AddJob(cursor, "Baker", 738010);
        AddJob(cursor, "Nodate", 0);
        AddJob(cursor, "Evans", 738001, false);
        AddJob(cursor, "Davis", 738010);
    }
};

TEST_F(CursorTest, EveryTypeRoundTripsIncludingBlanksAndMemos) {
    const hDBICur cursor = Open();
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fOrderNo, record.data(), std::string("ORD-0000001")), dbiOk);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("O'Brien \"Stone\"")), dbiOk);
    const std::string address(5000, 'x');
    ASSERT_EQ(PutValue(cursor, fAddress, record.data(), address + "\nline two"), dbiOk);
    ASSERT_EQ(PutValue(cursor, fDueDate, record.data(), DayNumber{739000}), dbiOk);
    ASSERT_EQ(PutValue(cursor, fDateOffSet, record.data(), 3.0), dbiOk);
    ASSERT_EQ(PutValue(cursor, fTotal, record.data(), 1234.56), dbiOk);
    ASSERT_EQ(PutValue(cursor, fIsActive, record.data(), false), dbiOk);
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), -7), dbiOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), dbiOk);
    auto blank = NewRecord(cursor);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, blank.data()), dbiOk);

    const hDBICur reader = Open();
    auto row = NewRecord(reader);
    ASSERT_EQ(GetNextRecord(reader, LockType::None, row.data()), dbiOk);
    const std::vector<std::pair<std::uint16_t, Value>> expected = {
        {fIndex, 1},
        {fOrderNo, std::string("ORD-0000001")},
        {fName, std::string("O'Brien \"Stone\"")},
        {fAddress, address + "\nline two"},
        {fDueDate, DayNumber{739000}},
        {fDateOffSet, 3.0},
        {fTotal, 1234.56},
        {fIsActive, false},
        {fPriority, -7},
    };
    for (const auto& [field, value] : expected) {
        Value got;
        ASSERT_EQ(GetValue(reader, field, row.data(), got), dbiOk);
        EXPECT_EQ(got, value) << "field " << field;
    }
    ASSERT_EQ(GetNextRecord(reader, LockType::None, row.data()), dbiOk);
    for (std::uint16_t field = fOrderNo; field <= fPriority; ++field) {
        Value got;
        ASSERT_EQ(GetValue(reader, field, row.data(), got), dbiOk);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(got)) << "field " << field;
        bool isBlank = false;
        ASSERT_EQ(GetField(reader, field, row.data(), nullptr, isBlank), dbiOk);
        EXPECT_TRUE(isBlank);
    }
    Value index;
    ASSERT_EQ(GetValue(reader, fIndex, row.data(), index), dbiOk);
    EXPECT_EQ(index, Value{2}); // assigned, never blank
}

TEST_F(CursorTest, RawFieldBytesFollowTheFieldDescriptions) {
    const hDBICur cursor = Open();
    auto record = NewRecord(cursor);
    const std::int32_t day = 693594 + 45000;
    ASSERT_EQ(PutField(cursor, fDueDate, record.data(), &day), dbiOk);
    const std::int16_t yes = 1;
    ASSERT_EQ(PutField(cursor, fIsActive, record.data(), &yes), dbiOk);
    ASSERT_EQ(PutField(cursor, fName, record.data(), "Exactly twenty chars"), dbiOk);
    EXPECT_EQ(PutField(cursor, fName, record.data(), "Twenty-one characters"), dbiValueTooLong);
    ASSERT_EQ(PutField(cursor, fAddress, record.data(), "memo through PutField"), dbiOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), dbiOk);
    char name[21] = {};
    bool isBlank = true;
    ASSERT_EQ(GetField(cursor, fName, record.data(), name, isBlank), dbiOk);
    EXPECT_FALSE(isBlank);
    EXPECT_STREQ(name, "Exactly twenty chars");
    std::int32_t readDay = 0;
    ASSERT_EQ(GetField(cursor, fDueDate, record.data(), &readDay, isBlank), dbiOk);
    EXPECT_EQ(readDay, day);
    std::string memo;
    ASSERT_EQ(ReadMemo(cursor, fAddress, record.data(), memo, isBlank), dbiOk);
    EXPECT_EQ(memo, "memo through PutField");
}

TEST_F(CursorTest, RowsComeInIndexOrderWithRowIdBreakingTies) {
    const hDBICur writer = Open();
    AddStandardJobs(writer);
    EXPECT_EQ(ReadNames(writer), (Names{"Carter", "Adams", "Baker", "Nodate", "Evans", "Davis"}));
    const hDBICur byDate = Open("iDueDateA");
    EXPECT_EQ(ReadNames(byDate), (Names{"Nodate", "Evans", "Adams", "Carter", "Baker", "Davis"}));
    // Prior from the end gives exactly the reverse.
    ASSERT_EQ(SetToEnd(byDate), dbiOk);
    auto record = NewRecord(byDate);
    Names backwards;
    DBIResult status;
    while ((status = GetPriorRecord(byDate, LockType::None, record.data())) == dbiOk)
        backwards.push_back(NameOf(byDate, record));
    EXPECT_EQ(status, dbiBOF);
    EXPECT_EQ(backwards, (Names{"Davis", "Baker", "Carter", "Adams", "Evans", "Nodate"}));
    // Turning round in the middle of a tie.
    ASSERT_TRUE(Seek(byDate, "Baker", record));
    ASSERT_EQ(SwitchToIndex(byDate, "iDueDateA"), dbiOk);
    ASSERT_EQ(GetPriorRecord(byDate, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(byDate, record), "Carter");
    ASSERT_EQ(GetNextRecord(byDate, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(byDate, record), "Baker");
}

TEST_F(CursorTest, CaseInsensitiveIndexOrdersWithoutRegardToCase) {
    const hDBICur cursor = Open();
    AddJob(cursor, "beta", 1);
    AddJob(cursor, "Alpha", 1);
    AddJob(cursor, "alpha", 1);
    AddJob(cursor, "Gamma", 1);
    EXPECT_EQ(ReadNames(Open("iName")), (Names{"Alpha", "Gamma", "alpha", "beta"}));
    EXPECT_EQ(ReadNames(Open("iNameCI")), (Names{"Alpha", "alpha", "beta", "Gamma"}));
}

TEST_F(CursorTest, EndsAnswerBeginningAndEndStatuses) {
    const hDBICur cursor = Open("iDueDateA");
    auto record = NewRecord(cursor);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiEOF);
    EXPECT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), dbiBOF);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiBOF);
    AddJob(cursor, "Only", 738000);
    ASSERT_EQ(SetToBegin(cursor), dbiOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiBOF);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiEOF);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiEOF);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiEOF);
    ASSERT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Only");
    EXPECT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), dbiBOF);
}

TEST_F(CursorTest, BookmarksSurviveRereadsAndFallBackToNeighbours) {
    const hDBICur cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), dbiOk);
    std::vector<std::uint8_t> carter(props.bookmarkSize);
    std::vector<std::uint8_t> davis(props.bookmarkSize);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Carter", record));
    ASSERT_EQ(GetBookMark(cursor, carter.data()), dbiOk);
    ASSERT_TRUE(Seek(cursor, "Davis", record));
    ASSERT_EQ(GetBookMark(cursor, davis.data()), dbiOk);
    int order = 0;
    ASSERT_EQ(CompareBookMarks(cursor, carter.data(), davis.data(), order), dbiOk);
    EXPECT_LT(order, 0);
    ASSERT_EQ(CompareBookMarks(cursor, davis.data(), davis.data(), order), dbiOk);
    EXPECT_EQ(order, 0);

    ASSERT_EQ(ForceReread(cursor), dbiOk);
    ASSERT_EQ(SetToBookMark(cursor, carter.data()), dbiOk);
    ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Carter");

    // Delete Carter through another cursor: the bookmark now finds the gap it left.
    const hDBICur other = Open();
    ASSERT_TRUE(Seek(other, "Carter", record));
    ASSERT_EQ(DeleteRecord(other), dbiOk);
    ASSERT_EQ(ForceReread(cursor), dbiOk);
    EXPECT_EQ(SetToBookMark(cursor, carter.data()), dbiNeighbourPositioned);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiRecordDeleted);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Baker");
    EXPECT_EQ(SetToBookMark(cursor, carter.data()), dbiNeighbourPositioned);
    ASSERT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Adams");
}

TEST_F(CursorTest, BookmarksOfNarrowKeysKeepToTheirSize) {
    // The only index is on a date: the bookmark holds exactly its four bytes of key.
    TableSpec spec = JobsSpec();
    spec.name = "Dated";
    spec.indexes = {{"iDueDateA", {fDueDate}, false, false, 0}, {"iActive", {fIsActive}, false, false, 0}};
    ASSERT_EQ(CreateTable(m_Db, spec), dbiOk);
    hDBICur cursor = 0;
    ASSERT_EQ(OpenTable(m_Db, "Dated", "", "iDueDateA", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              dbiOk);
    AddJob(cursor, "Adams", 738001, true);
    AddJob(cursor, "Baker", 738002, false);
    AddJob(cursor, "Carter", 738003, true);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), dbiOk);
    EXPECT_EQ(props.bookmarkSize, 11 + 5);
    for (const char* index : {"iDueDateA", "iActive"}) {
        SCOPED_TRACE(index);
        ASSERT_EQ(SwitchToIndex(cursor, index), dbiOk);
        auto record = NewRecord(cursor);
        ASSERT_TRUE(Seek(cursor, "Baker", record));
        std::vector<std::uint8_t> bookmark(props.bookmarkSize);
        ASSERT_EQ(GetBookMark(cursor, bookmark.data()), dbiOk);
        ASSERT_EQ(DeleteRecord(cursor), dbiOk);
        ASSERT_EQ(SetToBegin(cursor), dbiOk);
        EXPECT_EQ(SetToBookMark(cursor, bookmark.data()), dbiNeighbourPositioned);
        // By date Baker sat between Adams and Carter; by flag it was the only inactive row.
        ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
        EXPECT_EQ(NameOf(cursor, record), std::string(index) == "iActive" ? "Adams" : "Carter");
        AddJob(cursor, "Baker", 738002, false);
    }
}

TEST_F(CursorTest, CurrentRowFailsOnceDeletedOrFilteredOut) {
    const hDBICur cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    ASSERT_EQ(DeleteRecord(cursor), dbiOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiRecordDeleted);
    EXPECT_EQ(DeleteRecord(cursor), dbiNoCurrentRecord);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Carter");

    hDBIFilter filter = 0;
    ASSERT_EQ(AddFilterCallback(
                  cursor, 1,
                  [](const RecordBuffer& row) {
                      Value name;
                      return row.Get(fName, name) == dbiOk && std::get<std::string>(name) != "Carter";
                  },
                  filter),
              dbiOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiOk); // added inactive
    ASSERT_EQ(ActivateFilter(cursor, filter), dbiOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiRecordDeleted);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Baker");
}

TEST_F(CursorTest, FiltersCombineByPriorityAndCountExactly) {
    const hDBICur cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    std::vector<int> calls;
    hDBIFilter active = 0;
    hDBIFilter dated = 0;
    ASSERT_EQ(AddFilterCallback(
                  cursor, 5,
                  [&](const RecordBuffer& row) {
                      calls.push_back(5);
                      Value v;
                      row.Get(fIsActive, v);
                      return v == Value{true};
                  },
                  active),
              dbiOk);
    ASSERT_EQ(AddFilterCallback(
                  cursor, 0,
                  [&](const RecordBuffer& row) {
                      calls.push_back(0);
                      bool blank = true;
                      GetField(row.CursorHandle(), fDueDate, row.Data(), nullptr, blank);
                      return !blank;
                  },
                  dated),
              dbiOk);
    std::uint32_t count = 0;
    ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(count, 6u);
    ASSERT_EQ(ActivateFilter(cursor, active), dbiOk);
    ASSERT_EQ(ActivateFilter(cursor, dated), dbiOk);
    calls.clear();
    ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(count, 4u);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), 0); // lower priority first
    EXPECT_EQ(ReadNames(cursor), (Names{"Adams", "Carter", "Baker", "Davis"}));
    ASSERT_EQ(GetRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(count, 6u);
    ASSERT_EQ(DeactivateFilter(cursor, dated), dbiOk);
    ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(count, 5u);
    ASSERT_EQ(DropFilter(cursor, active), dbiOk);
    EXPECT_EQ(DropFilter(cursor, active), dbiUnknownFilter);
    EXPECT_EQ(ActivateFilter(cursor, 999), dbiUnknownFilter);
    ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(count, 6u);
}

TEST_F(CursorTest, CountingLeavesThePositionAlone) {
    const hDBICur cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Carter", record));
    std::uint32_t count = 0;
    ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Baker");
}

class TestEvaluator : public ExpressionEvaluator {
public:
    class IsActiveFilter : public CompiledFilter {
    public:
        explicit IsActiveFilter(bool pushDown) : m_PushDown(pushDown) {}
        bool Matches(const RecordBuffer& row) const override {
            Value v;
            row.Get(fIsActive, v);
            return v == Value{true};
        }
        std::optional<SqlCondition> PushDown() const override {
            if (!m_PushDown)
                return std::nullopt;
            return SqlCondition{"\"IsActive\" = ?", {std::int64_t{1}}};
        }
        bool m_PushDown;
    };
    DBIResult Compile(std::span<const std::uint8_t> buffer, const std::vector<FieldDesc>&,
                      std::unique_ptr<CompiledFilter>& compiled) override {
        if (buffer.size() != 1)
            return dbiInvalidFilter;
        compiled = std::make_unique<IsActiveFilter>(buffer[0] == 1);
        return dbiOk;
    }
};

TEST_F(CursorTest, ExpressionFiltersNeedAnEvaluatorAndMayRunInSql) {
    const hDBICur cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    const std::vector<std::uint8_t> pushed = {1};
    const std::vector<std::uint8_t> inMemory = {0};
    hDBIFilter filter = 0;
    const std::shared_ptr<ExpressionEvaluator> standard = GetExpressionEvaluator();
    ASSERT_NE(standard, nullptr);
    SetExpressionEvaluator(nullptr);
    EXPECT_EQ(AddFilter(cursor, 0, pushed, filter), dbiFilterNotSupported);
    SetExpressionEvaluator(std::make_shared<TestEvaluator>());
    EXPECT_EQ(AddFilter(cursor, 0, std::vector<std::uint8_t>{1, 2}, filter), dbiInvalidFilter);
    for (const auto* buffer : {&pushed, &inMemory}) {
        ASSERT_EQ(AddFilter(cursor, 0, *buffer, filter), dbiOk);
        ASSERT_EQ(ActivateFilter(cursor, filter), dbiOk);
        std::uint32_t count = 0;
        ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
        EXPECT_EQ(count, 5u);
        EXPECT_EQ(ReadNames(cursor), (Names{"Nodate", "Adams", "Carter", "Baker", "Davis"}));
        // Repeated counts within one snapshot follow this cursor's own writes and filter changes.
        AddJob(cursor, "Fisher", 738003);
        ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
        EXPECT_EQ(count, 6u);
        ASSERT_EQ(DeactivateFilter(cursor, filter), dbiOk);
        ASSERT_EQ(GetExactRecordCount(cursor, count), dbiOk);
        EXPECT_EQ(count, 7u);
        auto record = NewRecord(cursor);
        ASSERT_TRUE(Seek(cursor, "Fisher", record));
        ASSERT_EQ(DeleteRecord(cursor), dbiOk);
        ASSERT_EQ(DropFilter(cursor, filter), dbiOk);
    }
    SetExpressionEvaluator(standard);
}

TEST_F(CursorTest, KeyedReadFindsFirstMatchAndPrefixes) {
    const hDBICur cursor = Open("iOrderName");
    AddJob(cursor, "Smith", 1, true, "A1");
    AddJob(cursor, "Smithers", 2, true, "A1");
    AddJob(cursor, "Jones", 3, true, "A1");
    AddJob(cursor, "Smith", 4, true, "B2");
    auto key = NewRecord(cursor);
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fOrderNo, key.data(), std::string("A1")), dbiOk);
    ASSERT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Jones");
    ASSERT_EQ(PutValue(cursor, fName, key.data(), std::string("Smith")), dbiOk);
    ASSERT_EQ(GetRecordForKey(cursor, 2, 0, key.data(), record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Smith");
    Value due;
    GetValue(cursor, fDueDate, record.data(), due);
    EXPECT_EQ(due, Value{DayNumber{1}});
    // The cursor now sits on the found row.
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Smithers");

    ASSERT_EQ(PutValue(cursor, fName, key.data(), std::string("Smithe")), dbiOk);
    EXPECT_EQ(GetRecordForKey(cursor, 2, 0, key.data(), record.data()), dbiRecordNotFound);
    ASSERT_EQ(GetRecordForKey(cursor, 2, 6, key.data(), record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Smithers");
    ASSERT_EQ(PutValue(cursor, fName, key.data(), std::string("smith")), dbiOk);
    EXPECT_EQ(GetRecordForKey(cursor, 2, 3, key.data(), record.data()), dbiRecordNotFound); // case counts
    EXPECT_EQ(GetRecordForKey(cursor, 3, 0, key.data(), record.data()), dbiInvalidParameter);

    ASSERT_EQ(SwitchToIndex(cursor, "iNameCI"), dbiOk);
    ASSERT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record), "Smith");
    ASSERT_EQ(SwitchToIndex(cursor, ""), dbiOk);
    EXPECT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), dbiUnknownIndex);
}

TEST_F(CursorTest, SetToCursorAndClonesFollowTheSameRow) {
    const hDBICur cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    ASSERT_EQ(SwitchToIndex(cursor, "iDueDateA"), dbiOk);
    hDBICur clone = 0;
    ASSERT_EQ(CloneCursor(cursor, true, clone), dbiOk);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(clone, props), dbiOk);
    EXPECT_FALSE(props.canModify);
    EXPECT_EQ(props.indexName, "iDueDateA");
    ASSERT_EQ(GetNextRecord(clone, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(clone, record), "Carter");
    const hDBICur byName = Open("iName");
    ASSERT_EQ(SetToCursor(byName, clone), dbiOk);
    ASSERT_EQ(GetNextRecord(byName, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(byName, record), "Davis");
}

TEST_F(CursorTest, ModifyWritesBackAndKeepsTextsItCouldNotHold) {
    const hDBICur cursor = Open("iDueDateA");
    AddJob(cursor, "Adams", 738000);
    // Another program stored a name longer than the field: we must never write it back cut short.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(TablePath().c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE records SET Name = 'A name far longer than twenty characters'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    ASSERT_EQ(ForceReread(cursor), dbiOk);
    auto record = NewRecord(cursor);
    ASSERT_EQ(SetToBegin(cursor), dbiOk);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    ASSERT_EQ(GetRecord(cursor, LockType::Write, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record).size(), 20u);
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), 3), dbiOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), dbiOk);
    ASSERT_EQ(ForceReread(cursor), dbiOk);
    ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), dbiOk);
    Value priority;
    GetValue(cursor, fPriority, record.data(), priority);
    EXPECT_EQ(priority, Value{3});
    ASSERT_EQ(sqlite3_open(TablePath().c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "SELECT Name FROM records", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                 "A name far longer than twenty characters");
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    // Moving the key moves the row within the order.
    AddJob(cursor, "Baker", 738005);
    ASSERT_TRUE(Seek(cursor, "Baker", record));
    ASSERT_EQ(PutValue(cursor, fDueDate, record.data(), DayNumber{737000}), dbiOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), dbiOk);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
    EXPECT_EQ(NameOf(cursor, record).substr(0, 6), "A name");
}

TEST_F(CursorTest, LocksWithinOneProcessSeparateCursors) {
    const hDBICur first = Open();
    AddJob(first, "Adams", 738000);
    const hDBICur second = Open();
    auto a = NewRecord(first);
    auto b = NewRecord(second);
    ASSERT_EQ(SetToBegin(first), dbiOk);
    ASSERT_EQ(GetNextRecord(first, LockType::Write, a.data()), dbiOk);
    ASSERT_EQ(GetNextRecord(second, LockType::None, b.data()), dbiOk);
    EXPECT_EQ(GetRecord(second, LockType::Write, b.data()), dbiRecordLocked);
    EXPECT_EQ(ModifyRecord(second, b.data(), true), dbiRecordLocked);
    EXPECT_EQ(DeleteRecord(second), dbiRecordLocked);
    EXPECT_EQ(RelRecordLock(second, false), dbiNotLocked);
    auto other = NewRecord(second);
    AddJob(second, "Baker", 738001);
    ASSERT_EQ(GetRecord(second, LockType::None, other.data()), dbiOk);
    ASSERT_EQ(SetToBegin(second), dbiOk);
    ASSERT_EQ(GetNextRecord(second, LockType::None, b.data()), dbiOk);
    EXPECT_EQ(ModifyRecord(second, other.data(), true), dbiInvalidParameter); // Baker's image over Adams

    ASSERT_EQ(ModifyRecord(first, a.data(), true), dbiOk); // frees the lock
    EXPECT_EQ(GetRecord(second, LockType::Write, b.data()), dbiOk);
    EXPECT_EQ(RelRecordLock(second, false), dbiOk);
    ASSERT_EQ(GetRecord(first, LockType::Write, a.data()), dbiOk);
    ASSERT_EQ(CloseCursor(first), dbiOk); // closing frees its locks
    EXPECT_EQ(GetRecord(second, LockType::Write, b.data()), dbiOk);
}

TEST_F(CursorTest, InsertCopiesMemosOfACopiedRowAndDeleteOnlyOnce) {
    const hDBICur cursor = Open();
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Source")), dbiOk);
    ASSERT_EQ(PutValue(cursor, fAddress, record.data(), std::string("1 High St")), dbiOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), dbiOk);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Copy")), dbiOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), dbiOk);
    ASSERT_TRUE(Seek(cursor, "Copy", record));
    Value address;
    ASSERT_EQ(GetValue(cursor, fAddress, record.data(), address), dbiOk);
    EXPECT_EQ(address, Value{std::string("1 High St")});
    ASSERT_EQ(PutValue(cursor, fAddress, record.data(), Value{}), dbiOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), dbiOk);
    ASSERT_TRUE(Seek(cursor, "Copy", record));
    ASSERT_EQ(GetValue(cursor, fAddress, record.data(), address), dbiOk);
    EXPECT_EQ(address, Value{});
    const hDBICur other = Open();
    auto stale = NewRecord(other);
    ASSERT_TRUE(Seek(other, "Copy", stale));
    ASSERT_EQ(DeleteRecord(cursor), dbiOk);
    EXPECT_EQ(ModifyRecord(other, stale.data(), true), dbiRecordDeleted);
    EXPECT_EQ(ReadNames(cursor), (Names{"Source"}));
}

} // namespace ws::engine::test
