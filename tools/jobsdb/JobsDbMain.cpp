// jobsdb --dir DIR COMMAND ...: creates, fills, changes and shows job databases through the same
// table views the wall screen reads with. `jobsdb --help` lists the commands, `jobsdb COMMAND
// --help` describes one with an example. A failing command prints its message on standard error
// and exits with 1; a command line that does not parse exits with 2.

#include "FilterCommand.h"
#include "JobsDbCommands.h"
#include "base/Exception.h"
#include "base/Locale.h"
#include "data/DBError.h"
#include "data/Session.h"
#include "engine/Engine.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct CommandHelp {
    const char* name;
    const char* synopsis;
    const char* description;
    const char* example;
};

const CommandHelp kCommands[] = {
    {"init", "init",
     "Creates DIR (and its parents) when it does not exist, then the four empty job tables\n"
     "OrderHead.DB, Options.DB, Jewish.DB and RNR.DB with the index iDueDateA. Tables that\n"
     "already exist are kept as they are, so an init that was stopped midway can be run again.",
     "jobsdb --dir /srv/yard/jobs init"},
    {"demo", "demo [--today YYYY-MM-DD]",
     "Creates DIR (and its parents) when it does not exist, then a demo job database whose due\n"
     "dates lie around the given day (default: today), with all five band colours set.",
     "jobsdb --dir /tmp/demo demo --today 2026-12-09"},
    {"put", "put TABLE FIELD=VALUE... [--truncate]",
     "Inserts one row. A value longer than its field is refused, naming the field and its size;\n"
     "--truncate cuts it to the field's size instead.",
     "jobsdb --dir /srv/yard/jobs put Options.DB \"OptionName=Band 1\" OptionValue=clRed"},
    {"update", "update TABLE KEY=VALUE FIELD=VALUE... [--truncate]",
     "Changes the first row whose field KEY equals VALUE; sizes are checked as for put.",
     "jobsdb --dir /srv/yard/jobs update OrderHead.DB OrderNo=J1001 DueDate=2026-12-24"},
    {"delete", "delete TABLE KEY=VALUE", "Deletes the first row whose field KEY equals VALUE.",
     "jobsdb --dir /srv/yard/jobs delete OrderHead.DB DueDate=2026-12-24"},
    {"dump", "dump TABLE [--index NAME] [--filter TEXT]",
     "Prints the field names, one tab-separated line per row (in the order of the index NAME,\n"
     "only the rows that pass the filter TEXT) and then the count of rows.",
     "jobsdb --dir /srv/yard/jobs dump OrderHead.DB --filter \"(IsActive=True) AND (isJewish=True)\""},
    {"filter", "filter TABLE TEXT",
     "Prints the expression buffer a table view hands the engine for the filter TEXT, in\n"
     "hexadecimal, or the message that explains why TEXT is not a filter.",
     "jobsdb --dir /srv/yard/jobs filter OrderHead.DB \"Invoiced=False\""},
    {"locate", "locate TABLE FIELD VALUE", "Prints the first row whose FIELD equals VALUE, or \"not found\".",
     "jobsdb --dir /srv/yard/jobs locate OrderHead.DB DueDate 2026-12-24"},
    {"lock", "lock TABLE FIELD VALUE",
     "Locks the first row whose FIELD equals VALUE as the office program does while it edits\n"
     "the row, prints \"locked\" and keeps the lock until standard input closes.",
     "jobsdb --dir /srv/yard/jobs lock Jewish.DB OrderNo J1001 </dev/null"},
};

const char* const kValues =
    "Values: dates as YYYY-MM-DD or dd/mm/yyyy (key values too), booleans True/False, an empty\n"
    "value (FIELD=) is null.";

const CommandHelp* FindCommand(const std::string& name) {
    for (const CommandHelp& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

void PrintHelp(std::ostream& out) {
    out << "usage: jobsdb --dir DIR COMMAND [ARGUMENTS]\n"
           "       jobsdb --alias NAME COMMAND [ARGUMENTS]\n"
           "       jobsdb --help | jobsdb COMMAND --help\n\n"
           "--alias NAME works on the database an alias of the engine's configuration names: a\n"
           "directory (DRIVER=DESKTOP) or a database server (DRIVER=POSTGRES), where init creates\n"
           "the tables.\n"
           "Creates, fills, changes and shows the job database in the directory DIR, through the\n"
           "same table views the wall screen reads with. Only init and demo create DIR; every other\n"
           "command needs it to exist. A failing command prints its message and exits with 1; a\n"
           "wrong command line exits with 2.\n"
        << kValues << "\n\nCommands:\n";
    for (const CommandHelp& command : kCommands) {
        std::string description = command.description;
        for (std::size_t at = description.find('\n'); at != std::string::npos;
             at = description.find('\n', at + 5))
            description.replace(at, 1, "\n    ");
        out << "\n  " << command.synopsis << "\n    " << description << "\n    e.g. " << command.example
            << "\n";
    }
}

void PrintCommandHelp(const CommandHelp& command, std::ostream& out) {
    out << "usage: jobsdb --dir DIR " << command.synopsis << "\n\n"
        << command.description << "\n"
        << kValues << "\n\nExample:\n  " << command.example << "\n";
}

int Usage(const std::string& problem) {
    std::cerr << "jobsdb: " << problem << "\n";
    std::cerr << "usage: jobsdb --dir DIR COMMAND [ARGUMENTS]   (jobsdb --help lists the commands)\n";
    return 2;
}

int CommandUsage(const CommandHelp& command) {
    std::cerr << "usage: jobsdb --dir DIR " << command.synopsis << "   (jobsdb " << command.name
              << " --help says more)\n";
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

// Takes the switch "--name" out of the arguments; whether it was there.
bool TakeSwitch(std::vector<std::string>& args, const std::string& name) {
    const auto found = std::find(args.begin(), args.end(), name);
    if (found == args.end())
        return false;
    args.erase(found);
    return true;
}

// init and demo make the database directory, as `git init DIR` does; the other commands work on
// an existing database and let the engine refuse a missing directory.
void MakeDirectory(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir))
        throw ws::EOSError("Cannot create the directory '" + dir + "': " +
                           (error ? error.message() : std::string("a file of that name is in the way")));
}

int Run(std::vector<std::string> args) {
    using namespace ws::jobsdb;
    const bool help = TakeSwitch(args, "--help") || TakeSwitch(args, "-h");
    const std::string dir = TakeOption(args, "--dir");
    const std::string alias = TakeOption(args, "--alias");
    if (help) {
        if (args.empty()) {
            PrintHelp(std::cout);
            return 0;
        }
        const CommandHelp* command = FindCommand(args[0]);
        if (command == nullptr)
            return Usage("no such command: " + args[0]);
        PrintCommandHelp(*command, std::cout);
        return 0;
    }
    if (args.empty())
        return Usage(dir.empty() && alias.empty() ? "no database (--dir DIR or --alias NAME) and no command"
                                                  : "no command");
    const std::string command = args[0];
    const CommandHelp* known = FindCommand(command);
    if (known == nullptr)
        return Usage("no such command: " + command);
    if (dir.empty() == alias.empty())
        return Usage(dir.empty() ? "no database: give --dir DIR or --alias NAME"
                                 : "give either --dir DIR or --alias NAME, not both");
    std::vector<std::string> rest(args.begin() + 1, args.end());
    WriteOptions write;
    if (command == "put" || command == "update")
        write.truncate = TakeSwitch(rest, "--truncate");
    // A configured alias (a server database, or a directory) serves this run under the wall
    // screen's own alias name.
    bool server = false;
    if (!alias.empty()) {
        ws::Session().Start();
        ws::engine::AliasInfo info;
        ws::Check(ws::engine::GetAliasInfo(alias, info));
        server = info.driver != "DESKTOP";
        ws::Session().AddAlias(kAlias, info.driver, info.params);
    } else {
        ws::Session().AddAlias(kAlias, "DESKTOP", {{"PATH", dir}});
    }
    const auto makeDirectory = [&] {
        if (!alias.empty() && !server) {
            ws::engine::AliasInfo info;
            ws::Check(ws::engine::GetAliasInfo(kAlias, info));
            MakeDirectory(info.params["PATH"]);
        } else if (alias.empty()) {
            MakeDirectory(dir);
        }
    };
    if (command == "init" && rest.empty()) {
        makeDirectory();
        InitDatabase();
    } else if (command == "demo") {
        const std::string today = TakeOption(rest, "--today");
        if (!rest.empty())
            return CommandUsage(*known);
        makeDirectory();
        CreateDemoDatabase(today);
    } else if (command == "put" && rest.size() >= 2) {
        PutRow(rest[0], {rest.begin() + 1, rest.end()}, write);
    } else if (command == "update" && rest.size() >= 3) {
        UpdateRow(rest[0], rest[1], {rest.begin() + 2, rest.end()}, write);
    } else if (command == "delete" && rest.size() == 2) {
        DeleteRow(rest[0], rest[1]);
    } else if (command == "dump" && !rest.empty()) {
        const std::string index = TakeOption(rest, "--index");
        const std::string filter = TakeOption(rest, "--filter");
        if (rest.size() != 1)
            return CommandUsage(*known);
        DumpTable(rest[0], index, filter, std::cout);
    } else if (command == "filter" && rest.size() == 2) {
        const FilterCommandResult result =
            FilterCommandForTable(alias.empty() ? dir : kAlias, rest[0], rest[1]);
        (result.exitStatus ? std::cerr : std::cout) << result.output;
        return result.exitStatus;
    } else if (command == "locate" && rest.size() == 3) {
        LocateRow(rest[0], rest[1], rest[2], std::cout);
    } else if (command == "lock" && rest.size() == 3) {
        LockRow(rest[0], rest[1], rest[2], std::cin, std::cout);
    } else {
        return CommandUsage(*known);
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
