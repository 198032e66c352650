#include "support/Jobsdb.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ws::test {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads each pipe into its text until all of them have ended.
void Drain(std::vector<std::pair<int, std::string*>> pipes) {
    while (!pipes.empty()) {
        std::vector<pollfd> waiting;
        for (const auto& [fd, text] : pipes)
            waiting.push_back(pollfd{fd, POLLIN, 0});
        if (::poll(waiting.data(), waiting.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        for (std::size_t i = waiting.size(); i-- > 0;) {
            if (waiting[i].revents == 0)
                continue;
            char chunk[4096];
            const ssize_t n = ::read(pipes[i].first, chunk, sizeof chunk);
            if (n > 0)
                pipes[i].second->append(chunk, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                pipes.erase(pipes.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

} // namespace

std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ShellCommand(const std::string& program, const std::vector<std::string>& words) {
    std::string command = ShellQuoted(program);
    for (const std::string& word : words)
        command += " " + ShellQuoted(word);
    return command;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& entries) {
    std::vector<std::string> environment = entries;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& own : entries)
            replaced = replaced || own.rfind(name, 0) == 0;
        if (!replaced)
            environment.push_back(entry);
    }
    return environment;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& words,
                      const ProgramOptions& options) {
    ProgramRun run;
    run.command = ShellCommand(program, words);
    std::vector<std::string> args{program};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<std::string> environment = EnvironmentWith(options.environment);
    const std::vector<char*> argv = Pointers(args);
    const std::vector<char*> envp = Pointers(environment);

    // Close-on-exec, so that a program another thread starts meanwhile holds no end of them.
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || (options.errorsApart && ::pipe2(err, O_CLOEXEC) != 0)) {
        for (int fd : {out[0], out[1]})
            if (fd >= 0)
                ::close(fd);
        run.output = "could not make a pipe: " + std::string(std::strerror(errno)) + "\n";
        return run;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!options.directory.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, options.errorsApart ? err[1] : out[1], 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    for (int fd : {out[1], err[1]})
        if (fd >= 0)
            ::close(fd);

    if (spawned == 0) {
        std::vector<std::pair<int, std::string*>> pipes{{out[0], &run.output}};
        if (err[0] >= 0)
            pipes.emplace_back(err[0], &run.errors);
        Drain(pipes);
        int raw = 0;
        pid_t waited = -1;
        while ((waited = ::waitpid(pid, &raw, 0)) < 0 && errno == EINTR) {
        }
        run.status = waited == pid && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    } else {
        run.output = "could not start: " + std::string(std::strerror(spawned)) + "\n";
    }
    for (int fd : {out[0], err[0]})
        if (fd >= 0)
            ::close(fd);
    return run;
}

Child::Child(std::vector<std::string> args, const std::vector<std::string>& environment,
             const std::string& errorsFile) {
    std::vector<std::string> env = EnvironmentWith(environment);
    const std::vector<char*> argv = Pointers(args);
    const std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!errorsFile.empty())
        ::posix_spawn_file_actions_addopen(&actions, 2, errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                           0644);
    if (::posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        m_Pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
}

Child::~Child() {
    if (m_Pid > 0 && !m_Status) {
        ::kill(m_Pid, SIGKILL);
        ::waitpid(m_Pid, nullptr, 0);
    }
}

bool Child::Running() {
    int status = 0;
    if (m_Pid > 0 && !m_Status && ::waitpid(m_Pid, &status, WNOHANG) == m_Pid)
        m_Status = status;
    return !m_Status.has_value();
}

int Child::Wait(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (Running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!m_Status)
        return -1;
    return WIFEXITED(*m_Status) ? WEXITSTATUS(*m_Status) : 128 + WTERMSIG(*m_Status);
}

ProgramRun RunJobsdb(const std::vector<std::string>& words, const ProgramOptions& options) {
    return RunProgram(JOBSDB_PATH, words, options);
}

} // namespace ws::test
