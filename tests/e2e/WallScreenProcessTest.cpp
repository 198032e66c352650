// The wall screen as real processes: two copies of the headless snapshot run (one holding on in
// real time), and the program itself on a private X server, driven with xdotool and watched
// as another X client would.

#include "e2e/X11Probe.h"
#include "e2e/XvfbServer.h"
#include "platform/WindowRegistry.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ws::test {
namespace {

constexpr const char* Title = "Brellow Database Wall Screen";

// A child process, killed if it is still running when the object goes.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_Pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
    }
    ~Child() {
        if (m_Pid > 0 && !m_Status) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_Pid > 0; }
    bool Running() {
        Poll();
        return !m_Status.has_value();
    }
    // The exit code once it has ended within 'timeout'; -1 when it is still running, 128 + n
    // when signal n ended it.
    int Wait(std::chrono::milliseconds timeout) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (Running() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!m_Status)
            return -1;
        return WIFEXITED(*m_Status) ? WEXITSTATUS(*m_Status) : 128 + WTERMSIG(*m_Status);
    }

private:
    void Poll() {
        if (m_Pid <= 0 || m_Status)
            return;
        int status = 0;
        if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid)
            m_Status = status;
    }

    pid_t m_Pid = -1;
    std::optional<int> m_Status;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The "window" object of a snapshot account.
std::string WindowPart(const std::string& json) {
    const auto start = json.find("\"window\"");
    const auto end = json.find("\"controls\"");
    return start == std::string::npos || end == std::string::npos ? std::string()
                                                                  : json.substr(start, end - start);
}

// Each test gets its own runtime directory, so the mutex and the window registry are private to
// it and to the copies it starts.
class WallScreenProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ws-e2e-app-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        if (const char* previous = std::getenv("XDG_RUNTIME_DIR"))
            m_PreviousRuntime = previous;
        ::setenv("XDG_RUNTIME_DIR", m_Dir.c_str(), 1);
        // The copies open the job database behind YardData: an empty one with its five bands
        // (no band warning), named by an engine configuration of this test's own.
        const std::string jobs = Path("jobs");
        std::filesystem::create_directory(jobs);
        const std::string jobsdb = std::string(JOBSDB_PATH) + " --dir '" + jobs + "' ";
        ASSERT_EQ(std::system((jobsdb + "init").c_str()), 0);
        for (int band = 1; band <= 5; ++band) {
            const std::string put =
                jobsdb + "put Options.DB 'OptionName=Band " + std::to_string(band) + "' OptionValue=clRed";
            ASSERT_EQ(std::system(put.c_str()), 0) << put;
        }
        std::ofstream(Path("engine.ini")) << "[YardData]\nDRIVER=DESKTOP\nPATH=" << jobs << "\n";
        if (const char* previous = std::getenv("YARD_ENGINE_CONFIG"))
            m_PreviousConfig = previous;
        ::setenv("YARD_ENGINE_CONFIG", Path("engine.ini").c_str(), 1);
    }
    void TearDown() override {
        if (m_PreviousConfig)
            ::setenv("YARD_ENGINE_CONFIG", m_PreviousConfig->c_str(), 1);
        else
            ::unsetenv("YARD_ENGINE_CONFIG");
        if (m_PreviousRuntime)
            ::setenv("XDG_RUNTIME_DIR", m_PreviousRuntime->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        std::filesystem::remove_all(m_Dir);
    }
    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }

    static bool TitleRegistered() {
        platform::WindowRegistry registry;
        return registry.Find(Title).has_value();
    }

private:
    std::string m_Dir;
    std::optional<std::string> m_PreviousRuntime;
    std::optional<std::string> m_PreviousConfig;
};

TEST_F(WallScreenProcesses, ASecondHeadlessCopyRestoresTheFirstAndEndsUnseen) {
    // The first copy starts minimised and keeps answering for a while: long enough for the second
    // copy's whole start-up on a loaded machine.
    Child first({WALLSCREEN_SNAPSHOT, "--at", "2024-03-01 10:00:00.000", "--minimized", "--hold", "15000",
                 "--json", Path("first.json")});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor(TitleRegistered, std::chrono::seconds(10)));

    Child second({WALLSCREEN_SNAPSHOT, "--at", "2024-03-01 10:00:01.000", "--ticks", "1", "--json",
                  Path("second.json"), "--png", Path("second.png")});
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(std::chrono::seconds(20)), 0);
    EXPECT_TRUE(first.Running());

    const std::string secondJson = ReadFile(Path("second.json"));
    EXPECT_NE(WindowPart(secondJson).find("\"visible\": false"), std::string::npos) << secondJson;
    EXPECT_NE(secondJson.find("\"exited\": true"), std::string::npos);
    EXPECT_NE(secondJson.find("\"messages\": []"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Path("second.png"))); // nothing was ever painted

    EXPECT_EQ(first.Wait(std::chrono::seconds(40)), 0);
    const std::string firstJson = ReadFile(Path("first.json"));
    // Restored by the second copy, the first showed its window and kept running.
    EXPECT_NE(WindowPart(firstJson).find("\"visible\": true"), std::string::npos) << firstJson;
    EXPECT_NE(firstJson.find("\"exited\": false"), std::string::npos);
}

class WallScreenOnXvfb : public WallScreenProcesses {
protected:
    void SetUp() override {
        WallScreenProcesses::SetUp();
        if (!XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        m_Server = std::make_unique<XvfbServer>(1200, 1920);
        ASSERT_TRUE(m_Server->Running()) << m_Server->Error();
        x = std::make_unique<X11Probe>(m_Server->Display());
        ASSERT_TRUE(x->Connected());
    }
    void TearDown() override {
        x.reset();
        m_Server.reset();
        WallScreenProcesses::TearDown();
    }

    // The viewable top-level windows named "Active Jobs".
    std::vector<unsigned long> MainWindows() {
        std::vector<unsigned long> found;
        x->Sync();
        for (unsigned long w : x->Stacking()) {
            if (x->Name(w) == "Active Jobs" && x->Facts(w).viewable)
                found.push_back(w);
        }
        return found;
    }
    static void XdoTool(const std::string& arguments) {
        ASSERT_EQ(std::system(("(" + XdoToolCommands(arguments) + ") >/dev/null 2>&1").c_str()), 0);
    }

    std::unique_ptr<X11Probe> x;

private:
    std::unique_ptr<XvfbServer> m_Server;
};

TEST_F(WallScreenOnXvfb, TheWindowIsBorderlessOnTopAndOnlyOneCopyRuns) {
    Child first({WALLSCREEN_PROGRAM});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor([&] { return MainWindows().size() == 1; }, std::chrono::seconds(15)));
    const unsigned long ours = MainWindows()[0];
    const XWindowFacts facts = x->Facts(ours);
    EXPECT_EQ(facts.x, 0);
    EXPECT_EQ(facts.y, 0);
    EXPECT_EQ(facts.width, 1094);
    EXPECT_EQ(facts.height, 1895);
    EXPECT_EQ(facts.borderWidth, 0);
    // The opaque sky-blue header band.
    EXPECT_TRUE(WaitFor([&] { return x->PixelAt(ours, 5, 5) == 0xA6CAF0u; }, std::chrono::seconds(5)));

    // Another program's window opens over ours and is activated again: ours stays above.
    const unsigned long other = x->CreateOrdinaryWindow(100, 100, 400, 300);
    EXPECT_TRUE(WaitFor([&] { return x->IsAbove(ours, other); }, std::chrono::seconds(5)));
    x->Raise(other);
    EXPECT_TRUE(WaitFor([&] { return x->IsAbove(ours, other); }, std::chrono::seconds(5)));

    // A second copy shows nothing and ends; the first runs on unchanged.
    Child second({WALLSCREEN_PROGRAM});
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(std::chrono::seconds(20)), 0);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(MainWindows(), (std::vector<unsigned long>{ours}));

    // A click on the header does nothing; one on the free area ends the program at once.
    XdoTool("mousemove 500 10 click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(first.Running());
    XdoTool("mousemove 500 1800 click 1");
    EXPECT_EQ(first.Wait(std::chrono::seconds(10)), 0);
}

} // namespace
} // namespace ws::test
