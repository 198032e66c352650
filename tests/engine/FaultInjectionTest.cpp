#include "EngineTestSupport.h"

#include <atomic>
#include <stdexcept>
#include <thread>

namespace ws::engine::test {

class FaultInjectionTest : public OnEachDriver<EngineTest> {};
ON_BOTH_DRIVERS(FaultInjectionTest);

TEST_P(FaultInjectionTest, NamedOperationFailsEveryTimeWithTheChosenStatus) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738000);
    ASSERT_EQ(SetToBegin(cursor), esOk);
    FaultInjector::Scope faults;
    faults.FailOperation("GetNextRecord", esIOError);
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
    faults.Clear();
    EXPECT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
}

TEST_P(FaultInjectionTest, CountedFaultHitsOnlyTheKthCall) {
    const hCursor cursor = Open();
    std::uint32_t count = 0;
    FaultInjector::Scope faults;
    faults.FailNthCall(3, esBusyTimeout);
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
    EXPECT_EQ(GetRecordCount(cursor, count), esBusyTimeout);
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
}

// Faults armed through a scope end with it, however it is left: a test that fails half way
// leaves the next one a working engine.
TEST_P(FaultInjectionTest, FaultsArmedInAScopeEndWithIt) {
    const hCursor cursor = Open();
    std::uint32_t count = 0;
    {
        FaultInjector::Scope faults;
        faults.FailOperation("GetRecordCount", esIOError);
        faults.FailNthCall(3, esBusyTimeout);
        EXPECT_EQ(GetRecordCount(cursor, count), esIOError);
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(GetRecordCount(cursor, count), esOk) << "call " << i + 1;
    try {
        FaultInjector::Scope faults;
        faults.FailOperation("GetRecordCount", esIOError);
        throw std::runtime_error("a test gives up");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(GetRecordCount(cursor, count), esOk);
}

TEST_P(FaultInjectionTest, FailedWritesLeaveTheTableAsItWas) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738000);
    auto record = NewRecord(cursor);
    ASSERT_TRUE(Seek(cursor, "Adams", record));
    FaultInjector::Scope faults;
    faults.FailOperation("ModifyRecord", esIOError);
    ASSERT_EQ(PutValue(cursor, fName, record.data(), std::string("Changed")), esOk);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esIOError);
    faults.FailOperation("InsertRecord", esOutOfMemory);
    EXPECT_EQ(InsertRecord(cursor, LockType::None, record.data()), esOutOfMemory);
    faults.Clear();
    ASSERT_EQ(ForceReread(cursor), esOk);
    EXPECT_EQ(ReadNames(cursor), (Names{"Adams"}));
}

TEST_P(FaultInjectionTest, SeamIsSafeAcrossThreads) {
    const hCursor cursor = Open();
    AddJob(cursor, "Adams", 738000);
    FaultInjector::Scope faults;
    faults.FailNthCall(50, esIOError);
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
