#pragma once

// The wall screen's start-up on a headless window system of its own, with a private window
// registry and private lock files, so that tests neither see nor disturb a running copy.

#include "app/Program.h"
#include "app/frmJobs.h"
#include "platform/HeadlessWindowSystem.h"
#include "ui/Application.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace ws::test {

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ws-app-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        // Lock files of named mutexes live below XDG_RUNTIME_DIR.
        m_PreviousRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
        ::setenv("XDG_RUNTIME_DIR", m_Dir.c_str(), 1);
        platform::HeadlessOptions options;
        options.registryDirectory = RegistryDir();
        system = std::make_unique<platform::HeadlessWindowSystem>(options);
        system->SetMessageBoxResponder([this](const platform::MessageBoxRequest& r) { boxes.push_back(r); });
        app = std::make_unique<TApplication>(*system);
    }
    void TearDown() override {
        app.reset();
        system.reset();
        if (m_PreviousRuntime.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", m_PreviousRuntime.c_str(), 1);
        std::filesystem::remove_all(m_Dir);
    }

    std::string RegistryDir() const { return m_Dir + "/windows"; }

    std::unique_ptr<platform::HeadlessWindowSystem> system;
    std::unique_ptr<TApplication> app;
    std::vector<platform::MessageBoxRequest> boxes;

private:
    std::string m_Dir;
    std::string m_PreviousRuntime;
};

} // namespace ws::test
