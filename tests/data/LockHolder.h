#pragma once

#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ws::test {

// `jobsdb lock` in a child process: holds the lock of one row until Release(). The test target
// defines JOBSDB_PATH, the jobsdb it runs.
class LockHolder {
public:
    LockHolder(const std::string& dir, const std::string& table, const std::string& field,
               const std::string& value)
        : LockHolder(std::vector<std::string>{"--dir", dir}, table, field, value) {}
    // 'database' names the database as jobsdb's options do: {"--dir", DIR} or {"--alias", NAME}.
    LockHolder(const std::vector<std::string>& database, const std::string& table, const std::string& field,
               const std::string& value) {
        std::vector<std::string> args{JOBSDB_PATH};
        args.insert(args.end(), database.begin(), database.end());
        args.insert(args.end(), {"lock", table, field, value});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int input[2];
        int output[2];
        if (::pipe(input) != 0 || ::pipe(output) != 0)
            return;
        m_Pid = ::fork();
        if (m_Pid == 0) {
            ::dup2(input[0], 0);
            ::dup2(output[1], 1);
            ::close(input[1]);
            ::close(output[0]);
            ::execv(JOBSDB_PATH, argv.data());
            ::_exit(127);
        }
        ::close(input[0]);
        ::close(output[1]);
        m_Input = input[1];
        char said[16] = {};
        const ssize_t n = ::read(output[0], said, sizeof said - 1);
        m_Locked = n > 0 && std::string(said, static_cast<std::size_t>(n)).rfind("locked", 0) == 0;
        ::close(output[0]);
    }
    ~LockHolder() { Release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool Locked() const { return m_Locked; }
    void Release() {
        if (m_Input >= 0)
            ::close(m_Input);
        m_Input = -1;
        if (m_Pid > 0)
            ::waitpid(m_Pid, nullptr, 0);
        m_Pid = -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Input = -1;
    bool m_Locked = false;
};

} // namespace ws::test
