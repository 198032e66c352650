#pragma once

// What the job database's files hold, read with SQLite itself and from other processes, as the
// office sees it: rows, row locks, and a write transaction another program holds open.

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ws::test {

// The rows of one table file, each "v1|v2|..." for the columns asked for, in the order given.
inline std::vector<std::string> FileRows(const std::string& file, const std::string& columns,
                                         const std::string& orderBy = "rowid") {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << file << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT " + columns + " FROM records ORDER BY " + orderBy;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        ADD_FAILURE() << file << ": " << sql << ": " << sqlite3_errmsg(db);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const unsigned char* text = sqlite3_column_text(st, c);
            row += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

// Every row of every table file of the directory, with its row id.
inline std::string AllRows(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".DB")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    std::string all;
    for (const std::string& file : files) {
        all += file + "\n";
        for (const std::string& row : FileRows(file, "rowid, *"))
            all += row + "\n";
    }
    return all;
}

// Whether any process but a fresh one holds a row lock of the table: asked from a child process,
// since a process never sees its own byte-range locks as conflicts.
inline bool AnyRowLockHeld(const std::string& tableFile) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open((tableFile + ".lck").c_str(), O_RDWR);
        if (fd < 0)
            ::_exit(0);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = 1; // byte 0 is the table's open lock, every later one a row's
        probe.l_len = 0;
        const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        ::_exit(held ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
}

// Another process with a write transaction open on one table file, until Release() rolls it
// back. With a statement, the transaction holds its change too, made but not committed; Held()
// then says also that it changed a row.
class WriteTransactionHolder {
public:
    explicit WriteTransactionHolder(const std::string& file, const std::string& sql = {}) {
        int ready[2];
        int done[2];
        if (::pipe(ready) != 0 || ::pipe(done) != 0)
            return;
        m_Pid = ::fork();
        if (m_Pid == 0) {
            ::close(ready[0]);
            ::close(done[1]);
            sqlite3* db = nullptr;
            char said = 'n';
            if (sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
                sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK &&
                (sql.empty() || (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
                                 sqlite3_changes(db) > 0)))
                said = 'y';
            (void)!::write(ready[1], &said, 1);
            char c = 0;
            (void)!::read(done[0], &c, 1);
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(done[0]);
        m_Done = done[1];
        char said = 0;
        m_Held = ::read(ready[0], &said, 1) == 1 && said == 'y';
        ::close(ready[0]);
    }
    ~WriteTransactionHolder() { Release(); }
    WriteTransactionHolder(const WriteTransactionHolder&) = delete;
    WriteTransactionHolder& operator=(const WriteTransactionHolder&) = delete;

    bool Held() const { return m_Held; }
    void Release() {
        if (m_Done >= 0)
            ::close(m_Done);
        m_Done = -1;
        if (m_Pid > 0)
            ::waitpid(m_Pid, nullptr, 0);
        m_Pid = -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Done = -1;
    bool m_Held = false;
};

} // namespace ws::test
