// A second process for the engine's multi-process tests: it changes the "Jobs" table of a
// directory, or holds a record lock until it is killed.
//   engine_helper DIR insert NAME DAY
//   engine_helper DIR rename NAME NEWNAME
//   engine_helper DIR delete NAME
//   engine_helper DIR lock NAME            prints "locked" and waits to be killed
//   engine_helper DIR hammer ROUNDS        inserts, changes and deletes rows as fast as it can
#include "engine/Engine.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace ws::engine;

namespace {

constexpr std::uint16_t kName = 3;
constexpr std::uint16_t kDueDate = 5;
constexpr std::uint16_t kPriority = 9;

int Fail(const char* what, EngineStatus status) {
    std::fprintf(stderr, "%s: %s\n", what, ErrorText(status).c_str());
    return 2;
}

std::vector<std::uint8_t> Record(hCursor cursor) {
    CursorProps props;
    GetCursorProps(cursor, props);
    std::vector<std::uint8_t> record(props.recordSize);
    InitRecord(cursor, record.data());
    return record;
}

bool Seek(hCursor cursor, const std::string& name, std::vector<std::uint8_t>& record) {
    SetToBegin(cursor);
    while (GetNextRecord(cursor, LockType::None, record.data()) == esOk) {
        Value value;
        GetValue(cursor, kName, record.data(), value);
        if (value == Value{name})
            return true;
    }
    return false;
}

EngineStatus Insert(hCursor cursor, const std::string& name, int day) {
    auto record = Record(cursor);
    PutValue(cursor, kName, record.data(), name);
    PutValue(cursor, kDueDate, record.data(), DayNumber{day});
    return InsertRecord(cursor, LockType::None, record.data());
}

int Hammer(hCursor cursor, int rounds) {
    auto record = Record(cursor);
    for (int i = 0; i < rounds; ++i) {
        const std::string name = "H" + std::to_string(i);
        if (EngineStatus s = Insert(cursor, name, 738000 + i % 50))
            return Fail("insert", s);
        PutValue(cursor, kPriority, record.data(), i);
        if (GetRecord(cursor, LockType::Write, record.data()) == esOk) {
            PutValue(cursor, kPriority, record.data(), i);
            if (EngineStatus s = ModifyRecord(cursor, record.data(), true))
                return Fail("modify", s);
        }
        if (i % 3 == 0) {
            if (EngineStatus s = DeleteRecord(cursor))
                return Fail("delete", s);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 64;
    const std::string dir = argv[1];
    const std::string command = argv[2];
    EngineInit();
    hDatabase db = 0;
    if (EngineStatus s = OpenDatabase(dir, OpenMode::ReadWrite, ShareMode::Shared, db))
        return Fail("open database", s);
    hCursor cursor = 0;
    if (EngineStatus s = OpenTable(db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor))
        return Fail("open table", s);
    auto record = Record(cursor);
    if (command == "insert" && argc == 5)
        return Insert(cursor, argv[3], std::atoi(argv[4])) ? 1 : 0;
    if (command == "hammer")
        return Hammer(cursor, std::atoi(argv[3]));
    if (!Seek(cursor, argv[3], record))
        return Fail("find", esRecordNotFound);
    if (command == "rename" && argc == 5) {
        PutValue(cursor, kName, record.data(), std::string(argv[4]));
        return ModifyRecord(cursor, record.data(), true) ? 1 : 0;
    }
    if (command == "delete")
        return DeleteRecord(cursor) ? 1 : 0;
    if (command == "lock") {
        if (EngineStatus s = GetRecord(cursor, LockType::Write, record.data()))
            return Fail("lock", s);
        std::printf("locked\n");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    return 64;
}
