// Feeds the engine damaged table files and damaged configuration files. Every input must end in
// a status, never in a crash, a hang or a sanitizer report.
//
// Input: the first byte chooses the kind.
//   even: a configuration file (the rest of the input), parsed and used to open an alias;
//   odd:  patches to a valid table file, each [offset: 2 bytes][length: 1 byte][bytes], applied
//         before the file is opened and read in every way a view reads it; the offset 0xFFFF
//         truncates the file instead.
// Run: engine_fuzz -max_total_time=60 fuzz/engine/corpus
#include "engine/AliasConfig.h"
#include "engine/Engine.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using namespace ws::engine;

namespace {

std::string g_Dir;
std::vector<char> g_Pristine;

FieldDesc Make(const char* name, FieldType type, std::uint16_t size = 0,
               FieldSubtype subtype = FieldSubtype::None) {
    FieldDesc f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.subtype = subtype;
    return f;
}

// A small table with every field type, two indexes and a few rows, as the seed every patch damages.
void BuildPristine() {
    hDatabase db = 0;
    OpenDatabase(g_Dir, OpenMode::ReadWrite, ShareMode::Shared, db);
    TableSpec tableSpec;
    tableSpec.name = "Seed";
    tableSpec.fields = {Make("Index", FieldType::Int32, 0, FieldSubtype::AutoInc),
                        Make("Name", FieldType::ZString, 12),
                        Make("Notes", FieldType::Blob, 80, FieldSubtype::Memo),
                        Make("Due", FieldType::Date),
                        Make("Amount", FieldType::Float, 0, FieldSubtype::Money),
                        Make("Done", FieldType::Bool),
                        Make("Count", FieldType::Int16)};
    tableSpec.indexes = {{"iDue", {4}, false, false, 0}, {"iName", {2}, true, false, 0}};
    tableSpec.checks = {{2, "*&"}};
    CreateTable(db, tableSpec);
    hCursor cursor = 0;
    OpenTable(db, "Seed", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor);
    CursorProps props;
    GetCursorProps(cursor, props);
    std::vector<std::uint8_t> record(props.recordSize);
    for (int i = 0; i < 12; ++i) {
        InitRecord(cursor, record.data());
        PutValue(cursor, 2, record.data(), std::string("Row ") + std::to_string(i));
        PutValue(cursor, 3, record.data(), std::string(static_cast<std::size_t>(i) * 40, 'm'));
        if (i % 4)
            PutValue(cursor, 4, record.data(), DayNumber{738000 + i % 5});
        PutValue(cursor, 5, record.data(), i * 1.25);
        PutValue(cursor, 6, record.data(), i % 2 == 0);
        PutValue(cursor, 7, record.data(), i);
        InsertRecord(cursor, LockType::None, record.data());
    }
    CloseCursor(cursor);
    CloseDatabase(db);
    std::ifstream in(g_Dir + "/Seed.DB", std::ios::binary);
    g_Pristine.assign(std::istreambuf_iterator<char>(in), {});
}

void ReadEverything(hCursor cursor) {
    CursorProps props;
    if (GetCursorProps(cursor, props))
        return;
    std::vector<FieldDesc> fields;
    GetFieldDescs(cursor, fields);
    std::vector<IndexDesc> indexes;
    GetIndexDescs(cursor, indexes);
    std::vector<ValidityCheck> checks;
    GetValidityChecks(cursor, checks);
    std::vector<std::uint8_t> record(props.recordSize);
    std::vector<std::uint8_t> bookmark(props.bookmarkSize);
    std::vector<std::string> orders = {""};
    for (const IndexDesc& index : indexes)
        orders.push_back(index.name);
    for (const std::string& order : orders) {
        if (SwitchToIndex(cursor, order))
            continue;
        SetToBegin(cursor);
        for (int i = 0; i < 64 && GetNextRecord(cursor, LockType::None, record.data()) == esOk; ++i) {
            for (const FieldDesc& field : fields) {
                Value value;
                GetValue(cursor, field.number, record.data(), value);
            }
            GetBookmark(cursor, bookmark.data());
        }
        SetToBookmark(cursor, bookmark.data());
        GetRecord(cursor, LockType::None, record.data());
        for (int i = 0; i < 64 && GetPriorRecord(cursor, LockType::None, record.data()) == esOk; ++i) {
        }
        GetRecordForKey(cursor, 1, 2, record.data(), record.data());
        std::uint32_t count = 0;
        GetExactRecordCount(cursor, count);
        GetRecordCount(cursor, count);
    }
}

void FuzzTable(const std::uint8_t* data, std::size_t size) {
    std::vector<char> file = g_Pristine;
    for (std::size_t i = 0; i + 3 <= size;) {
        const std::size_t offset = data[i] | (static_cast<std::size_t>(data[i + 1]) << 8);
        std::size_t length = data[i + 2];
        i += 3;
        length = std::min(length, size - i);
        if (offset < file.size()) {
            for (std::size_t k = 0; k < length && offset + k < file.size(); ++k)
                file[offset + k] = static_cast<char>(data[i + k]);
        } else if (offset == 0xFFFF) {
            file.resize(file.size() / (length + 1)); // truncation
        }
        i += length;
    }
    const std::string path = g_Dir + "/Damaged.DB";
    ::unlink((path + "-wal").c_str());
    ::unlink((path + "-shm").c_str());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(file.data(), static_cast<std::streamsize>(file.size()));
    hDatabase db = 0;
    OpenDatabase(g_Dir, OpenMode::ReadWrite, ShareMode::Shared, db);
    for (OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        hCursor cursor = 0;
        if (OpenTable(db, "Damaged", "", "", mode, ShareMode::Shared, cursor) == esOk) {
            ReadEverything(cursor);
            CloseCursor(cursor);
        }
    }
    CloseDatabase(db);
}

void FuzzConfig(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto aliases = AliasConfig::Parse(text);
    const std::string path = g_Dir + "/engine.ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    for (const auto& [key, alias] : aliases) {
        hDatabase db = 0;
        if (OpenDatabase(alias.name, OpenMode::ReadOnly, ShareMode::Shared, db) == esOk)
            CloseDatabase(db);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/ws-engine-fuzz-XXXXXX";
    g_Dir = ::mkdtemp(pattern);
    ::setenv("YARD_ENGINE_CONFIG", (g_Dir + "/engine.ini").c_str(), 1);
    EngineInit();
    BuildPristine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0)
        FuzzConfig(data + 1, size - 1);
    else
        FuzzTable(data + 1, size - 1);
    return 0;
}
