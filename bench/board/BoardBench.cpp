// board_bench: the cost of the board's five-second tick against the floor, the least such a tick
// can cost done directly with SQLite, over job databases of 1,000 to 100,000 orders.
//
//   board_bench [--smallest] [--ticks N]
//
// Each size is built in a fresh directory; the board (start-up, then N ticks on the headless
// window system, after one tick not counted) and the floor (N ticks, after one not counted) each
// run in a process of their own, so that each one's peak memory is its own. The board's header
// must give the counts the floor found; a board that shows something else, or never paints,
// fails the run (exit status 1). --smallest runs the 1,000-order database only.

#include "Floor.h"
#include "JobDatabase.h"
#include "app/Program.h"
#include "app/frmJobs.h"
#include "base/DateTime.h"
#include "engine/Engine.h"
#include "platform/HeadlessWindowSystem.h"
#include "ui/Application.h"
#include "ui/Label.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kTickMs = 5000;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time this process has used, user and system, in milliseconds: on a machine shared with
// other work the wall time of a tick also counts the time others had the processor.
double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// What a child process reports: one line of text, its exit status and its peak memory.
struct ChildResult {
    bool ok = false;
    std::string line;
    long peakRssKb = 0;
};

// Runs 'work' in a child process; its return value is the one line the child sends back.
ChildResult InChild(const std::function<std::string()>& work) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    std::cout.flush();
    const pid_t pid = ::fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        ::close(fds[0]);
        int status = 0;
        std::string line;
        try {
            line = work();
        } catch (const std::exception& e) {
            line = std::string("error: ") + e.what();
            status = 1;
        }
        line += "\n";
        const ssize_t written = ::write(fds[1], line.data(), line.size());
        ::close(fds[1]);
        std::_Exit(written == static_cast<ssize_t>(line.size()) ? status : 1);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    ChildResult result;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    result.line = text.empty()
                      ? "the child process ended without a word (status " + std::to_string(status) + ")"
                      : text;
    result.peakRssKb = usage.ru_maxrss;
    return result;
}

// Start-up, one tick not counted, then 'ticks' timed ones. Reports
// "<start-up ms> <start-up processor ms> <ms per tick> <processor ms per tick> <header text>".
std::string RunBoard(const std::string& dir, int ticks) {
    using namespace ws;
    engine::EngineInit();
    if (engine::AddSessionAlias("YardData", "DESKTOP", {{"PATH", dir}}) != engine::esOk)
        throw std::runtime_error("cannot define the alias YardData");
    platform::HeadlessOptions options;
    options.start = ParseIso(bench::kBenchStart);
    platform::HeadlessWindowSystem system(options);
    // Its own single-instance scope: a board running elsewhere on this machine must not stop it.
    std::filesystem::create_directories(dir + "/instance");
    system.SetInstanceScope(dir + "/instance");
    // Any box the board shows (a missing table, missing colour bands) means it is not measured
    // on what it should be.
    std::string boxes;
    system.SetMessageBoxResponder([&boxes](const platform::MessageBoxRequest& request) {
        boxes += (boxes.empty() ? "" : "; ") + request.text;
    });
    double startupMs = 0;
    double startupCpuMs = 0;
    double tickMs = 0;
    double tickCpuMs = 0;
    std::string header;
    std::string problem;
    {
        TApplication application(system);
        const int exitCode = application.Execute([&] {
            const Clock::time_point start = Clock::now();
            const double startCpu = CpuMs();
            StartWallScreen();
            Application->ShowMainFormAtStart();
            system.ProcessMessages();
            startupMs = MsSince(start);
            startupCpuMs = CpuMs() - startCpu;
            TActiveJobsForm* form = ActiveJobsForm;
            if (form == nullptr || !form->HandleAllocated() || system.PresentCount(form->Handle()) == 0) {
                problem = "the board never painted";
                return;
            }
            system.AdvanceTime(kTickMs);
            const Clock::time_point first = Clock::now();
            const double cpuBefore = CpuMs();
            for (int i = 0; i < ticks && !system.Terminated(); ++i)
                system.AdvanceTime(kTickMs);
            tickMs = MsSince(first) / ticks;
            tickCpuMs = (CpuMs() - cpuBefore) / ticks;
            if (system.Terminated())
                problem = "the board ended during the ticks";
            header = form->HeaderLbl()->Caption();
        });
        if (problem.empty() && exitCode != 0)
            problem = "the board's exit code was " + std::to_string(exitCode);
    }
    if (!boxes.empty())
        problem += (problem.empty() ? "" : "; ") + std::string("it showed: ") + boxes;
    engine::EngineExit();
    if (!problem.empty())
        throw std::runtime_error(problem);
    std::ostringstream out;
    out << startupMs << " " << startupCpuMs << " " << tickMs << " " << tickCpuMs << " " << header;
    return out.str();
}

// One tick not counted, then 'ticks' timed ones. Reports "<ms per tick> <processor ms per tick>
// <header text>", the header as the board would write it for the counts found.
std::string RunFloor(const std::string& dir, int ticks) {
    ws::bench::Floor floor(dir, ws::TActiveJobsForm::RunWidth, ws::TActiveJobsForm::RunHeight);
    ws::bench::FloorCounts counts = floor.Tick();
    std::uint64_t sum = 0;
    const Clock::time_point first = Clock::now();
    const double cpuBefore = CpuMs();
    for (int i = 0; i < ticks; ++i) {
        counts = floor.Tick();
        sum ^= counts.checksum;
    }
    const double tickMs = MsSince(first) / ticks;
    const double tickCpuMs = (CpuMs() - cpuBefore) / ticks;
    std::ostringstream out;
    out << tickMs << " " << tickCpuMs << " "
        << ws::BoardHeaderText(counts.jewish, counts.specialDate, counts.interment);
    // The checksum only keeps the work from being optimised away.
    if (sum == 1)
        out << " ";
    return out.str();
}

struct Case {
    int orders;
    int active;
};

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// Measures one database; false when the board or the floor failed or the two disagree.
bool Measure(const Case& c, int ticks) {
    char pattern[] = "/tmp/ws-board-bench-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) {
        std::cerr << "board_bench: cannot make a directory in /tmp\n";
        return false;
    }
    const std::string dir = made;
    bool ok = false;
    const ChildResult built = InChild([&] {
        const ws::bench::JobDatabaseFacts facts = ws::bench::BuildJobDatabase(dir, {c.orders, c.active});
        return std::to_string(facts.active);
    });
    if (!built.ok) {
        std::cerr << "board_bench: " << c.orders << " orders: " << built.line << "\n";
    } else {
        const ChildResult board = InChild([&] { return RunBoard(dir, ticks); });
        const ChildResult floor = InChild([&] { return RunFloor(dir, ticks); });
        std::istringstream boardLine(board.line);
        std::istringstream floorLine(floor.line);
        double startupMs = 0, startupCpuMs = 0, boardMs = 0, boardCpuMs = 0, floorMs = 0, floorCpuMs = 0;
        std::string boardHeader, floorHeader;
        boardLine >> startupMs >> startupCpuMs >> boardMs >> boardCpuMs;
        std::getline(boardLine >> std::ws, boardHeader);
        floorLine >> floorMs >> floorCpuMs;
        std::getline(floorLine >> std::ws, floorHeader);
        if (!board.ok)
            std::cerr << "board_bench: " << c.orders << " orders, board: " << board.line << "\n";
        else if (!floor.ok)
            std::cerr << "board_bench: " << c.orders << " orders, floor: " << floor.line << "\n";
        else if (boardHeader != floorHeader)
            std::cerr << "board_bench: " << c.orders << " orders: the board shows \"" << boardHeader
                      << "\", the table files give \"" << floorHeader << "\"\n";
        else
            ok = true;
        if (ok) {
            std::cout << Pad(std::to_string(c.orders), 7) << Pad(built.line, 8) << Pad(Fixed(boardMs, 1), 10)
                      << Pad(Fixed(floorMs, 1), 10) << Pad(Fixed(floorMs > 0 ? boardMs / floorMs : 0, 1), 8)
                      << Pad(Fixed(boardCpuMs, 1), 10) << Pad(Fixed(floorCpuMs, 1), 10)
                      << Pad(Fixed(floorCpuMs > 0 ? boardCpuMs / floorCpuMs : 0, 1), 8)
                      << Pad(Fixed(startupMs, 0), 10) << Pad(Fixed(startupCpuMs, 0), 6)
                      << Pad(Fixed(board.peakRssKb / 1024.0, 1), 8)
                      << Pad(Fixed(floor.peakRssKb / 1024.0, 1), 8) << std::endl;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok;
}

[[noreturn]] void Usage(const std::string& problem) {
    std::cerr << "board_bench: " << problem << "\nusage: board_bench [--smallest] [--ticks N]\n";
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    bool smallest = false;
    int ticks = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--smallest") {
            smallest = true;
        } else if (arg == "--ticks" && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 1 || n > 10000)
                Usage("--ticks wants a whole number from 1 to 10000");
            ticks = static_cast<int>(n);
        } else {
            Usage("unknown option " + arg);
        }
    }
    std::vector<Case> cases{{1000, 130}};
    if (!smallest)
        cases.insert(cases.end(), {{10000, 130}, {10000, 10000}, {100000, 130}, {100000, 100000}});
    // Per tick: wall milliseconds of board and floor and their ratio, then the same in processor
    // time; the board's start-up to its first paint, wall and processor; each side's peak memory in
    // MB.
    std::cout << "                  wall ms per tick         cpu ms per tick      start-up ms   peak RSS MB\n"
              << " orders  active     board     floor   ratio     board     floor   ratio      wall   cpu   "
                 "board   floor"
              << std::endl;
    bool ok = true;
    for (const Case& c : cases)
        ok = Measure(c, ticks) && ok;
    return ok ? 0 : 1;
}
