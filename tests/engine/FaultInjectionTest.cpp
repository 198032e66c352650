#include "EngineTestSupport.h"

#include <atomic>
#include <thread>

namespace ws::engine::test {

class FaultInjectionTest : public OnEachDriver<EngineTest> {};
ON_BOTH_DRIVERS(FaultInjectionTest);

TEST_P(FaultInjectionTest, NamedOperationFailsEveryTimeWithTheChosenStatus) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738000);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    FaultInjector::FailOperation("GetNextRecord", esIOError);
    auto record = NewRecord(cursor);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esIOError);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esIOError);
    const auto entries = LastErrorEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].code, esIOError);
    EXPECT_NE(entries[1].context.find("GetNextRecord"), std::string::npos);
    std::uint32_t count = 0;
    EXPECT_EQ(GetRecordCount(cursor, count), esOk); // other operations are untouched
    EXPECT_TRUE(LastErrorEntries().empty());
    FaultInjector::Reset();
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
}

TEST_P(FaultInjectionTest, CountedFaultHitsOnlyTheKthCall) {
    const hCursor cursor = Open();
    std::uint32_t count = 0;
    FaultInjector::FailNthCall(3, esBusyTimeout);
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
    EXPECT_EQ(GetRecordCount(cursor, count), esBusyTimeout);
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
}

TEST_P(FaultInjectionTest, FailedWritesLeaveTheTableAsItWas) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738000);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    FaultInjector::FailOperation("ModifyRecord", esIOError);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Changed")), esOk);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esIOError);
    FaultInjector::FailOperation("InsertRecord", esOutOfMemory);
    EXPECT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOutOfMemory);
    FaultInjector::Reset();
    ASSERT_EQ(ForceReread(cursor), esOk);
    EXPECT_EQ(ReadNames(cursor), (Names{"Adams"}));
}

TEST_P(FaultInjectionTest, SeamIsSafeAcrossThreads) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738000);
    FaultInjector::FailNthCall(50, esIOError);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                std::uint32_t count = 0;
                if (GetRecordCount(cursor, count) == esIOError)
                    ++failures;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 1);
}

} // namespace ws::engine::test
