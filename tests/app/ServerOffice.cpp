#include "app/ServerOffice.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ws::test {

namespace {

constexpr unsigned kBool = 16;
constexpr unsigned kInt8 = 20;
constexpr unsigned kInt2 = 21;
constexpr unsigned kInt4 = 23;
constexpr unsigned kFloat8 = 701;

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("psql: cannot write to it (it ended?)");
        done += static_cast<std::size_t>(n);
    }
}

class TableFile {
public:
    explicit TableFile(const std::string& path) {
        if (sqlite3_open(path.c_str(), &m_Db) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    ~TableFile() { sqlite3_close(m_Db); }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
    void Exec(const std::string& sql) {
        if (sqlite3_exec(m_Db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(m_Db));
    }
    sqlite3* Handle() const { return m_Db; }

private:
    sqlite3* m_Db = nullptr;
};

} // namespace

std::string SqlLiteral(const SqlValue& value) {
    if (std::holds_alternative<std::nullptr_t>(value))
        return "NULL";
    std::string text;
    if (const auto* s = std::get_if<std::string>(&value)) {
        text = *s;
    } else if (const auto* d = std::get_if<double>(&value)) {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", *d);
        text = number;
    } else {
        text = std::to_string(std::get<std::int64_t>(value));
    }
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

std::string SqlName(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string ServerTable(const std::string& file) {
    const std::size_t dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// ---- psql --------------------------------------------------------------------------------------

Psql::Psql(const std::string& conninfo) {
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("psql: no pipes");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::string database = conninfo;
    const char* argv[] = {"psql", "-X", "-q", "-v", "ON_ERROR_STOP=0", "-d", database.c_str(), nullptr};
    const int rc = ::posix_spawnp(&m_Pid, "psql", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(err[1]);
    m_In = in[1];
    m_Err = err[0];
    if (rc != 0) {
        m_Pid = -1;
        throw std::runtime_error("psql: cannot start it (Debian package postgresql-client)");
    }
    Run("SET client_min_messages = warning");
}

Psql::~Psql() {
    if (m_In >= 0)
        ::close(m_In);
    if (m_Pid > 0) {
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
    }
    if (m_Err >= 0)
        ::close(m_Err);
}

void Psql::Run(const std::string& sql) {
    // psql writes its messages to its standard error, and so does \warn: the marker comes after
    // whatever the statements said.
    const std::string marker = "ws-done-" + std::to_string(++m_Done) + "\n";
    WriteAll(m_In, sql + ";\n\\warn " + marker);
    std::string said;
    char chunk[4096];
    while (said.size() < marker.size() ||
           said.compare(said.size() - marker.size(), marker.size(), marker) != 0) {
        pollfd wait{m_Err, POLLIN, 0};
        if (::poll(&wait, 1, 30'000) <= 0)
            throw std::runtime_error("psql: no answer in 30 s to: " + sql.substr(0, 200));
        const ssize_t n = ::read(m_Err, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("psql ended: " + said);
        said.append(chunk, static_cast<std::size_t>(n));
    }
    said.resize(said.size() - marker.size());
    if (!said.empty())
        throw std::runtime_error("psql: " + sql.substr(0, 300) + ":\n" + said);
}

// ---- libpq -------------------------------------------------------------------------------------

ServerReader::ServerReader(const std::string& conninfo) : m_Conn(PQconnectdb(conninfo.c_str())) {
    if (PQstatus(m_Conn) != CONNECTION_OK)
        throw std::runtime_error(std::string("office: cannot reach the server: ") + PQerrorMessage(m_Conn));
}

ServerReader::~ServerReader() {
    PQfinish(m_Conn);
}

ServerReader::Result ServerReader::Query(const std::string& sql) {
    PGresult* result = PQexec(m_Conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const std::string message = PQresultErrorMessage(result);
        PQclear(result);
        throw std::runtime_error("office: " + sql + ": " + message);
    }
    Result out;
    for (int c = 0; c < PQnfields(result); ++c) {
        out.names.emplace_back(PQfname(result, c));
        out.types.push_back(PQftype(result, c));
    }
    for (int r = 0; r < PQntuples(result); ++r) {
        auto& row = out.rows.emplace_back();
        for (int c = 0; c < PQnfields(result); ++c) {
            if (PQgetisnull(result, r, c))
                row.emplace_back(std::nullopt);
            else
                row.emplace_back(std::string(PQgetvalue(result, r, c),
                                             static_cast<std::size_t>(PQgetlength(result, r, c))));
        }
    }
    PQclear(result);
    return out;
}

const std::string& ServerReader::RowIdColumn(const std::string& file) {
    const std::string table = ServerTable(file);
    for (const auto& [name, column] : m_RowIds)
        if (name == table)
            return column;
    const Result found =
        Query("SELECT rowid_column FROM yard_tables WHERE lower(name) = lower(" + SqlLiteral(table) + ")");
    if (found.rows.size() != 1 || !found.rows[0][0])
        throw std::runtime_error("office: no table " + table + " on the server");
    return m_RowIds.emplace_back(table, *found.rows[0][0]).second;
}

std::vector<std::pair<std::int64_t, std::string>> ServerReader::Keys(const std::string& file,
                                                                     const std::string& field) {
    const std::string id = SqlName(RowIdColumn(file));
    std::vector<std::pair<std::int64_t, std::string>> keys;
    for (const auto& row : Query("SELECT " + id + ", " + SqlName(field) + " FROM " +
                                 SqlName(ServerTable(file)) + " ORDER BY " + id)
                               .rows)
        keys.emplace_back(std::stoll(*row[0]), row[1].value_or(""));
    return keys;
}

std::string ServerReader::Contents(const std::string& file) {
    std::string text;
    for (const auto& row : Query("SELECT t::text FROM " + SqlName(ServerTable(file)) + " t ORDER BY t." +
                                 SqlName(RowIdColumn(file)))
                               .rows)
        text += *row[0] + "\n";
    return text;
}

void ServerReader::CopyTables(const std::string& dir) {
    for (const char* file : {"OrderHead.DB", "Jewish.DB", "RNR.DB", "Options.DB"}) {
        const std::string& id = RowIdColumn(file);
        const Result all = Query("SELECT * FROM " + SqlName(ServerTable(file)) + " ORDER BY " + SqlName(id));
        std::size_t idAt = 0;
        std::string columns;
        std::string marks;
        for (std::size_t c = 0; c < all.names.size(); ++c) {
            if (all.names[c] == id)
                idAt = c;
            columns += (c ? ", " : "") + SqlName(all.names[c]);
            marks += c ? ", ?" : "?";
        }
        TableFile copy(dir + "/" + file);
        copy.Exec("BEGIN; DROP TABLE IF EXISTS records; CREATE TABLE records (" + columns + ")");
        sqlite3_stmt* insert = nullptr;
        const std::string sql = "INSERT INTO records (rowid, " + columns + ") VALUES (?, " + marks + ")";
        if (sqlite3_prepare_v2(copy.Handle(), sql.c_str(), -1, &insert, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(copy.Handle()));
        for (const auto& row : all.rows) {
            sqlite3_reset(insert);
            sqlite3_bind_int64(insert, 1, std::stoll(*row[idAt]));
            for (std::size_t c = 0; c < row.size(); ++c) {
                const int at = static_cast<int>(c + 2);
                const unsigned type = all.types[c];
                if (!row[c])
                    sqlite3_bind_null(insert, at);
                else if (type == kBool)
                    sqlite3_bind_int64(insert, at, *row[c] == "t" ? 1 : 0);
                else if (type == kInt2 || type == kInt4 || type == kInt8)
                    sqlite3_bind_int64(insert, at, std::stoll(*row[c]));
                else if (type == kFloat8)
                    sqlite3_bind_double(insert, at, std::stod(*row[c]));
                else
                    sqlite3_bind_text(insert, at, row[c]->c_str(), static_cast<int>(row[c]->size()),
                                      SQLITE_TRANSIENT);
            }
            if (sqlite3_step(insert) != SQLITE_DONE) {
                const std::string message = sqlite3_errmsg(copy.Handle());
                sqlite3_finalize(insert);
                throw std::runtime_error("copy of " + std::string(file) + ": " + message);
            }
        }
        sqlite3_finalize(insert);
        copy.Exec("COMMIT");
    }
}

} // namespace ws::test
