#include "app/Program.h"

#include "app/frmJobs.h"
#include "base/Exception.h"
#include "data/JobsDM.h"
#include "platform/Png.h"
#include "ui/Application.h"

namespace ws {

const char* const WallScreenTitle = "Brellow Database Wall Screen";

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
    const int code = application.Execute([] {
        StartWallScreen();
        Application->Run();
    });
    system.SetPresentListener(nullptr);
    return code;
}

} // namespace ws
