#pragma once

#include <string>
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

} // namespace ws::test
