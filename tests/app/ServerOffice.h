#pragma once

// The office and the board model against a job database on the tests' database server, with
// nothing of our engine in between: the office writes through psql, the server's own client,
// and reads (for its choices and for the model) through libpq.

#include <cstdint>
#include <libpq-fe.h>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <variant>
#include <vector>

namespace ws::test {

using SqlValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

// A value written as an SQL literal. Numbers are quoted too: an untyped literal takes the
// column's type, so that 1 goes into a boolean column as well as into an integer one.
std::string SqlLiteral(const SqlValue& value);
// A name written as a quoted SQL identifier.
std::string SqlName(const std::string& name);
// The server table of a table file's name: "OrderHead.DB" -> "OrderHead".
std::string ServerTable(const std::string& file);

// One psql process for a whole run, fed statements through a pipe.
class Psql {
public:
    explicit Psql(const std::string& conninfo);
    ~Psql();
    Psql(const Psql&) = delete;
    Psql& operator=(const Psql&) = delete;

    // Runs the statements and waits until psql has done them; throws with psql's message when
    // one failed.
    void Run(const std::string& sql);

private:
    pid_t m_Pid = -1;
    int m_In = -1;
    int m_Err = -1;
    int m_Done = 0;
};

// A libpq session of the office's own.
class ServerReader {
public:
    explicit ServerReader(const std::string& conninfo);
    ~ServerReader();
    ServerReader(const ServerReader&) = delete;
    ServerReader& operator=(const ServerReader&) = delete;

    struct Result {
        std::vector<std::string> names;
        std::vector<unsigned> types; // the columns' type ids
        std::vector<std::vector<std::optional<std::string>>> rows;
    };
    Result Query(const std::string& sql);
    // The column that holds a table's row ids.
    const std::string& RowIdColumn(const std::string& file);
    // (row id, the field's text) of every row of a table, in row-id order.
    std::vector<std::pair<std::int64_t, std::string>> Keys(const std::string& file, const std::string& field);
    // Every row of a table as text, in row-id order, one line each.
    std::string Contents(const std::string& file);
    // Writes the tables as table files of 'dir' (a table "records" whose row ids are the
    // server's), for the board model to read as it reads a directory's tables.
    void CopyTables(const std::string& dir);

private:
    PGconn* m_Conn = nullptr;
    std::vector<std::pair<std::string, std::string>> m_RowIds;
};

} // namespace ws::test
