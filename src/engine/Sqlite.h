#pragma once

#include "engine/Status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

struct sqlite3;
struct sqlite3_stmt;

namespace ws::engine {

// A value as the storage layer holds it: null, integer, real or text.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// One prepared statement. Step() waits out transient busy answers from other processes within
// a bounded time, so a reader never fails because a writer was busy at that moment.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, sqlite3_stmt* stmt) : m_Db(db), m_Stmt(stmt) {}
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    void Bind(int index, const SqlValue& value);
    // SQLITE_ROW, SQLITE_DONE or an error code after the bounded wait.
    int Step();
    void Reset();

    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    SqlValue Column(int column) const;

private:
    sqlite3* m_Db = nullptr;
    sqlite3_stmt* m_Stmt = nullptr;
    // Once a row has been returned a busy answer cannot be retried from the start: that would
    // hand out the same rows twice.
    bool m_Stepped = false;
};

// One connection to one table file.
class SqliteConnection {
public:
    SqliteConnection() = default;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;
    ~SqliteConnection();

    // Opens an existing file (never creates one unless asked); returns the storage result code.
    int Open(const std::string& path, bool readOnly, bool create = false);
    // Opens an existing file for reading as it stands, taking no locks and needing no side files
    // (for a file in a directory this process may not write to).
    int OpenImmutable(const std::string& path);
    void Close();
    sqlite3* Handle() const { return m_Db; }

    // Prepares a statement; on failure the returned statement is empty and *rc holds the code.
    Statement Prepare(const std::string& sql, int* rc);
    // Runs SQL without results, with the bounded busy wait.
    int Exec(const std::string& sql);
    std::string LastMessage() const;

private:
    sqlite3* m_Db = nullptr;
};

// Maps a storage result code to an engine status.
EngineStatus StatusFromSqlite(int rc);
// Fails with the status for a storage error, naming the file and the storage layer's message.
EngineStatus FailFromSqlite(int rc, const std::string& file, const std::string& message);

bool IsRowOrDone(int rc);

} // namespace ws::engine
