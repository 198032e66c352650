#include "app/Program.h"

#include "app/frmJobs.h"
#include "base/Exception.h"
#include "engine/AliasConfig.h"
#include "jobs/JobSchema.h"
#include "jobs/JobsDM.h"
#include "platform/Journal.h"
#include "platform/Png.h"
#include "ui/Application.h"

#ifndef WS_VERSION
#define WS_VERSION "unknown"
#endif

namespace ws {

const char* const WallScreenTitle = "Brellow Database Wall Screen";

std::string StartupJournalText() {
    const std::string alias(kJobsAlias);
    std::string text = std::string("wallscreen ") + WS_VERSION + " starting: alias " + alias;
    // Read as the engine will read it, without an engine call: the program defines no alias of its own.
    const engine::AliasConfig::Lookup lookup = engine::AliasConfig::Find(alias);
    if (!lookup.alias) {
        std::string tried;
        for (const std::string& path : lookup.tried)
            tried += (tried.empty() ? "" : ", ") + path;
        return text + ", database directory unknown: the alias is not configured (looked for in: " +
               (tried.empty() ? std::string("nowhere") : tried) + ")";
    }
    const auto path = lookup.alias->params.find("PATH");
    return text + ", database directory " +
           (path != lookup.alias->params.end() ? path->second : std::string("(no PATH given)")) + " (from " +
           lookup.file + ")";
}

void StartWallScreen() {
    Application->Initialize();
    Application->SetTitle(WallScreenTitle);
    Application->CreateForm(ActiveJobsForm);
    CreateJobsDM(Application);
    // A Jewish.DB row another program holds locked is reported once the paint that met it is over.
    JobsDM->OnLockError = [](const std::exception& error) {
        std::exception_ptr current = std::current_exception();
        ActiveJobsForm->QueueErrorReport(current ? current
                                                 : std::make_exception_ptr(Exception(error.what())));
    };
    // What the views met while they opened, before there was a handler, is reported the same way.
    for (const std::string& text : JobsDM->TakeUnreportedLockErrors())
        ActiveJobsForm->QueueErrorReport(std::make_exception_ptr(Exception(text)));
}

int RunWallScreen(platform::WindowSystem& system, const std::string& screenshot) {
    TApplication application(system);
    if (!screenshot.empty()) {
        system.SetPresentListener(
            [screenshot](platform::WindowId window, const platform::Image& image, const platform::Rect&) {
                if (ActiveJobsForm != nullptr && window == ActiveJobsForm->Handle())
                    platform::WritePng(image, screenshot);
            });
    }
    platform::WriteJournal(StartupJournalText());
    const int code = application.Execute([] {
        StartWallScreen();
        Application->Run();
    });
    system.SetPresentListener(nullptr);
    return code;
}

} // namespace ws
