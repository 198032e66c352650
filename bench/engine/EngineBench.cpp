// The wall screen's five-second path on an order table of 100,000 rows, 124 fields wide:
// open a cursor once, then per refresh re-read a window of 40 rows and count the filtered rows.
#include "engine/Engine.h"
#include "engine/ExpressionEvaluator.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

using namespace ws::engine;

namespace {

constexpr int kRows = 100'000;
constexpr std::uint16_t kDueDate = 9;
constexpr std::uint16_t kIsActive = 124;
constexpr std::uint16_t kIsJewish = 122;

FieldDesc Make(std::string name, FieldType type, std::uint16_t size = 0,
               FieldSubtype subtype = FieldSubtype::None) {
    FieldDesc f;
    f.name = std::move(name);
    f.type = type;
    f.size = size;
    f.subtype = subtype;
    return f;
}

// The order table's shape: the fields the board uses where it has them, the rest a mix of types.
TableSpec OrderHeadSpec() {
    TableSpec tableSpec;
    tableSpec.name = "OrderHead";
    for (int i = 1; i <= 124; ++i) {
        const std::string name = "F" + std::to_string(i);
        if (i == 1)
            tableSpec.fields.push_back(Make("Index", FieldType::Int32, 0, FieldSubtype::AutoInc));
        else if (i == kDueDate)
            tableSpec.fields.push_back(Make("DueDate", FieldType::Date));
        else if (i == kIsJewish)
            tableSpec.fields.push_back(Make("IsJewish", FieldType::Bool));
        else if (i == kIsActive)
            tableSpec.fields.push_back(Make("IsActive", FieldType::Bool));
        else if (i % 10 == 5)
            tableSpec.fields.push_back(Make(name, FieldType::Blob, 80, FieldSubtype::Memo));
        else if (i % 3 == 0)
            tableSpec.fields.push_back(Make(name, FieldType::ZString, 30));
        else if (i % 3 == 1)
            tableSpec.fields.push_back(Make(name, FieldType::Float));
        else
            tableSpec.fields.push_back(Make(name, FieldType::Bool));
    }
    tableSpec.indexes = {{"iDueDateA", {kDueDate}, false, false, 0}};
    return tableSpec;
}

void Fill(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    std::string sql = "INSERT INTO records VALUES (NULL";
    for (int i = 2; i <= 124; ++i)
        sql += ", ?";
    sql += ")";
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    std::srand(7);
    for (int row = 0; row < kRows; ++row) {
        for (int i = 2; i <= 124; ++i) {
            if (i == kDueDate)
                sqlite3_bind_int(stmt, i - 1, 738000 + std::rand() % 2000);
            else if (i == kIsActive)
                sqlite3_bind_int(stmt, i - 1, row % 250 == 0 ? 1 : 0); // a few hundred active jobs
            else if (i == kIsJewish)
                sqlite3_bind_int(stmt, i - 1, row % 3 == 0 ? 1 : 0);
            else if (i % 10 == 5)
                sqlite3_bind_text(stmt, i - 1, "Some memo text of moderate length", -1, SQLITE_STATIC);
            else if (i % 3 == 0)
                sqlite3_bind_text(stmt, i - 1, "Text value", -1, SQLITE_STATIC);
            else
                sqlite3_bind_double(stmt, i - 1, row * 0.5);
        }
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Fixture {
    Fixture() {
        EngineInit();
        char pattern[] = "/tmp/ws-engine-bench-XXXXXX";
        dir = ::mkdtemp(pattern);
        OpenDatabase(dir, OpenMode::ReadWrite, ShareMode::Shared, db);
        CreateTable(db, OrderHeadSpec());
        Fill(dir + "/OrderHead.DB");
    }
    ~Fixture() {
        EngineExit();
        std::filesystem::remove_all(dir);
    }
    hCursor Open() {
        hCursor cursor = 0;
        OpenTable(db, "OrderHead", "", "iDueDateA", OpenMode::ReadWrite, ShareMode::Shared, cursor);
        return cursor;
    }
    std::string dir;
    hDatabase db = 0;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

bool ActiveJewish(const RecordBuffer& row) {
    Value active;
    Value jewish;
    row.Get(kIsActive, active);
    row.Get(kIsJewish, jewish);
    return active == Value{true} && jewish == Value{true};
}

class ActiveJewishSql : public CompiledFilter {
public:
    bool Matches(const RecordBuffer& row) const override { return ActiveJewish(row); }
    std::optional<SqlCondition> PushDown() const override {
        return SqlCondition{"\"IsActive\" = 1 AND \"IsJewish\" = 1", {}};
    }
};

void BM_OpenCursor(benchmark::State& state) {
    for (auto _ : state) {
        const hCursor cursor = Shared().Open();
        CloseCursor(cursor);
    }
}
BENCHMARK(BM_OpenCursor)->Unit(benchmark::kMillisecond);

// One refresh: back to the current row's bookmark, forced re-read, 40 rows fetched.
void RefreshWindow(benchmark::State& state, hCursor cursor) {
    CursorProps props;
    GetCursorProps(cursor, props);
    std::vector<std::uint8_t> record(props.recordSize);
    std::vector<std::uint8_t> bookmark(props.bookmarkSize);
    SetToBegin(cursor);
    GetNextRecord(cursor, LockType::None, record.data());
    GetBookmark(cursor, bookmark.data());
    for (auto _ : state) {
        SetToBookmark(cursor, bookmark.data());
        ForceReread(cursor);
        GetRecord(cursor, LockType::None, record.data());
        for (int i = 0; i < 40; ++i)
            GetNextRecord(cursor, LockType::None, record.data());
    }
}

void BM_RefreshWindowUnfiltered(benchmark::State& state) {
    const hCursor cursor = Shared().Open();
    RefreshWindow(state, cursor);
    CloseCursor(cursor);
}
BENCHMARK(BM_RefreshWindowUnfiltered)->Unit(benchmark::kMillisecond);

void BM_RefreshWindowCallbackFilter(benchmark::State& state) {
    const hCursor cursor = Shared().Open();
    hFilter filter = 0;
    AddFilterCallback(cursor, 0, ActiveJewish, filter);
    ActivateFilter(cursor, filter);
    RefreshWindow(state, cursor);
    CloseCursor(cursor);
}
BENCHMARK(BM_RefreshWindowCallbackFilter)->Unit(benchmark::kMillisecond);

// A count right after a re-read (the first of a tick) and a repeated one within the same tick.
void CountLoop(benchmark::State& state, hCursor cursor) {
    std::uint32_t count = 0;
    for (auto _ : state) {
        ForceReread(cursor);
        GetExactRecordCount(cursor, count);
        GetExactRecordCount(cursor, count);
    }
    state.counters["rows"] = count;
}

void BM_ExactCountUnfiltered(benchmark::State& state) {
    const hCursor cursor = Shared().Open();
    CountLoop(state, cursor);
    CloseCursor(cursor);
}
BENCHMARK(BM_ExactCountUnfiltered)->Unit(benchmark::kMillisecond);

void BM_ExactCountCallbackFilter(benchmark::State& state) {
    const hCursor cursor = Shared().Open();
    hFilter filter = 0;
    AddFilterCallback(cursor, 0, ActiveJewish, filter);
    ActivateFilter(cursor, filter);
    CountLoop(state, cursor);
    CloseCursor(cursor);
}
BENCHMARK(BM_ExactCountCallbackFilter)->Unit(benchmark::kMillisecond);

class PushDownEvaluator : public ExpressionEvaluator {
public:
    EngineStatus Compile(std::span<const std::uint8_t>, const std::vector<FieldDesc>&,
                         std::unique_ptr<CompiledFilter>& compiled) override {
        compiled = std::make_unique<ActiveJewishSql>();
        return esOk;
    }
};

void BM_ExactCountPushedDownFilter(benchmark::State& state) {
    SetExpressionEvaluator(std::make_shared<PushDownEvaluator>());
    const hCursor cursor = Shared().Open();
    hFilter filter = 0;
    const std::uint8_t buffer[1] = {0};
    AddFilter(cursor, 0, buffer, filter);
    ActivateFilter(cursor, filter);
    CountLoop(state, cursor);
    CloseCursor(cursor);
    SetExpressionEvaluator(nullptr);
}
BENCHMARK(BM_ExactCountPushedDownFilter)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    Shared(); // build the table before anything is timed
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
