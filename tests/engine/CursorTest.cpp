#include "ActiveFilterEvaluator.h"
#include "EngineTestSupport.h"
#include "engine/ExpressionEvaluator.h"

#include <sqlite3.h>

namespace ws::engine::test {

class CursorFixture : public EngineTest {
protected:
    // Due days deliberately out of insertion order, with ties and a blank date.
    void AddStandardJobs(hCursor cursor) {
        AddJob(cursor, "Carter", 738010);
        AddJob(cursor, "Adams", 738005);
        AddJob(cursor, "Baker", 738010);
        AddJob(cursor, "Nodate", 0);
        AddJob(cursor, "Evans", 738001, false);
        AddJob(cursor, "Davis", 738010);
    }
};

// What every driver does the same.
class CursorTest : public OnEachDriver<CursorFixture> {};
ON_BOTH_DRIVERS(CursorTest);

// What the desktop driver does with table files other programs write.
class CursorFileTest : public CursorFixture {};

TEST_P(CursorTest, EveryTypeRoundTripsIncludingBlanksAndMemos) {
    const hCursor cursor = Open();
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fOrderNo, record.data(), std::string("ORD-0000001")), esOk);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("O'Brien \"Stone\"")), esOk);
    const std::string address(5000, 'x');
    ASSERT_EQ(PutValue(cursor, fAddress, record.data(), address + "\nline two"), esOk);
    ASSERT_EQ(PutValue(cursor, fDueDate, record.data(), DayNumber{739000}), esOk);
    ASSERT_EQ(PutValue(cursor, fDateOffSet, record.data(), 3.0), esOk);
    ASSERT_EQ(PutValue(cursor, fTotal, record.data(), 1234.56), esOk);
    ASSERT_EQ(PutValue(cursor, fIsActive, record.data(), false), esOk);
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), -7), esOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
    auto blank = NewRecord(cursor);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, blank.data()), esOk);

    const hCursor reader = Open();
    auto row = NewRecord(reader);
    ASSERT_EQ(GetNextRecord(reader, LockType::None, row.data()), esOk);
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
        ASSERT_EQ(GetValue(reader, field, row.data(), got), esOk);
        EXPECT_EQ(got, value) << "field " << field;
    }
    ASSERT_EQ(GetNextRecord(reader, LockType::None, row.data()), esOk);
    for (std::uint16_t field = fOrderNo; field <= fPriority; ++field) {
        Value got;
        ASSERT_EQ(GetValue(reader, field, row.data(), got), esOk);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(got)) << "field " << field;
        bool isBlank = false;
        ASSERT_EQ(GetField(reader, field, row.data(), nullptr, isBlank), esOk);
        EXPECT_TRUE(isBlank);
    }
    Value index;
    ASSERT_EQ(GetValue(reader, fIndex, row.data(), index), esOk);
    EXPECT_EQ(index, Value{2}); // assigned, never blank
}

TEST_P(CursorTest, RawFieldBytesFollowTheFieldDescriptions) {
    const hCursor cursor = Open();
    auto record = NewRecord(cursor);
    const std::int32_t day = 693594 + 45000;
    ASSERT_EQ(PutField(cursor, fDueDate, record.data(), &day), esOk);
    const std::int16_t yes = 1;
    ASSERT_EQ(PutField(cursor, fIsActive, record.data(), &yes), esOk);
    ASSERT_EQ(PutField(cursor, fName, record.data(), "Exactly twenty chars"), esOk);
    EXPECT_EQ(PutField(cursor, fName, record.data(), "Twenty-one characters"), esValueTooLong);
    ASSERT_EQ(PutField(cursor, fAddress, record.data(), "memo through PutField"), esOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
    char name[4 * 20 + 1] = {}; // up to four bytes a character and a zero
    bool isBlank = true;
    ASSERT_EQ(GetField(cursor, fName, record.data(), name, isBlank), esOk);
    EXPECT_FALSE(isBlank);
    EXPECT_STREQ(name, "Exactly twenty chars");
    std::int32_t readDay = 0;
    ASSERT_EQ(GetField(cursor, fDueDate, record.data(), &readDay, isBlank), esOk);
    EXPECT_EQ(readDay, day);
    std::string memo;
    ASSERT_EQ(ReadMemo(cursor, fAddress, record.data(), memo, isBlank), esOk);
    EXPECT_EQ(memo, "memo through PutField");
}

TEST_P(CursorTest, RowsComeInIndexOrderWithRowIdBreakingTies) {
    const hCursor writer = Open();
    AddStandardJobs(writer);
    EXPECT_EQ(ReadNames(writer), (Names{"Carter", "Adams", "Baker", "Nodate", "Evans", "Davis"}));
    const hCursor byDate = Open("iDueDateA");
    EXPECT_EQ(ReadNames(byDate), (Names{"Nodate", "Evans", "Adams", "Carter", "Baker", "Davis"}));
    // Prior from the end gives exactly the reverse.
    ASSERT_EQ(SetToEnd(byDate), esOk);
    auto record = NewRecord(byDate);
    Names backwards;
    EngineStatus status;
    while ((status = GetPriorRecord(byDate, LockType::None, record.data())) == esOk)
        backwards.push_back(NameOf(byDate, record));
    EXPECT_EQ(status, esBOF);
    EXPECT_EQ(backwards, (Names{"Davis", "Baker", "Carter", "Adams", "Evans", "Nodate"}));
    // Turning round in the middle of a tie.
    ASSERT_TRUE(Seek(byDate, "Baker", record));
    ASSERT_EQ(SwitchToIndex(byDate, "iDueDateA"), esOk);
    ASSERT_EQ(GetPriorRecord(byDate, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(byDate, record), "Carter");
    ASSERT_EQ(GetNextRecord(byDate, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(byDate, record), "Baker");
}

TEST_P(CursorTest, CaseInsensitiveIndexOrdersWithoutRegardToCase) {
    const hCursor cursor = Open();
    AddJob(cursor, "beta", 1);
    AddJob(cursor, "Alpha", 1);
    AddJob(cursor, "alpha", 1);
    AddJob(cursor, "Gamma", 1);
    EXPECT_EQ(ReadNames(Open("iName")), (Names{"Alpha", "Gamma", "alpha", "beta"}));
    EXPECT_EQ(ReadNames(Open("iNameCI")), (Names{"Alpha", "alpha", "beta", "Gamma"}));
}

TEST_P(CursorTest, EndsAnswerBeginningAndEndStatuses) {
    const hCursor cursor = Open("iDueDateA");
    auto record = NewRecord(cursor);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esEOF);
    EXPECT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), esBOF);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esBOF);
    AddJob(cursor, "Only", 738000);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esBOF);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esEOF);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esEOF);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esEOF);
    ASSERT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Only");
    EXPECT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), esBOF);
}

TEST_P(CursorTest, BookmarksSurviveRereadsAndFallBackToNeighbours) {
    const hCursor cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), esOk);
    std::vector<std::uint8_t> carter(props.bookmarkSize);
    std::vector<std::uint8_t> davis(props.bookmarkSize);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Carter", record));
    ASSERT_EQ(GetBookmark(cursor, carter.data()), esOk);
    ASSERT_TRUE(Seek(cursor, "Davis", record));
    ASSERT_EQ(GetBookmark(cursor, davis.data()), esOk);
    int order = 0;
    ASSERT_EQ(CompareBookmarks(cursor, carter.data(), davis.data(), order), esOk);
    EXPECT_LT(order, 0);
    ASSERT_EQ(CompareBookmarks(cursor, davis.data(), davis.data(), order), esOk);
    EXPECT_EQ(order, 0);

    ASSERT_EQ(ForceReread(cursor), esOk);
    ASSERT_EQ(SetToBookmark(cursor, carter.data()), esOk);
    ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Carter");

    // Delete Carter through another cursor: the bookmark now finds the gap it left.
    const hCursor other = Open();
    ASSERT_TRUE(Seek(other, "Carter", record));
    ASSERT_EQ(DeleteRecord(other), esOk);
    ASSERT_EQ(ForceReread(cursor), esOk);
    EXPECT_EQ(SetToBookmark(cursor, carter.data()), esNeighbourPositioned);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esRecordDeleted);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Baker");
    EXPECT_EQ(SetToBookmark(cursor, carter.data()), esNeighbourPositioned);
    ASSERT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Adams");
}

TEST_P(CursorTest, BookmarksOfNarrowKeysKeepToTheirSize) {
    // The only index is on a date: the bookmark holds exactly its four bytes of key.
    TableSpec tableSpec = JobsSpec();
    tableSpec.name = "Dated";
    tableSpec.indexes = {{"iDueDateA", {fDueDate}, false, false, 0},
                         {"iActive", {fIsActive}, false, false, 0}};
    ASSERT_EQ(CreateTable(m_Db, tableSpec), esOk);
    hCursor cursor = 0;
    ASSERT_EQ(OpenTable(m_Db, "Dated", "", "iDueDateA", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              esOk);
    AddJob(cursor, "Adams", 738001, true);
    AddJob(cursor, "Baker", 738002, false);
    AddJob(cursor, "Carter", 738003, true);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), esOk);
    EXPECT_EQ(props.bookmarkSize, 11 + 5);
    for (const char* index : {"iDueDateA", "iActive"}) {
        SCOPED_TRACE(index);
        ASSERT_EQ(SwitchToIndex(cursor, index), esOk);
        auto record = NewRecord(cursor);
        ASSERT_TRUE(Seek(cursor, "Baker", record));
        std::vector<std::uint8_t> bookmark(props.bookmarkSize);
        ASSERT_EQ(GetBookmark(cursor, bookmark.data()), esOk);
        ASSERT_EQ(DeleteRecord(cursor), esOk);
        ASSERT_EQ(SetToBegin(cursor), esOk);
        EXPECT_EQ(SetToBookmark(cursor, bookmark.data()), esNeighbourPositioned);
        // By date Baker sat between Adams and Carter; by flag it was the only inactive row.
        ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
        EXPECT_EQ(NameOf(cursor, record), std::string(index) == "iActive" ? "Adams" : "Carter");
        AddJob(cursor, "Baker", 738002, false);
    }
}

TEST_P(CursorTest, CurrentRowFailsOnceDeletedOrFilteredOut) {
    const hCursor cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    ASSERT_EQ(DeleteRecord(cursor), esOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esRecordDeleted);
    EXPECT_EQ(DeleteRecord(cursor), esNoCurrentRecord);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Carter");

    hFilter filter = 0;
    ASSERT_EQ(AddFilterCallback(
                  cursor, 1,
                  [](const RecordBuffer& row) {
                      Value name;
                      return row.Get(fName, name) == esOk && std::get<std::string>(name) != "Carter";
                  },
                  filter),
              esOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esOk); // added inactive
    ASSERT_EQ(ActivateFilter(cursor, filter), esOk);
    EXPECT_EQ(GetRecord(cursor, LockType::None, record.data()), esRecordDeleted);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Baker");
}

TEST_P(CursorTest, FiltersCombineByPriorityAndCountExactly) {
    const hCursor cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    std::vector<int> calls;
    hFilter active = 0;
    hFilter dated = 0;
    ASSERT_EQ(AddFilterCallback(
                  cursor, 5,
                  [&](const RecordBuffer& row) {
                      calls.push_back(5);
                      Value v;
                      row.Get(fIsActive, v);
                      return v == Value{true};
                  },
                  active),
              esOk);
    ASSERT_EQ(AddFilterCallback(
                  cursor, 0,
                  [&](const RecordBuffer& row) {
                      calls.push_back(0);
                      bool blank = true;
                      GetField(row.CursorHandle(), fDueDate, row.Data(), nullptr, blank);
                      return !blank;
                  },
                  dated),
              esOk);
    std::uint32_t count = 0;
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 6u);
    ASSERT_EQ(ActivateFilter(cursor, active), esOk);
    ASSERT_EQ(ActivateFilter(cursor, dated), esOk);
    calls.clear();
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 4u);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), 0); // lower priority first
    EXPECT_EQ(ReadNames(cursor), (Names{"Adams", "Carter", "Baker", "Davis"}));
    ASSERT_EQ(GetRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 6u);
    ASSERT_EQ(DeactivateFilter(cursor, dated), esOk);
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 5u);
    ASSERT_EQ(DropFilter(cursor, active), esOk);
    EXPECT_EQ(DropFilter(cursor, active), esUnknownFilter);
    EXPECT_EQ(ActivateFilter(cursor, 999), esUnknownFilter);
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 6u);
}

TEST_P(CursorTest, CountingLeavesThePositionAlone) {
    const hCursor cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Carter", record));
    std::uint32_t count = 0;
    ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Baker");
}

TEST_P(CursorTest, ExpressionFiltersNeedAnEvaluatorAndMayRunInSql) {
    const hCursor cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    const std::vector<std::uint8_t> pushed = {1};
    const std::vector<std::uint8_t> inMemory = {0};
    hFilter filter = 0;
    const std::shared_ptr<ExpressionEvaluator> standard = GetExpressionEvaluator();
    ASSERT_NE(standard, nullptr);
    SetExpressionEvaluator(nullptr);
    EXPECT_EQ(AddFilter(cursor, 0, pushed, filter), esFilterNotSupported);
    SetExpressionEvaluator(std::make_shared<ActiveFilterEvaluator>());
    EXPECT_EQ(AddFilter(cursor, 0, std::vector<std::uint8_t>{1, 2}, filter), esInvalidFilter);
    for (const auto* buffer : {&pushed, &inMemory}) {
        ASSERT_EQ(AddFilter(cursor, 0, *buffer, filter), esOk);
        ASSERT_EQ(ActivateFilter(cursor, filter), esOk);
        std::uint32_t count = 0;
        ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
        EXPECT_EQ(count, 5u);
        EXPECT_EQ(ReadNames(cursor), (Names{"Nodate", "Adams", "Carter", "Baker", "Davis"}));
        // Repeated counts within one snapshot follow this cursor's own writes and filter changes.
        AddJob(cursor, "Fisher", 738003);
        ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
        EXPECT_EQ(count, 6u);
        ASSERT_EQ(DeactivateFilter(cursor, filter), esOk);
        ASSERT_EQ(GetExactRecordCount(cursor, count), esOk);
        EXPECT_EQ(count, 7u);
        auto record = NewRecord(cursor);
        ASSERT_TRUE(Seek(cursor, "Fisher", record));
        ASSERT_EQ(DeleteRecord(cursor), esOk);
        ASSERT_EQ(DropFilter(cursor, filter), esOk);
    }
    SetExpressionEvaluator(standard);
}

TEST_P(CursorTest, KeyedReadFindsFirstMatchAndPrefixes) {
    const hCursor cursor = Open("iOrderName");
    AddJob(cursor, "Smith", 1, true, "A1");
    AddJob(cursor, "Smithers", 2, true, "A1");
    AddJob(cursor, "Jones", 3, true, "A1");
    AddJob(cursor, "Smith", 4, true, "B2");
    auto key = NewRecord(cursor);
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fOrderNo, key.data(), std::string("A1")), esOk);
    ASSERT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Jones");
    ASSERT_EQ(PutValue(cursor, fName, key.data(), std::string("Smith")), esOk);
    ASSERT_EQ(GetRecordForKey(cursor, 2, 0, key.data(), record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Smith");
    Value due;
    GetValue(cursor, fDueDate, record.data(), due);
    EXPECT_EQ(due, Value{DayNumber{1}});
    // The cursor now sits on the found row.
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Smithers");

    ASSERT_EQ(PutValue(cursor, fName, key.data(), std::string("Smithe")), esOk);
    EXPECT_EQ(GetRecordForKey(cursor, 2, 0, key.data(), record.data()), esRecordNotFound);
    ASSERT_EQ(GetRecordForKey(cursor, 2, 6, key.data(), record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Smithers");
    ASSERT_EQ(PutValue(cursor, fName, key.data(), std::string("smith")), esOk);
    EXPECT_EQ(GetRecordForKey(cursor, 2, 3, key.data(), record.data()), esRecordNotFound); // case counts
    EXPECT_EQ(GetRecordForKey(cursor, 3, 0, key.data(), record.data()), esInvalidParameter);

    ASSERT_EQ(SwitchToIndex(cursor, "iNameCI"), esOk);
    ASSERT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), "Smith");
    ASSERT_EQ(SwitchToIndex(cursor, ""), esOk);
    EXPECT_EQ(GetRecordForKey(cursor, 1, 0, key.data(), record.data()), esUnknownIndex);
}

TEST_P(CursorTest, SetToCursorAndClonesFollowTheSameRow) {
    const hCursor cursor = Open("iDueDateA");
    AddStandardJobs(cursor);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    ASSERT_EQ(SwitchToIndex(cursor, "iDueDateA"), esOk);
    hCursor clone = 0;
    ASSERT_EQ(CloneCursor(cursor, true, clone), esOk);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(clone, props), esOk);
    EXPECT_FALSE(props.canModify);
    EXPECT_EQ(props.indexName, "iDueDateA");
    ASSERT_EQ(GetNextRecord(clone, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(clone, record), "Carter");
    const hCursor byName = Open("iName");
    ASSERT_EQ(SetToCursor(byName, clone), esOk);
    ASSERT_EQ(GetNextRecord(byName, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(byName, record), "Davis");
}

TEST_F(CursorFileTest, ModifyWritesBackAndKeepsTextsItCouldNotHold) {
    const hCursor cursor = Open("iDueDateA");
    AddJob(cursor, "Adams", 738000);
    // Another program stored a name longer than the field: we must never write it back cut short.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(TablePath().c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE records SET Name = 'A name far longer than twenty characters'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    ASSERT_EQ(ForceReread(cursor), esOk);
    auto record = NewRecord(cursor);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    ASSERT_EQ(GetRecord(cursor, LockType::Write, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record).size(), 20u);
    ASSERT_EQ(PutValue(cursor, fPriority, record.data(), 3), esOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
    ASSERT_EQ(ForceReread(cursor), esOk);
    ASSERT_EQ(GetRecord(cursor, LockType::None, record.data()), esOk);
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
    ASSERT_EQ(PutValue(cursor, fDueDate, record.data(), DayNumber{737000}), esOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record).substr(0, 6), "A name");
}

TEST_P(CursorTest, LocksWithinOneProcessSeparateCursors) {
    const hCursor first = Open();
    AddJob(first, "Adams", 738000);
    const hCursor second = Open();
    auto a = NewRecord(first);
    auto b = NewRecord(second);
    ASSERT_EQ(SetToBegin(first), esOk);
    ASSERT_EQ(GetNextRecord(first, LockType::Write, a.data()), esOk);
    ASSERT_EQ(GetNextRecord(second, LockType::None, b.data()), esOk);
    EXPECT_EQ(GetRecord(second, LockType::Write, b.data()), esRecordLocked);
    EXPECT_EQ(ModifyRecord(second, b.data(), true), esRecordLocked);
    EXPECT_EQ(DeleteRecord(second), esRecordLocked);
    EXPECT_EQ(ReleaseLock(second, false), esNotLocked);
    auto other = NewRecord(second);
    AddJob(second, "Baker", 738001);
    ASSERT_EQ(GetRecord(second, LockType::None, other.data()), esOk);
    ASSERT_EQ(SetToBegin(second), esOk);
    ASSERT_EQ(GetNextRecord(second, LockType::None, b.data()), esOk);
    EXPECT_EQ(ModifyRecord(second, other.data(), true), esInvalidParameter); // Baker's image over Adams

    ASSERT_EQ(ModifyRecord(first, a.data(), true), esOk); // frees the lock
    EXPECT_EQ(GetRecord(second, LockType::Write, b.data()), esOk);
    EXPECT_EQ(ReleaseLock(second, false), esOk);
    ASSERT_EQ(GetRecord(first, LockType::Write, a.data()), esOk);
    ASSERT_EQ(CloseCursor(first), esOk); // closing frees its locks
    EXPECT_EQ(GetRecord(second, LockType::Write, b.data()), esOk);
}

TEST_P(CursorTest, InsertCopiesMemosOfACopiedRowAndDeleteOnlyOnce) {
    const hCursor cursor = Open();
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Source")), esOk);
    ASSERT_EQ(PutValue(cursor, fAddress, record.data(), std::string("1 High St")), esOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Copy")), esOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
    ASSERT_TRUE(Seek(cursor, "Copy", record));
    Value address;
    ASSERT_EQ(GetValue(cursor, fAddress, record.data(), address), esOk);
    EXPECT_EQ(address, Value{std::string("1 High St")});
    ASSERT_EQ(PutValue(cursor, fAddress, record.data(), Value{}), esOk);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
    ASSERT_TRUE(Seek(cursor, "Copy", record));
    ASSERT_EQ(GetValue(cursor, fAddress, record.data(), address), esOk);
    EXPECT_EQ(address, Value{});
    const hCursor other = Open();
    const hCursor third = Open();
    auto stale = NewRecord(other);
    auto unchanged = NewRecord(third);
    ASSERT_TRUE(Seek(other, "Copy", stale));
    ASSERT_TRUE(Seek(third, "Copy", unchanged));
    ASSERT_EQ(DeleteRecord(cursor), esOk);
    // A change to a row that is gone is refused; writing back what was read writes nothing.
    ASSERT_EQ(PutValue(other, fPriority, stale.data(), 4), esOk);
    EXPECT_EQ(ModifyRecord(other, stale.data(), true), esRecordDeleted);
    EXPECT_EQ(ModifyRecord(third, unchanged.data(), true), esOk);
    EXPECT_EQ(ReadNames(cursor), (Names{"Source"}));
}

} // namespace ws::engine::test

namespace ws::engine::test {

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// What the table file holds in the Name column of the first row, read with SQLite directly.
std::string StoredName(const std::string& path) {
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "SELECT Name FROM records ORDER BY rowid", -1, &stmt, nullptr);
    std::string name = "<no row>";
    if (sqlite3_step(stmt) == SQLITE_ROW)
        name.assign(static_cast<const char*>(sqlite3_column_blob(stmt, 0)),
                    static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    return name;
}

void StoreName(const std::string& path, const std::string& name) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "UPDATE records SET Name = ?", -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
}

} // namespace

// Name holds 20 characters. Euro signs take 3 bytes, Hebrew letters 2, the emoji 4.
TEST_F(CursorFileTest, TextSizesCountCharactersAndNothingIsCutInsideOne) {
    const hCursor cursor = Open("iName");
    auto record = NewRecord(cursor);
    for (const std::string& text :
         {Repeat("€", 20), Repeat("ש", 20), Repeat("😀", 20), "a" + Repeat("€", 19)}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(PutValue(cursor, fName, record.data(), text), esOk);
        EXPECT_EQ(NameOf(cursor, record), text);
        EXPECT_EQ(PutValue(cursor, fName, record.data(), text + "x"), esValueTooLong);
        EXPECT_EQ(PutField(cursor, fName, record.data(), (text + "€").c_str()), esValueTooLong);
    }
    ASSERT_EQ(PutValue(cursor, fName, record.data(), Repeat("€", 20)), esOk);
    ASSERT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(StoredName(TablePath()), Repeat("€", 20));

    // Another program stores longer texts: they read cut after 20 characters, and a rewrite of
    // the row keeps what is stored.
    const std::vector<std::pair<std::string, std::string>> stored{
        {Repeat("€", 27), Repeat("€", 20)},
        {Repeat("ש", 41), Repeat("ש", 20)},
        {Repeat("abc", 7) + "€", Repeat("abc", 6) + "ab"},
        // Bytes that are no UTF-8 count one character each and are kept as they are.
        {std::string(25, '\xFF'), std::string(20, '\xFF')},
        {Repeat("€", 19) + "\xE2\x82" + "x", Repeat("€", 19) + "\xE2"},
    };
    for (const auto& [text, shown] : stored) {
        SCOPED_TRACE(text);
        StoreName(TablePath(), text);
        ASSERT_EQ(ForceReread(cursor), esOk);
        ASSERT_EQ(SetToBegin(cursor), esOk);
        ASSERT_EQ(GetNextRecord(cursor, LockType::Write, record.data()), esOk);
        EXPECT_EQ(NameOf(cursor, record), shown);
        ASSERT_EQ(PutValue(cursor, fPriority, record.data(), 7), esOk);
        ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
        EXPECT_EQ(StoredName(TablePath()), text);
    }
    // A short text that is not UTF-8 is read and written back byte for byte.
    const std::string broken = "ab\xE2\x82"
                               "c\x80";
    StoreName(TablePath(), broken);
    ASSERT_EQ(ForceReread(cursor), esOk);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    ASSERT_EQ(GetNextRecord(cursor, LockType::Write, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), broken);
    ASSERT_EQ(ModifyRecord(cursor, record.data(), true), esOk);
    EXPECT_EQ(StoredName(TablePath()), broken);

    // Keys of 20 three-byte characters survive in bookmarks: a deleted row's neighbour is found.
    StoreName(TablePath(), Repeat("€", 20));
    ASSERT_EQ(ForceReread(cursor), esOk);
    AddJob(cursor, Repeat("€", 19) + "a", 738001, true, "O1");
    AddJob(cursor, Repeat("€", 19) + "😀", 738002, true, "O2");
    ASSERT_TRUE(Seek(cursor, Repeat("€", 20), record));
    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), esOk);
    std::vector<std::uint8_t> bookmark(props.bookmarkSize);
    ASSERT_EQ(GetBookmark(cursor, bookmark.data()), esOk);
    ASSERT_EQ(DeleteRecord(cursor), esOk);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    EXPECT_EQ(SetToBookmark(cursor, bookmark.data()), esNeighbourPositioned);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), Repeat("€", 19) + "😀");
    ASSERT_EQ(GetPriorRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(NameOf(cursor, record), Repeat("€", 19) + "a");
}

} // namespace ws::engine::test
