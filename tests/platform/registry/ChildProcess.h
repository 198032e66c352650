#pragma once

// A helper process driven through its stdin and stdout, for tests that need a second process.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace ws::test {

class ChildProcess {
public:
    // Starts 'program' with 'arguments'; it inherits this process's environment.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Ends the input and waits for the process, killing it if it does not end promptly.
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int Pid() const { return m_Pid; }
    void WriteLine(const std::string& line);
    // The next output line, or nothing once 'timeout' passes or the output ends.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Sends a line and returns the answering line.
    std::optional<std::string> Ask(const std::string& line);
    void CloseInput();
    // SIGKILL, and waits until the process is gone.
    void Kill();
    // Waits for the process to end; its exit code, or -1.
    int Wait();

private:
    int m_Pid = -1;
    int m_Input = -1;
    int m_Output = -1;
    std::string m_Buffer;
};

} // namespace ws::test
