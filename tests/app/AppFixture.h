#pragma once

// The wall screen's start-up on a headless window system of its own, with a private window
// registry and private lock files, so that tests neither see nor disturb a running copy.

#include "app/Program.h"
#include "app/frmJobs.h"
#include "data/Session.h"
#include "platform/HeadlessWindowSystem.h"
#include "support/Jobsdb.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDirectory.h"
#include "ui/Application.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace ws::test {

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // Lock files of named mutexes live below XDG_RUNTIME_DIR.
        m_Runtime.emplace("XDG_RUNTIME_DIR", m_Dir);
        // Start-up opens the data module: an empty job database behind the alias YardData.
        const std::string config = m_Dir + "/engine.ini";
        std::ofstream(config) << "";
        ::setenv("YARD_ENGINE_CONFIG", config.c_str(), 1);
        Session().AddAlias("YardData", "DESKTOP", {{"PATH", m_Dir}});
        // A small board: the five bands and one job in each list, so the grids show and the
        // window keeps free area below them.
        const std::vector<std::vector<std::string>> office = {
            {"init"},
            {"put", "Options.DB", "OptionName=Band 1", "OptionValue=clRed"},
            {"put", "Options.DB", "OptionName=Band 2", "OptionValue=clMaroon"},
            {"put", "Options.DB", "OptionName=Band 3", "OptionValue=clPurple"},
            {"put", "Options.DB", "OptionName=Band 4", "OptionValue=clBlue"},
            {"put", "Options.DB", "OptionName=Band 5", "OptionValue=clGreen"},
            {"put", "OrderHead.DB", "OrderNo=J1", "Name=A Jewish job", "IsActive=True", "IsJewish=True",
             "DueDate=2026-12-20"},
            {"put", "OrderHead.DB", "OrderNo=S1", "Name=A special date", "IsActive=True", "DateOffSet=3",
             "DueDate=2026-12-21"},
            {"put", "OrderHead.DB", "OrderNo=R1", "Name=An interment", "IsActive=True", "IsInterment=True",
             "Invoiced=False", "DueDate=2026-12-22"}};
        for (std::vector<std::string> words : office) {
            words.insert(words.begin(), {"--dir", m_Dir});
            const ProgramRun run = RunJobsdb(words);
            ASSERT_TRUE(run.Succeeded()) << run.Report();
        }
        platform::HeadlessOptions options;
        options.registryDirectory = RegistryDir();
        system = std::make_unique<platform::HeadlessWindowSystem>(options);
        system->SetMessageBoxResponder([this](const platform::MessageBoxRequest& r) { boxes.push_back(r); });
        app = std::make_unique<TApplication>(*system);
    }
    void TearDown() override {
        app.reset();
        system.reset();
        Session().Close();
    }

    std::string RegistryDir() const { return m_Dir + "/windows"; }

    std::unique_ptr<platform::HeadlessWindowSystem> system;
    std::unique_ptr<TApplication> app;
    std::vector<platform::MessageBoxRequest> boxes;

private:
    TempDirectory m_Temp{"ws-app-test"};
    const std::string m_Dir = m_Temp.Path();
    std::optional<ScopedEnvironment> m_Runtime;
};

} // namespace ws::test
