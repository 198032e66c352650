#pragma once

#include "support/TempDirectory.h"

#include <optional>
#include <string>

namespace ws::engine::test {

// One database server for the whole test executable, started at its first use in a temporary
// directory and reached only over a Unix socket there; stopped when the tests end. As root the
// server runs as the user nobody (the server refuses to run as root).
class PgServer {
public:
    static PgServer& Instance();
    // Starts the server once; false (with Why()) when the server's programs are missing or it
    // would not start.
    bool Start();
    const std::string& Why() const { return m_Why; }
    // A connection string for the server's database whose tables live in the given schema.
    std::string ConnInfo(const std::string& schema = "") const;
    void Stop();
    // Shuts the server down as an administrator does (sessions ended, the socket gone), keeping
    // its data, and starts it again on the same socket.
    bool Halt();
    bool Resume();

private:
    bool m_Tried = false;
    bool m_Running = false;
    std::string m_Why;
    std::optional<ws::test::TempDirectory> m_Temp;
    std::string m_Dir;
    std::string m_Bin;
    std::string m_AsUser; // the command prefix that runs the server's programs unprivileged
    std::string m_StartCommand;
};

} // namespace ws::engine::test
