#include "engine/Sqlite.h"

#include "engine/Errors.h"

#include <chrono>
#include <sqlite3.h>
#include <thread>

namespace ws::engine {

namespace {

// How long one operation waits for another process to finish its write before giving up.
constexpr auto kBusyBudget = std::chrono::seconds(10);
constexpr int kBusyHandlerMs = 250;

bool IsBusy(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

} // namespace

Statement::Statement(Statement&& other) noexcept
    : m_Db(other.m_Db), m_Stmt(other.m_Stmt), m_Stepped(other.m_Stepped) {
    other.m_Stmt = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_Stmt);
        m_Db = other.m_Db;
        m_Stmt = other.m_Stmt;
        m_Stepped = other.m_Stepped;
        other.m_Stmt = nullptr;
    }
    return *this;
}

Statement::~Statement() {
    sqlite3_finalize(m_Stmt);
}

void Statement::Bind(int index, const SqlValue& value) {
    if (std::holds_alternative<std::monostate>(value))
        sqlite3_bind_null(m_Stmt, index);
    else if (const auto* i = std::get_if<std::int64_t>(&value))
        sqlite3_bind_int64(m_Stmt, index, *i);
    else if (const auto* d = std::get_if<double>(&value))
        sqlite3_bind_double(m_Stmt, index, *d);
    else {
        const std::string& s = std::get<std::string>(value);
        sqlite3_bind_text(m_Stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
}

int Statement::Step() {
    const auto deadline = std::chrono::steady_clock::now() + kBusyBudget;
    for (;;) {
        const int rc = sqlite3_step(m_Stmt);
        if (rc == SQLITE_ROW)
            m_Stepped = true;
        if (!IsBusy(rc) || m_Stepped || std::chrono::steady_clock::now() >= deadline)
            return rc;
        sqlite3_reset(m_Stmt);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void Statement::Reset() {
    m_Stepped = false;
    sqlite3_reset(m_Stmt);
    sqlite3_clear_bindings(m_Stmt);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_Stmt, column) == SQLITE_NULL;
}
std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(m_Stmt, column);
}
double Statement::Real(int column) const {
    return sqlite3_column_double(m_Stmt, column);
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(m_Stmt, column);
    const int size = sqlite3_column_bytes(m_Stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                : std::string();
}

SqlValue Statement::Column(int column) const {
    switch (sqlite3_column_type(m_Stmt, column)) {
    case SQLITE_NULL:
        return std::monostate{};
    case SQLITE_INTEGER:
        return Int(column);
    case SQLITE_FLOAT:
        return Real(column);
    default:
        return Text(column);
    }
}

SqliteConnection::~SqliteConnection() {
    Close();
}

int SqliteConnection::Open(const std::string& path, bool readOnly, bool create) {
    Close();
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    flags |= SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &m_Db, flags, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_extended_result_codes(m_Db, 1);
    sqlite3_busy_timeout(m_Db, kBusyHandlerMs);
    return SQLITE_OK;
}

int SqliteConnection::OpenImmutable(const std::string& path) {
    Close();
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#')
            uri += c == '%' ? "%25" : c == '?' ? "%3f" : "%23";
        else
            uri += c;
    }
    uri += "?immutable=1";
    const int rc = sqlite3_open_v2(uri.c_str(), &m_Db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_extended_result_codes(m_Db, 1);
    return SQLITE_OK;
}

void SqliteConnection::Close() {
    if (m_Db)
        sqlite3_close_v2(m_Db);
    m_Db = nullptr;
}

Statement SqliteConnection::Prepare(const std::string& sql, int* rc) {
    sqlite3_stmt* stmt = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + kBusyBudget;
    for (;;) {
        *rc = sqlite3_prepare_v2(m_Db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
        if (!IsBusy(*rc) || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (*rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return {};
    }
    return Statement(m_Db, stmt);
}

int SqliteConnection::Exec(const std::string& sql) {
    const auto deadline = std::chrono::steady_clock::now() + kBusyBudget;
    for (;;) {
        const int rc = sqlite3_exec(m_Db, sql.c_str(), nullptr, nullptr, nullptr);
        if (!IsBusy(rc) || std::chrono::steady_clock::now() >= deadline)
            return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string SqliteConnection::LastMessage() const {
    return m_Db ? sqlite3_errmsg(m_Db) : "no connection";
}

EngineStatus StatusFromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return esOk;
    case SQLITE_NOTADB:
        return esNotATable;
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
        return esDamagedTable;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return esBusyTimeout;
    case SQLITE_NOMEM:
        return esOutOfMemory;
    case SQLITE_READONLY:
        return esTableReadOnly;
    case SQLITE_CONSTRAINT:
        return esKeyViolation;
    case SQLITE_CANTOPEN:
        return esTableNotFound;
    default:
        return esIOError;
    }
}

EngineStatus FailFromSqlite(int rc, const std::string& file, const std::string& message) {
    return Errors::Fail(StatusFromSqlite(rc), file + ": " + message, rc);
}

bool IsRowOrDone(int rc) {
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

} // namespace ws::engine
