#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ws::test {

// What one run of a program printed and how it ended.
struct ProgramRun {
    std::string command; // the command line as a shell would take it, for failure messages
    int status = -1;     // the exit status; -1 when it did not exit by itself or could not start
    std::string output;  // standard output, with standard error interleaved as it came unless kept apart
    std::string errors;  // standard error, when the run kept it apart

    bool Succeeded() const { return status == 0; }
    // The command and all it printed, for a failure message.
    std::string Report() const { return command + "\n" + output + errors; }
};

// How a program runs besides its words. By default: standard input empty, the test's own
// environment and working directory, standard error interleaved with standard output.
struct ProgramOptions {
    std::vector<std::string> environment; // "NAME=VALUE" entries that replace or add to the test's own
    std::string directory;                // the working directory; empty: the test's own
    bool errorsApart = false;             // standard error into 'errors' rather than into 'output'
};

// The word quoted for the shell, whatever it holds.
std::string ShellQuoted(const std::string& word);

// The program and its words as one shell command line, each quoted.
std::string ShellCommand(const std::string& program, const std::vector<std::string>& words);

// The test's own environment ("NAME=VALUE" entries) with 'entries' in place of, or beside, its own.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& entries);

// Runs a program with these words (no shell reads them) and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& words,
                      const ProgramOptions& options = {});

// Runs the jobsdb built with the tests (the targets that call this depend on it).
ProgramRun RunJobsdb(const std::vector<std::string>& words, const ProgramOptions& options = {});

// A program started in the background, killed if it is still running when the object goes.
// 'args' are the program's path and its words; 'environment' entries ("NAME=VALUE") replace or
// add to the test's own environment; with 'errorsFile', standard error goes to that file, made
// anew. Standard input and output are the test's own.
class Child {
public:
    explicit Child(std::vector<std::string> args, const std::vector<std::string>& environment = {},
                   const std::string& errorsFile = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_Pid > 0; }
    bool Running();
    // The exit code once it has ended within 'timeout'; -1 when it is still running, 128 + n
    // when signal n ended it.
    int Wait(std::chrono::milliseconds timeout);

private:
    pid_t m_Pid = -1;
    std::optional<int> m_Status;
};

} // namespace ws::test
