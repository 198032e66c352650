#pragma once

#include "engine/Status.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace ws::engine {

// A statement parameter in the server's text form; nullopt is NULL.
using PgParam = std::optional<std::string>;

// The answer to one statement, in text form.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* result);
    bool Ok() const; // a command or a query that succeeded
    int Rows() const;
    bool IsNull(int row, int column) const;
    std::string Text(int row, int column) const;
    long long Affected() const;
    std::string Message() const;
    // The server's five-character SQLSTATE, empty when there is none (no answer at all).
    std::string State() const;

private:
    std::shared_ptr<pg_result> m_Result;
};

// One session with a database server. Record locks are held by the session, so every cursor has
// its own: the server drops them when the session ends, however its process ends.
class PgConnection {
public:
    PgConnection() = default;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection();

    // Fails with esIOError, naming the server's message, when no session can be had.
    EngineStatus Connect(const std::string& conninfo);
    void Close();
    bool IsOpen() const { return m_Conn != nullptr; }
    // The server went away or ended the session (a restart, a terminated backend).
    bool Lost() const;
    // Whether the server has ended the session since its last statement, as far as that can be
    // told without asking it (what it said before it closed the connection is waiting to be read).
    bool EndedMeanwhile();

    PgResult Exec(const std::string& sql, const std::vector<PgParam>& params = {});
    // A failed statement as an engine status with the server's message as context.
    EngineStatus Fail(const PgResult& result, const std::string& context) const;
    // Checks a connection string: a password in it is refused (passwords belong in the password
    // file), as is a string that does not parse.
    static EngineStatus CheckConnInfo(const std::string& conninfo);

private:
    pg_conn* m_Conn = nullptr;
};

} // namespace ws::engine
