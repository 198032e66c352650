// wallscreen-snapshot: runs the wall screen's real start-up and refresh cycle on the headless
// window system and writes what it showed.
//
//   wallscreen-snapshot --at "YYYY-MM-DD HH:MM:SS.mmm" [--dir DIR] [--ticks N] [--png FILE]
//                       [--json FILE] [--minimized] [--hold MS]
//                       [--between-ticks CMD] [--json-dir DIR]
//
// The account's format is described in docs/snapshot-format.md. The exit code is the program's.

#include "Snapshot.h"
#include "base/Exception.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

[[noreturn]] void Usage(const std::string& problem) {
    std::cerr << "wallscreen-snapshot: " << problem << "\n"
              << "usage: wallscreen-snapshot --at \"YYYY-MM-DD HH:MM:SS.mmm\" [--dir DIR] [--ticks N]\n"
              << "                           [--png FILE] [--json FILE] [--minimized] [--hold MS]\n"
              << "                           [--between-ticks CMD] [--json-dir DIR]\n";
    std::exit(2);
}

int WholeNumber(const std::string& option, const std::string& value, int most) {
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || n < 0 || n > most)
        Usage(option + " wants a whole number from 0 to " + std::to_string(most));
    return static_cast<int>(n);
}

ws::tools::SnapshotOptions ParseOptions(int argc, char** argv) {
    ws::tools::SnapshotOptions options;
    bool haveAt = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--minimized") {
            options.minimized = true;
            continue;
        }
        if (i + 1 >= argc)
            Usage("missing value after " + arg);
        const std::string value = argv[++i];
        if (arg == "--at") {
            try {
                options.at = ws::ParseIso(value);
            } catch (const ws::Exception& e) {
                Usage("--at: " + e.Message());
            }
            haveAt = true;
        } else if (arg == "--dir") {
            options.dir = value;
        } else if (arg == "--ticks") {
            options.ticks = WholeNumber(arg, value, 1'000'000);
        } else if (arg == "--png") {
            options.png = value;
        } else if (arg == "--json") {
            options.json = value;
        } else if (arg == "--between-ticks") {
            if (value.empty())
                Usage("--between-ticks wants a command");
            options.betweenTicks = value;
        } else if (arg == "--json-dir") {
            if (value.empty())
                Usage("--json-dir wants a directory");
            options.jsonDir = value;
        } else if (arg == "--hold") {
            options.holdMs = WholeNumber(arg, value, 3'600'000);
        } else {
            Usage("unknown option " + arg);
        }
    }
    if (!haveAt)
        Usage("--at is required");
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const ws::tools::SnapshotOptions options = ParseOptions(argc, argv);
    try {
        return ws::tools::RunSnapshot(options);
    } catch (const ws::tools::EBetweenTicksFailed& e) {
        std::cerr << "wallscreen-snapshot: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "wallscreen-snapshot: " << e.what() << "\n";
        return 3;
    }
}
