#include "EngineTestSupport.h"

#include <fstream>
#include <sqlite3.h>
#include <sys/stat.h>

namespace ws::engine::test {

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void RunSql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

} // namespace

class TableFixture : public EngineTest {
protected:
    EngineStatus OpenNamed(const std::string& name, const std::string& index = "") {
        hCursor cursor = 0;
        return OpenTable(m_Db, name, "", index, OpenMode::ReadWrite, ShareMode::Shared, cursor);
    }
    std::string LastContext() {
        const auto entries = LastErrorEntries();
        return entries.size() > 1 ? entries.back().context : std::string();
    }
};

class TableTest : public OnEachDriver<TableFixture> {};
ON_BOTH_DRIVERS(TableTest);

// Desktop driver only: these read, damage, rename or protect the table files themselves.
class TableFileTest : public TableFixture {};

TEST_P(TableTest, FieldDescriptionsRoundTripEveryType) {
    const hCursor cursor = Open();
    std::vector<FieldDesc> fields;
    ASSERT_EQ(GetFieldDescs(cursor, fields), esOk);
    const TableSpec tableSpec = JobsSpec();
    ASSERT_EQ(fields.size(), tableSpec.fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(tableSpec.fields[i].name);
        EXPECT_EQ(fields[i].number, i + 1);
        EXPECT_EQ(fields[i].name, tableSpec.fields[i].name);
        EXPECT_EQ(fields[i].type, tableSpec.fields[i].type);
        EXPECT_EQ(fields[i].subtype, tableSpec.fields[i].subtype);
        EXPECT_EQ(fields[i].size, tableSpec.fields[i].size);
    }
    EXPECT_TRUE(fields[0].readOnly);                 // autoincrement
    EXPECT_EQ(fields[fName - 1].length, 4 * 20 + 1); // 20 characters of UTF-8 and a zero
    EXPECT_EQ(fields[fDueDate - 1].length, 4);
    EXPECT_EQ(fields[fIsActive - 1].length, 2);

    std::vector<IndexDesc> indexes;
    ASSERT_EQ(GetIndexDescs(cursor, indexes), esOk);
    ASSERT_EQ(indexes.size(), 4u);
    IndexDesc active;
    EXPECT_EQ(GetIndexDesc(cursor, active), esUnknownIndex); // physical order
    ASSERT_EQ(SwitchToIndex(cursor, "inamECI"), esOk);
    ASSERT_EQ(GetIndexDesc(cursor, active), esOk);
    EXPECT_EQ(active.name, "iNameCI");
    EXPECT_TRUE(active.caseInsensitive);
    EXPECT_EQ(active.fields, std::vector<std::uint16_t>{fName});

    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), esOk);
    EXPECT_TRUE(props.canModify);
    EXPECT_EQ(props.tableName, "Jobs");
    EXPECT_EQ(props.fieldCount, 9);
    EXPECT_GE(props.bookmarkSize, 8 + 1 + 14 + 1 + 21);
}

TEST_P(TableTest, CreateRefusesBadSpecsAndExistingTables) {
    EXPECT_EQ(CreateTable(m_Db, JobsSpec()), esTableExists);
    TableSpec tableSpec = JobsSpec();
    tableSpec.name = "Other";
    tableSpec.fields[2].name = "orderno";
    EXPECT_EQ(CreateTable(m_Db, tableSpec), esInvalidParameter); // duplicate name, any case
    tableSpec = JobsSpec();
    tableSpec.name = "Other";
    tableSpec.indexes.push_back({"iBad", {42}, false, false, 0});
    EXPECT_EQ(CreateTable(m_Db, tableSpec), esInvalidField);
    tableSpec = JobsSpec();
    tableSpec.name = "../escape";
    EXPECT_EQ(CreateTable(m_Db, tableSpec), esInvalidParameter);
    tableSpec = JobsSpec();
    tableSpec.name = "It's";
    tableSpec.checks = {{fName, "*[A-Z]'x"}};
    EXPECT_EQ(CreateTable(m_Db, tableSpec), esOk)
        << LastContext(); // quotes in names and pictures are data, not SQL
    hCursor cursor = 0;
    ASSERT_EQ(OpenTable(m_Db, "It's.DB", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor), esOk);
    std::vector<ValidityCheck> checks;
    ASSERT_EQ(GetValidityChecks(cursor, checks), esOk);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].picture, "*[A-Z]'x");
}

TEST_F(TableFileTest, FilesThatAreNotOurTablesGiveClearStatuses) {
    EXPECT_EQ(OpenNamed("Missing.DB"), esTableNotFound);
    EXPECT_NE(LastContext().find("Missing.DB"), std::string::npos);

    WriteBytes(m_Dir + "/Text.DB", "this is not a database at all, just some text that is long enough");
    EXPECT_EQ(OpenNamed("Text.DB"), esNotATable);

    WriteBytes(m_Dir + "/Empty.DB", "");
    EXPECT_EQ(OpenNamed("Empty.DB"), esNotATable);

    RunSql(m_Dir + "/Foreign.DB", "CREATE TABLE t (a INTEGER, b TEXT)");
    EXPECT_EQ(OpenNamed("Foreign.DB"), esNotATable);
    EXPECT_NE(LastContext().find("not a table file of this engine"), std::string::npos);

    // Ours by its marker, but a field of a type we never write.
    std::filesystem::copy_file(TablePath(), m_Dir + "/Odd.DB");
    RunSql(m_Dir + "/Odd.DB", "ALTER TABLE records ADD COLUMN Picture BLOB");
    EXPECT_EQ(OpenNamed("Odd.DB"), esNotATable);
    EXPECT_NE(LastContext().find("Picture"), std::string::npos);

    std::filesystem::copy_file(TablePath(), m_Dir + "/Newer.DB");
    RunSql(m_Dir + "/Newer.DB", "UPDATE yard_table SET value = '9' WHERE key = 'version'");
    EXPECT_EQ(OpenNamed("Newer.DB"), esNotATable);
}

TEST_F(TableFileTest, DamagedAndTruncatedFilesFailWithoutCrashing) {
    {
        const hCursor cursor = Open();
        for (int i = 0; i < 300; ++i)
            AddJob(cursor, "Job" + std::to_string(i), 738000 + i % 17);
        CloseCursor(cursor);
    }
    EngineExit();
    ASSERT_EQ(EngineInit(), esOk);
    ASSERT_EQ(OpenDatabase(m_Dir, OpenMode::ReadWrite, ShareMode::Shared, m_Db), esOk);
    RunSql(TablePath(), "PRAGMA wal_checkpoint(TRUNCATE)");
    const auto size = std::filesystem::file_size(TablePath());
    ASSERT_GT(size, 8192u);
    std::filesystem::copy_file(TablePath(), m_Dir + "/Cut.DB");
    std::filesystem::resize_file(m_Dir + "/Cut.DB", size / 3);
    std::filesystem::copy_file(TablePath(), m_Dir + "/Header.DB");
    std::filesystem::resize_file(m_Dir + "/Header.DB", 50);
    std::filesystem::copy_file(TablePath(), m_Dir + "/Scribbled.DB");
    {
        std::fstream f(m_Dir + "/Scribbled.DB", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size / 2));
        const std::string junk(3000, '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    for (const char* name : {"Cut.DB", "Header.DB", "Scribbled.DB"}) {
        SCOPED_TRACE(name);
        hCursor cursor = 0;
        EngineStatus status =
            OpenTable(m_Db, name, "", "iDueDateA", OpenMode::ReadOnly, ShareMode::Shared, cursor);
        if (status == esOk) {
            std::vector<std::uint8_t> record = NewRecord(cursor);
            int rows = 0;
            while ((status = GetNextRecord(cursor, LockType::None, record.data())) == esOk)
                ++rows;
            EXPECT_LE(rows, 300);
            std::uint32_t count = 0;
            if (status == esEOF)
                status = GetExactRecordCount(cursor, count);
        }
        EXPECT_TRUE(status == esOk || status == esDamagedTable || status == esNotATable)
            << StatusName(status);
        // A scribble may land in text only; a file cut short never reads through to the end.
        if (std::string(name) != "Scribbled.DB") {
            EXPECT_NE(status, esOk);
        }
    }
}

TEST_P(TableTest, UnknownIndexAndBadFieldNumbersAreRefused) {
    EXPECT_EQ(OpenNamed("Jobs", "iNoSuchIndex"), esUnknownIndex);
    EXPECT_NE(LastContext().find("iNoSuchIndex"), std::string::npos);
    const hCursor cursor = Open("iDueDateA");
    EXPECT_EQ(SwitchToIndex(cursor, "iMissing"), esUnknownIndex);
    IndexDesc index;
    ASSERT_EQ(GetIndexDesc(cursor, index), esOk);
    EXPECT_EQ(index.name, "iDueDateA"); // a failed switch keeps the old order
    auto record = NewRecord(cursor);
    bool blank = false;
    EXPECT_EQ(GetField(cursor, 0, record.data(), nullptr, blank), esInvalidField);
    EXPECT_EQ(GetField(cursor, 10, record.data(), nullptr, blank), esInvalidField);
    EXPECT_EQ(PutValue(cursor, 99, record.data(), std::string("x")), esInvalidField);
    EXPECT_EQ(PutValue(cursor, fName, record.data(), 5), esInvalidParameter);
    std::string text;
    EXPECT_EQ(ReadMemo(cursor, fName, record.data(), text, blank), esInvalidField);
    EXPECT_EQ(SetValidityChecks(cursor, {{77, "#"}}), esInvalidField);
}

TEST_F(TableFileTest, ReadOnlyDatabasesAndFilesAskForReadOnlyOpen) {
    hDatabase readOnly = 0;
    ASSERT_EQ(OpenDatabase(m_Dir, OpenMode::ReadOnly, ShareMode::Shared, readOnly), esOk);
    hCursor cursor = 0;
    EXPECT_EQ(OpenTable(readOnly, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              esTableReadOnly);
    EXPECT_EQ(OpenTable(readOnly, "Jobs", "", "", OpenMode::ReadOnly, ShareMode::Shared, cursor), esOk);
    if (::geteuid() == 0)
        return; // root may write any file
    ASSERT_EQ(::chmod(TablePath().c_str(), 0444), 0);
    EXPECT_EQ(OpenNamed("Jobs"), esTableReadOnly);
}

TEST_P(TableTest, ReadOnlyCursorRefusesEveryWrite) {
    AddJob(Open(), "Smith", 738000);
    const hCursor cursor = Open("", OpenMode::ReadOnly);
    CursorProps props;
    ASSERT_EQ(GetCursorProps(cursor, props), esOk);
    EXPECT_FALSE(props.canModify);
    auto record = NewRecord(cursor);
    ASSERT_EQ(GetNextRecord(cursor, LockType::None, record.data()), esOk);
    EXPECT_EQ(ModifyRecord(cursor, record.data(), true), esTableReadOnly);
    EXPECT_EQ(InsertRecord(cursor, LockType::None, record.data()), esTableReadOnly);
    EXPECT_EQ(DeleteRecord(cursor), esTableReadOnly);
    EXPECT_EQ(SetValidityChecks(cursor, {}), esTableReadOnly);
}

TEST_P(TableTest, ExclusiveOpenExcludesOtherCursors) {
    hCursor first = 0;
    ASSERT_EQ(OpenTable(m_Db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Exclusive, first), esOk);
    hCursor second = 0;
    EXPECT_EQ(OpenTable(m_Db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, second), esTableInUse);
    ASSERT_EQ(CloseCursor(first), esOk);
    EXPECT_EQ(OpenTable(m_Db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, second), esOk);
    EXPECT_EQ(OpenTable(m_Db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Exclusive, first),
              esTableInUse);
}

TEST_F(TableFileTest, TableNamesIgnoreLetterCaseWhenNoExactFileExists) {
    std::filesystem::rename(TablePath(), m_Dir + "/JOBS.db");
    EXPECT_EQ(OpenNamed("Jobs"), esOk);
    EXPECT_EQ(OpenNamed("jobs.DB"), esOk);
    EXPECT_EQ(OpenNamed("Jobs.txt"), esTableNotFound);
}

TEST_P(TableTest, UniqueIndexRefusesDuplicateKeys) {
    TableSpec tableSpec = JobsSpec();
    tableSpec.name = "Unique";
    tableSpec.indexes = {{"iOrderNo", {fOrderNo}, false, true, 0}};
    ASSERT_EQ(CreateTable(m_Db, tableSpec), esOk);
    hCursor cursor = 0;
    ASSERT_EQ(OpenTable(m_Db, "Unique", "", "iOrderNo", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              esOk);
    AddJob(cursor, "First", 1, true, "A-1");
    auto record = NewRecord(cursor);
    ASSERT_EQ(PutValue(cursor, fOrderNo, record.data(), std::string("A-1")), esOk);
    EXPECT_EQ(InsertRecord(cursor, LockType::None, record.data()), esKeyViolation);
    std::uint32_t count = 0;
    ASSERT_EQ(GetRecordCount(cursor, count), esOk);
    EXPECT_EQ(count, 1u);
    std::vector<IndexDesc> indexes;
    ASSERT_EQ(GetIndexDescs(cursor, indexes), esOk);
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_TRUE(indexes[0].unique);
}

TEST_P(TableTest, ValidityChecksAreStoredInTheFile) {
    const hCursor cursor = Open();
    std::vector<ValidityCheck> checks;
    ASSERT_EQ(GetValidityChecks(cursor, checks), esOk);
    EXPECT_TRUE(checks.empty());
    ASSERT_EQ(SetValidityChecks(cursor, {{fOrderNo, "###-###"}, {fName, "*&"}}), esOk);
    const hCursor other = Open();
    ASSERT_EQ(GetValidityChecks(other, checks), esOk);
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].fieldNo, fOrderNo);
    EXPECT_EQ(checks[0].picture, "###-###");
    EXPECT_EQ(checks[1].picture, "*&");
}

} // namespace ws::engine::test
