#pragma once

// The wall screen's programs as real processes: children that are killed if a test leaves them
// running, a runtime directory and job database of each test's own, and a private X server for
// the tests that need the real window.

#include "e2e/X11Probe.h"
#include "e2e/XvfbServer.h"
#include "platform/WindowRegistry.h"
#include "support/Jobsdb.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDirectory.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ws::test {

inline constexpr const char* Title = "Brellow Database Wall Screen";

inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each test gets its own runtime directory, so the mutex and the window registry are private to
// it and to the copies it starts, and its own job database behind YardData: an empty one with
// its five bands (no band warning) unless the test names another.
class WallScreenProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        m_Runtime.emplace("XDG_RUNTIME_DIR", m_Dir);
        m_Config.emplace("YARD_ENGINE_CONFIG", Path("engine.ini"));
        UseJobs("jobs");
        ASSERT_EQ(Jobsdb({"init"}), 0);
        for (int band = 1; band <= 5; ++band)
            ASSERT_EQ(
                Jobsdb({"put", "Options.DB", "OptionName=Band " + std::to_string(band), "OptionValue=clRed"}),
                0);
    }
    void TearDown() override {
        m_Config.reset();
        m_Runtime.reset();
    }
    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }

    // Points YardData at the directory 'name' of the test's own, creating it.
    void UseJobs(const std::string& name) {
        m_Jobs = Path(name);
        std::filesystem::create_directories(m_Jobs);
        std::ofstream(Path("engine.ini")) << "[YardData]\nDRIVER=DESKTOP\nPATH=" << m_Jobs << "\n";
    }
    const std::string& JobsDir() const { return m_Jobs; }

    // jobsdb on the job database, as the office program would change it. Returns the exit status;
    // 'output' gets what it printed.
    int Jobsdb(std::vector<std::string> words, std::string* output = nullptr) const {
        words.insert(words.begin(), {"--dir", m_Jobs});
        const ProgramRun run = RunJobsdb(words);
        if (output != nullptr)
            *output = run.output;
        EXPECT_EQ(run.status, 0) << run.Report();
        return run.status;
    }

    static bool TitleRegistered() {
        platform::WindowRegistry registry;
        return registry.Find(Title).has_value();
    }

private:
    TempDirectory m_Temp{"ws-e2e-app"};
    const std::string m_Dir = m_Temp.Path();
    std::string m_Jobs;
    std::optional<ScopedEnvironment> m_Runtime;
    std::optional<ScopedEnvironment> m_Config;
};

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

} // namespace ws::test
