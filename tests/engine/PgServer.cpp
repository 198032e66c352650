#include "PgServer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace ws::engine::test {

namespace {

std::string Run(const std::string& command) {
    const int rc = std::system(command.c_str());
    return rc == 0 ? std::string() : command + " (exit status " + std::to_string(rc) + ")";
}

std::string Tail(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

class StopServer : public ::testing::Environment {
public:
    void TearDown() override { PgServer::Instance().Stop(); }
};

[[maybe_unused]] ::testing::Environment* const g_StopServer =
    ::testing::AddGlobalTestEnvironment(new StopServer);

} // namespace

PgServer& PgServer::Instance() {
    static PgServer server;
    return server;
}

bool PgServer::Start() {
    if (m_Tried)
        return m_Running;
    m_Tried = true;
    std::error_code ec;
    std::vector<std::string> bins;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        if (std::filesystem::exists(entry.path() / "bin/initdb") &&
            std::filesystem::exists(entry.path() / "bin/pg_ctl"))
            bins.push_back((entry.path() / "bin").string());
    }
    if (bins.empty()) {
        m_Why = "the database server's programs (/usr/lib/postgresql/*/bin: initdb, pg_ctl) are not "
                "installed; Debian package postgresql";
        return false;
    }
    std::sort(bins.begin(), bins.end());
    m_Bin = bins.back();
    try {
        m_Temp.emplace("ws-pg");
    } catch (const std::runtime_error& e) {
        m_Why = std::string("no temporary directory for the server: ") + e.what();
        return false;
    }
    m_Dir = m_Temp->Path();
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody) {
            m_Why = "running as root, and there is no user nobody to run the server as";
            return false;
        }
        if (::chown(m_Dir.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_Why = "cannot hand the server's directory to nobody";
            return false;
        }
        m_AsUser = "setpriv --reuid=" + std::to_string(nobody->pw_uid) +
                   " --regid=" + std::to_string(nobody->pw_gid) + " --clear-groups -- ";
    }
    const std::string data = m_Dir + "/data";
    std::string failure =
        Run(m_AsUser + m_Bin + "/initdb -D " + data + " -U yard -A trust -E UTF8 --locale=C " +
            "--no-sync >" + m_Dir + "/initdb.log 2>&1");
    if (!failure.empty()) {
        m_Why = "initdb failed: " + failure + "\n" + Tail(m_Dir + "/initdb.log");
        return false;
    }
    m_StartCommand = m_AsUser + m_Bin + "/pg_ctl -D " + data + " -l " + m_Dir + "/server.log -w -s -o \"-k " +
                     m_Dir + " -c listen_addresses='' -p 5432 -c fsync=off -c synchronous_commit=off " +
                     "-c full_page_writes=off\" start >" + m_Dir + "/pg_ctl.log 2>&1";
    failure = Run(m_StartCommand);
    if (!failure.empty()) {
        m_Why = "the server did not start: " + failure + "\n" + Tail(m_Dir + "/server.log");
        return false;
    }
    m_Running = true;
    return true;
}

std::string PgServer::ConnInfo(const std::string& schema) const {
    std::string conninfo = "host=" + m_Dir + " port=5432 user=yard dbname=postgres";
    if (!schema.empty())
        conninfo += " options='-csearch_path=" + schema + "'";
    return conninfo;
}

bool PgServer::Halt() {
    if (!m_Running)
        return false;
    m_Running =
        !Run(m_AsUser + m_Bin + "/pg_ctl -D " + m_Dir + "/data -m fast -w -s stop >/dev/null 2>&1").empty();
    return !m_Running;
}

bool PgServer::Resume() {
    if (m_Running || m_StartCommand.empty())
        return m_Running;
    m_Running = Run(m_StartCommand).empty();
    return m_Running;
}

void PgServer::Stop() {
    if (m_Running)
        Run(m_AsUser + m_Bin + "/pg_ctl -D " + m_Dir + "/data -m immediate -s stop >/dev/null 2>&1");
    m_Running = false;
    m_Temp.reset();
    m_Dir.clear();
}

} // namespace ws::engine::test
