#pragma once

#include <string>
#include <vector>

namespace ws::test {

// What one run of a program printed and how it ended.
struct ProgramRun {
    std::string command; // the shell command line, for failure messages
    int status = -1;     // the exit status; -1 when it did not exit by itself or could not start
    std::string output;  // standard output and standard error as they came, interleaved

    bool Succeeded() const { return status == 0; }
};

// The word quoted for the shell, whatever it holds.
std::string ShellQuoted(const std::string& word);

// Runs a program with these words, standard input empty, and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& words);

// Runs the jobsdb built with the tests (the targets that call this depend on it).
ProgramRun RunJobsdb(const std::vector<std::string>& words);

} // namespace ws::test
