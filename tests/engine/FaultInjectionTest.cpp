#include "EngineTestSupport.h"

#include <atomic>
#include <thread>

namespace ws::engine::test {

class FaultInjectionTest : public EngineTest {};

TEST_F(FaultInjectionTest, NamedOperationFailsEveryTimeWithTheChosenStatus) {
    const hDBICur cursor = Open();
    AddJob(cursor, "Adams", 738000);
    ASSERT_EQ(SetToBegin(cursor), dbiOk);
    FaultInjector::FailOperation("GetNextRecord", dbiIOError);
    auto record = NewRecord(cursor);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiIOError);
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiIOError);
    const auto entries = LastErrorEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].code, dbiIOError);
    EXPECT_NE(entries[1].context.find("GetNextRecord"), std::string::npos);
    std::uint32_t count = 0;
    EXPECT_EQ(GetRecordCount(cursor, count), dbiOk); // other operations are untouched
    EXPECT_TRUE(LastErrorEntries().empty());
    FaultInjector::Reset();
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), dbiOk);
}

TEST_F(FaultInjectionTest, CountedFaultHitsOnlyTheKthCall) {
    const hDBICur cursor = Open();
    std::uint32_t count = 0;
    FaultInjector::FailNthCall(3, dbiBusyTimeout);
    EXPECT_EQ(GetRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(GetRecordCount(cursor, count), dbiOk);
    EXPECT_EQ(GetRecordCount(cursor, count), dbiBusyTimeout);
    EXPECT_EQ(GetRecordCount(cursor, count), dbiOk);
}

TEST_F(FaultInjectionTest, FailedWritesLeaveTheTableAsItWas) {
    const hDBICur cursor = Open();
    AddJob(cursor, "Adams", 738000);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    FaultInjector::FailOperation("ModifyRecord", dbiIOError);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Changed")), dbiOk);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), dbiIOError);
    FaultInjector::FailOperation("InsertRecord", dbiOutOfMemory);
    EXPECT_EQ(InsertRecord(cursor, LockType::None, record.data()), dbiOutOfMemory);
    FaultInjector::Reset();
    ASSERT_EQ(ForceReread(cursor), dbiOk);
    EXPECT_EQ(ReadNames(cursor), (Names{"Adams"}));
}

TEST_F(FaultInjectionTest, SeamIsSafeAcrossThreads) {
    const hDBICur cursor = Open();
    AddJob(cursor, "Adams", 738000);
    FaultInjector::FailNthCall(50, dbiIOError);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                std::uint32_t count = 0;
                if (GetRecordCount(cursor, count) == dbiIOError)
                    ++failures;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 1);
}

} // namespace ws::engine::test
