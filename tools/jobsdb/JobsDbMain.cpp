// jobsdb --dir DIR COMMAND ...
//   init                                  the four empty job tables and the index iDueDateA
//   demo [--today YYYY-MM-DD]             a demo database around that day
//   put TABLE FIELD=VALUE...              insert a row
//   update TABLE KEY=VALUE FIELD=VALUE... change the first row whose KEY equals VALUE
//   delete TABLE KEY=VALUE                delete the first row whose KEY equals VALUE
//   dump TABLE [--index NAME] [--filter TEXT]
//                                         field names, one line per row, then the count
//   filter TABLE TEXT                     the engine's expression buffer for TEXT, in hex
//   locate TABLE FIELD VALUE              the first matching row, or "not found"
//   lock TABLE FIELD VALUE                lock that row until standard input closes
// Values are text: dates YYYY-MM-DD, booleans True/False, an empty value is null.

#include "FilterCommand.h"
#include "JobsDbCommands.h"
#include "base/Exception.h"
#include "base/Locale.h"
#include "data/Session.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "usage: jobsdb --dir DIR (init | demo [--today YYYY-MM-DD] | put TABLE FIELD=VALUE... |\n"
                 "       update TABLE KEY=VALUE FIELD=VALUE... | delete TABLE KEY=VALUE |\n"
                 "       dump TABLE [--index NAME] [--filter TEXT] | filter TABLE TEXT |\n"
                 "       locate TABLE FIELD VALUE | lock TABLE FIELD VALUE)\n";
    return 2;
}

// Takes "--name value" out of the arguments; empty when absent.
std::string TakeOption(std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return value;
        }
    }
    return {};
}

int Run(std::vector<std::string> args) {
    using namespace ws::jobsdb;
    const std::string dir = TakeOption(args, "--dir");
    if (dir.empty() || args.empty())
        return Usage();
    ws::Session().AddAlias(kAlias, "DESKTOP", {{"PATH", dir}});
    const std::string command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "init" && rest.empty()) {
        InitDatabase();
    } else if (command == "demo") {
        std::vector<std::string> options = rest;
        const std::string today = TakeOption(options, "--today");
        if (!options.empty())
            return Usage();
        CreateDemoDatabase(today);
    } else if (command == "put" && rest.size() >= 2) {
        PutRow(rest[0], {rest.begin() + 1, rest.end()});
    } else if (command == "update" && rest.size() >= 3) {
        UpdateRow(rest[0], rest[1], {rest.begin() + 2, rest.end()});
    } else if (command == "delete" && rest.size() == 2) {
        DeleteRow(rest[0], rest[1]);
    } else if (command == "dump" && !rest.empty()) {
        std::vector<std::string> options = rest;
        const std::string index = TakeOption(options, "--index");
        const std::string filter = TakeOption(options, "--filter");
        if (options.size() != 1)
            return Usage();
        DumpTable(options[0], index, filter, std::cout);
    } else if (command == "filter" && rest.size() == 2) {
        const FilterCommandResult result = FilterCommandForTable(dir, rest[0], rest[1]);
        (result.exitStatus ? std::cerr : std::cout) << result.output;
        return result.exitStatus;
    } else if (command == "locate" && rest.size() == 3) {
        LocateRow(rest[0], rest[1], rest[2], std::cout);
    } else if (command == "lock" && rest.size() == 3) {
        LockRow(rest[0], rest[1], rest[2], std::cin, std::cout);
    } else {
        return Usage();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Fixed formats, so that what the tool prints does not depend on the environment's locale.
    ws::TScopedFormatSettings formats(ws::DefaultFormatSettings());
    int result = 1;
    try {
        result = Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << e.what() << "\n";
        result = 1;
    }
    ws::Session().Close();
    return result;
}
