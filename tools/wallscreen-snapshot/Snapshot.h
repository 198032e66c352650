#pragma once

// Runs the wall screen's real start-up on the headless window system at a chosen local time and
// writes what it showed: the main window as a PNG and an account of it as JSON.

#include "base/DateTime.h"
#include "base/Exception.h"

#include <string>

namespace ws::tools {

struct SnapshotOptions {
    TDateTime at = 0;         // local date and time at start-up
    std::string dir;          // job database directory for the alias YardData; empty: as configured
    int ticks = 0;            // refresh ticks (5000 ms each) after start-up
    std::string png;          // where the painted main window goes; empty: nowhere
    std::string json;         // where the account goes; empty: standard output
    bool minimized = false;   // started with a request to run minimised
    int holdMs = 0;           // afterwards, keep answering other processes for this long in real time
    std::string betweenTicks; // a shell command run before each tick; empty: none
    std::string jsonDir;      // where each tick's account goes as tick-NNNN.json; empty: nowhere
};

// The command run before a tick failed; the run stopped there.
class EBetweenTicksFailed : public Exception {
public:
    using Exception::Exception;
};

// Runs the program and writes its outputs. Returns the program's exit code; raises
// EBetweenTicksFailed when the command run between ticks fails.
int RunSnapshot(const SnapshotOptions& options);

} // namespace ws::tools
