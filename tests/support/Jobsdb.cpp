#include "support/Jobsdb.h"

#include <cstdio>
#include <sys/wait.h>

namespace ws::test {

std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& words) {
    ProgramRun run;
    run.command = ShellQuoted(program);
    for (const std::string& word : words)
        run.command += " " + ShellQuoted(word);
    FILE* pipe = ::popen((run.command + " </dev/null 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.output.append(chunk, n);
    const int raw = ::pclose(pipe);
    run.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

ProgramRun RunJobsdb(const std::vector<std::string>& words) {
    return RunProgram(JOBSDB_PATH, words);
}

} // namespace ws::test
