#include "engine/PgConnection.h"

#include "engine/Errors.h"

#include <libpq-fe.h>
#include <poll.h>

namespace ws::engine {

PgResult::PgResult(pg_result* result) : m_Result(result, PQclear) {}

bool PgResult::Ok() const {
    if (!m_Result)
        return false;
    const ExecStatusType status = PQresultStatus(m_Result.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

int PgResult::Rows() const {
    return m_Result ? PQntuples(m_Result.get()) : 0;
}

bool PgResult::IsNull(int row, int column) const {
    return !m_Result || PQgetisnull(m_Result.get(), row, column) != 0;
}

std::string PgResult::Text(int row, int column) const {
    if (IsNull(row, column))
        return {};
    return std::string(PQgetvalue(m_Result.get(), row, column),
                       static_cast<std::size_t>(PQgetlength(m_Result.get(), row, column)));
}

long long PgResult::Affected() const {
    if (!m_Result)
        return 0;
    const char* text = PQcmdTuples(m_Result.get());
    return text && *text ? std::stoll(text) : 0;
}

std::string PgResult::Message() const {
    return m_Result ? PQresultErrorMessage(m_Result.get()) : std::string("no answer from the server");
}

std::string PgResult::State() const {
    if (!m_Result)
        return {};
    const char* state = PQresultErrorField(m_Result.get(), PG_DIAG_SQLSTATE);
    return state ? state : "";
}

PgConnection::~PgConnection() {
    Close();
}

bool PgConnection::Lost() const {
    return m_Conn && PQstatus(m_Conn) == CONNECTION_BAD;
}

bool PgConnection::EndedMeanwhile() {
    if (!m_Conn || PQstatus(m_Conn) == CONNECTION_BAD)
        return Lost();
    // An idle session has nothing to read unless the server said goodbye: its last words, then
    // the end of the connection, which marks the session lost.
    for (int reads = 0; reads < 4 && PQstatus(m_Conn) == CONNECTION_OK; ++reads) {
        pollfd wait{PQsocket(m_Conn), POLLIN, 0};
        if (::poll(&wait, 1, 0) <= 0 || PQconsumeInput(m_Conn) == 0)
            break;
        PQisBusy(m_Conn); // takes in what was read
    }
    return Lost();
}

void PgConnection::Close() {
    if (m_Conn)
        PQfinish(m_Conn);
    m_Conn = nullptr;
}

namespace {

std::string Chomp(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

EngineStatus PgConnection::CheckConnInfo(const std::string& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
    if (!options) {
        const std::string message = error ? Chomp(error) : std::string("out of memory");
        PQfreemem(error);
        return Errors::Fail(esInvalidParameter, "CONNINFO does not parse: " + message);
    }
    bool password = false;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (std::string(o->keyword) == "password" && o->val && *o->val)
            password = true;
    }
    PQconninfoFree(options);
    if (password)
        return Errors::Fail(esInvalidParameter, "CONNINFO holds a password; give it in ~/.pgpass "
                                                "(or the file PGPASSFILE names) instead");
    return esOk;
}

EngineStatus PgConnection::Connect(const std::string& conninfo) {
    Close();
    if (EngineStatus s = CheckConnInfo(conninfo))
        return s;
    m_Conn = PQconnectdb(conninfo.c_str());
    if (!m_Conn)
        return Errors::Fail(esOutOfMemory, "Connecting to the database server");
    if (PQstatus(m_Conn) != CONNECTION_OK) {
        const std::string message = Chomp(PQerrorMessage(m_Conn));
        Close();
        return Errors::Fail(esIOError, "Database server: " + message);
    }
    // The server's notices ("already exists, skipping") are nobody's business on a wall screen.
    PQsetNoticeProcessor(
        m_Conn, [](void*, const char*) {}, nullptr);
    // Texts are UTF-8 whatever the server's locale; numbers come back exactly.
    PQsetClientEncoding(m_Conn, "UTF8");
    PgResult set(PQexec(m_Conn, "SET extra_float_digits = 3"));
    if (!set.Ok()) {
        const std::string message = Chomp(set.Message());
        Close();
        return Errors::Fail(esIOError, "Database server: " + message);
    }
    return esOk;
}

PgResult PgConnection::Exec(const std::string& sql, const std::vector<PgParam>& params) {
    if (!m_Conn)
        return PgResult();
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const PgParam& p : params)
        values.push_back(p ? p->c_str() : nullptr);
    return PgResult(PQexecParams(m_Conn, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                                 nullptr, nullptr, 0));
}

EngineStatus PgConnection::Fail(const PgResult& result, const std::string& context) const {
    const std::string state = result.State();
    EngineStatus code = esIOError;
    if (state == "23505")
        code = esKeyViolation;
    else if (state == "22001")
        code = esValueTooLong;
    else if (state == "42P01")
        code = esTableNotFound;
    else if (state == "55P03" || state == "40001" || state == "40P01")
        code = esBusyTimeout;
    std::string message = Chomp(result.Message());
    if (message.empty() && m_Conn)
        message = Chomp(PQerrorMessage(m_Conn));
    Errors::Fail(code, context);
    Errors::AddContext("Database server: " + message);
    return code;
}

} // namespace ws::engine
