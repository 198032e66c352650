#include "Snapshot.h"

#include "JsonWriter.h"
#include "app/Program.h"
#include "app/frmJobs.h"
#include "base/Strings.h"
#include "engine/Engine.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/Png.h"
#include "ui/Application.h"
#include "ui/Label.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ws::tools {

namespace {

constexpr std::int64_t kTickMs = 5000;

struct ControlFacts {
    std::string name;
    std::string className;
    TRect bounds;
    bool visible = false;
    std::string text;
};

// One of the three lists, as stacked under the header.
struct GridFacts {
    std::string name;
    int top = 0;
    int height = 0;
    bool visible = false;
    int recordCount = 0;
    struct Column {
        std::string field;
        std::string title;
        int width = 0;
    };
    std::vector<Column> columns;
    // The data cells of the grid's last paint pass, row by row.
    std::vector<TwsPaintedRow> rows;
    // Where the grid's client area (inside its border) lies in the main window.
    platform::Point clientOrigin;
};

// A colour as the program's stored forms write one: "$" and eight hexadecimal digits.
std::string ColorText(TColor color) {
    return Format("$%08X", static_cast<std::uint32_t>(color));
}

// 'origin' is where the grid's client area lies in the main window.
void WriteRows(JsonWriter& json, const std::vector<TwsPaintedRow>& rows, platform::Point origin) {
    json.Key("rows").BeginArray();
    for (const TwsPaintedRow& row : rows) {
        json.BeginObject().Key("cells").BeginArray();
        for (const TwsPaintedCell& cell : row.Cells) {
            json.BeginObject()
                .Key("field")
                .String(cell.Field)
                .Key("text")
                .String(cell.Text)
                .Key("font")
                .String(ColorText(cell.Font))
                .Key("brush")
                .String(ColorText(cell.Brush))
                .Key("image");
            if (cell.Image >= 0)
                json.Int(cell.Image);
            else
                json.Null();
            json.Key("left")
                .Int(origin.x + cell.Rect.left)
                .Key("top")
                .Int(origin.y + cell.Rect.top)
                .Key("width")
                .Int(cell.Rect.Width())
                .Key("height")
                .Int(cell.Rect.Height());
            json.EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray();
}

// A grid's place, its view's count and its columns as laid out.
GridFacts FactsOf(const TwsDBGrid& grid) {
    GridFacts facts{
        grid.Name(),
        grid.Top(),
        grid.Height(),
        grid.Visible(),
        0,
        {},
        grid.PaintedRows(),
        platform::Point{grid.Left() + TCustomGrid::BorderWidth, grid.Top() + TCustomGrid::BorderWidth}};
    if (TDataSet* view = grid.DataSet(); view != nullptr && view->Active())
        facts.recordCount = view->RecordCount();
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TwsColumn& column = grid.ColumnByIndex(i);
        facts.columns.push_back(
            {column.FieldName(), column.DisplayLabel(), grid.ColWidths(grid.IndicatorOffset() + i)});
    }
    return facts;
}

struct WindowFacts {
    std::string caption;
    platform::Rect bounds;
    bool visible = false;
    bool topMost = false;
};

struct Account {
    std::optional<WindowFacts> window;
    std::vector<ControlFacts> controls;
    std::vector<GridFacts> grids;
    std::vector<platform::MessageBoxRequest> messages;
    bool painted = false;
    bool exited = false;
    int exitCode = 0;
};

// What the main window shows now; its picture goes to 'png'.
void Capture(platform::HeadlessWindowSystem& system, const std::string& png, Account& account) {
    system.ProcessMessages();
    TActiveJobsForm* form = ActiveJobsForm;
    if (form == nullptr || !form->HandleAllocated())
        return;
    const platform::WindowId handle = form->Handle();
    account.window = WindowFacts{system.Text(handle), system.Bounds(handle), system.IsShowing(handle),
                                 system.IsTopMost(handle)};
    for (int i = 0; i < form->ComponentCount(); ++i) {
        auto* control = dynamic_cast<TControl*>(form->Components(i));
        if (control == nullptr)
            continue;
        const auto* label = dynamic_cast<const TLabel*>(control);
        account.controls.push_back(ControlFacts{control->Name(), control->ClassName(), control->BoundsRect(),
                                                control->Visible(),
                                                label ? label->Caption() : std::string()});
    }
    // From the top of the board down.
    for (const TwsDBGrid* grid : {form->JobsGrid(), form->SpecialDateGrid(), form->RnRGrid()}) {
        if (grid != nullptr)
            account.grids.push_back(FactsOf(*grid));
    }
    const platform::Image& image = system.WindowImage(handle);
    account.painted = !image.IsEmpty() && system.PresentCount(handle) > 0;
    if (account.painted && !png.empty())
        platform::WritePng(image, png);
}

// Keeps the event loop going in real time, so that another copy's requests are carried out.
void Hold(platform::HeadlessWindowSystem& system, int holdMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs);
    while (std::chrono::steady_clock::now() < until && !system.Terminated()) {
        system.ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ToJson(const Account& account) {
    JsonWriter json;
    json.BeginObject();
    json.Key("window");
    if (account.window) {
        const WindowFacts& w = *account.window;
        json.BeginObject()
            .Key("caption")
            .String(w.caption)
            .Key("left")
            .Int(w.bounds.left)
            .Key("top")
            .Int(w.bounds.top)
            .Key("width")
            .Int(w.bounds.Width())
            .Key("height")
            .Int(w.bounds.Height())
            .Key("visible")
            .Bool(w.visible)
            .Key("topmost")
            .Bool(w.topMost)
            .Key("painted")
            .Bool(account.painted)
            .EndObject();
    } else {
        json.Null();
    }
    json.Key("controls").BeginArray();
    for (const ControlFacts& c : account.controls) {
        json.BeginObject()
            .Key("name")
            .String(c.name)
            .Key("class")
            .String(c.className)
            .Key("left")
            .Int(c.bounds.left)
            .Key("top")
            .Int(c.bounds.top)
            .Key("width")
            .Int(c.bounds.Width())
            .Key("height")
            .Int(c.bounds.Height())
            .Key("visible")
            .Bool(c.visible)
            .Key("text")
            .String(c.text)
            .EndObject();
    }
    json.EndArray();
    json.Key("grids").BeginArray();
    for (const GridFacts& g : account.grids) {
        json.BeginObject()
            .Key("name")
            .String(g.name)
            .Key("top")
            .Int(g.top)
            .Key("height")
            .Int(g.height)
            .Key("visible")
            .Bool(g.visible)
            .Key("recordCount")
            .Int(g.recordCount)
            .Key("columns")
            .BeginArray();
        for (const GridFacts::Column& c : g.columns)
            json.BeginObject()
                .Key("field")
                .String(c.field)
                .Key("title")
                .String(c.title)
                .Key("width")
                .Int(c.width)
                .EndObject();
        json.EndArray();
        WriteRows(json, g.rows, g.clientOrigin);
        json.EndObject();
    }
    json.EndArray();
    json.Key("messages").BeginArray();
    for (const platform::MessageBoxRequest& m : account.messages)
        json.BeginObject().Key("caption").String(m.caption).Key("text").String(m.text).EndObject();
    json.EndArray();
    json.Key("exited").Bool(account.exited);
    json.Key("exitCode").Int(account.exitCode);
    json.EndObject();
    return json.Text();
}

void WriteText(const std::string& path, const std::string& text) {
    if (path.empty()) {
        std::cout << text;
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
        throw EOSError("Cannot write " + path);
}

// Runs the between-ticks command through /bin/sh with TICK and AT set; its output goes to standard
// error, so that it never mixes with an account written to standard output. Returns an empty
// text when it succeeded, else what went wrong.
std::string RunBetweenTicks(const std::string& command, int tick, TDateTime at) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("TICK=", 0) != 0 && entry.rfind("AT=", 0) != 0)
            environment.push_back(entry);
    }
    environment.push_back("TICK=" + std::to_string(tick));
    environment.push_back("AT=" + FormatIso(at));
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string shell = "/bin/sh", dashC = "-c", text = command;
    char* argv[] = {shell.data(), dashC.data(), text.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    std::cout.flush();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return "cannot run /bin/sh: " + std::string(std::strerror(spawned));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return "cannot wait for /bin/sh: " + std::string(std::strerror(errno));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : "signal " + std::to_string(WTERMSIG(status));
    return "the command before tick " + std::to_string(tick) + " failed (" + how + "): " + command;
}

// "DIR/tick-0001.json" for tick 1; more digits once four are not enough.
std::string TickFile(const std::string& dir, int tick) {
    return dir + "/" + Format("tick-%04d.json", tick);
}

// The alias YardData names the given directory for this run only.
class SessionAlias {
public:
    explicit SessionAlias(const std::string& dir) {
        if (dir.empty())
            return;
        engine::EngineInit();
        m_Started = true;
        if (engine::AddSessionAlias("YardData", "DESKTOP", {{"PATH", dir}}) != engine::esOk)
            throw EInvalidOperation("Cannot define the alias YardData for " + dir);
    }
    ~SessionAlias() {
        if (m_Started)
            engine::EngineExit();
    }
    SessionAlias(const SessionAlias&) = delete;
    SessionAlias& operator=(const SessionAlias&) = delete;

private:
    bool m_Started = false;
};

} // namespace

int RunSnapshot(const SnapshotOptions& options) {
    if (!options.jsonDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.jsonDir, ec);
        if (ec)
            throw EOSError("Cannot create " + options.jsonDir + ": " + ec.message());
    }
    SessionAlias alias(options.dir);
    platform::HeadlessOptions headless;
    headless.start = options.at;
    headless.registryDirectory = std::string(); // this user's: another copy must find us
    platform::HeadlessWindowSystem system(headless);
    if (options.minimized)
        system.SetStartupShowRequest(platform::StartupShow::MinimizedNoActivate);

    Account account;
    system.SetMessageBoxResponder(
        [&account](const platform::MessageBoxRequest& request) { account.messages.push_back(request); });
    std::string failure; // of the between-ticks command, or of writing a tick's account
    bool toolFailed = false;
    {
        TApplication application(system);
        account.exitCode = application.Execute([&] {
            StartWallScreen();
            Application->ShowMainFormAtStart();
            system.ProcessMessages();
            for (int tick = 1; tick <= options.ticks && !system.Terminated(); ++tick) {
                if (!options.betweenTicks.empty()) {
                    const TDateTime at = MSecsToDateTime(DateTimeToMSecs(system.Now()) + kTickMs);
                    failure = RunBetweenTicks(options.betweenTicks, tick, at);
                    if (!failure.empty())
                        return;
                }
                system.AdvanceTime(kTickMs);
                if (!options.jsonDir.empty()) {
                    // What the window shows after this tick, with the messages so far.
                    Account after;
                    Capture(system, std::string(), after);
                    after.messages = account.messages;
                    after.exited = system.Terminated();
                    try {
                        WriteText(TickFile(options.jsonDir, tick), ToJson(after));
                    } catch (const std::exception& e) {
                        failure = e.what();
                        toolFailed = true;
                        return;
                    }
                }
            }
            if (options.holdMs > 0)
                Hold(system, options.holdMs);
            Capture(system, options.png, account);
        });
        account.exited = system.Terminated() || account.exitCode != 0;
    }
    if (toolFailed)
        throw EOSError(failure);
    if (!failure.empty())
        throw EBetweenTicksFailed(failure);
    WriteText(options.json, ToJson(account));
    return account.exitCode;
}

} // namespace ws::tools
