#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ws::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int rc = ::posix_spawn(&m_Pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_Input = toChild[1];
    m_Output = fromChild[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + program);
}

ChildProcess::~ChildProcess() {
    CloseInput();
    if (m_Pid > 0) {
        // Give it a moment to end on its own, as it does at the end of its input.
        for (int i = 0; i < 200 && m_Pid > 0; ++i) {
            int status;
            if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid)
                m_Pid = -1;
            else
                ::usleep(10000);
        }
        if (m_Pid > 0)
            Kill();
    }
    if (m_Output >= 0)
        ::close(m_Output);
}

void ChildProcess::WriteLine(const std::string& line) {
    std::string data = line + "\n";
    if (m_Input < 0 || ::write(m_Input, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
        throw std::runtime_error("cannot write to the child");
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::size_t end = m_Buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = m_Buffer.substr(0, end);
            m_Buffer.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd item{m_Output, POLLIN, 0};
        int rc = ::poll(&item, 1, static_cast<int>(left.count()));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return std::nullopt;
        char chunk[256];
        ssize_t n = ::read(m_Output, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        m_Buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> ChildProcess::Ask(const std::string& line) {
    WriteLine(line);
    return ReadLine();
}

void ChildProcess::CloseInput() {
    if (m_Input >= 0)
        ::close(m_Input);
    m_Input = -1;
}

void ChildProcess::Kill() {
    if (m_Pid <= 0)
        return;
    ::kill(m_Pid, SIGKILL);
    Wait();
}

int ChildProcess::Wait() {
    if (m_Pid <= 0)
        return -1;
    int status = 0;
    while (::waitpid(m_Pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace ws::test
