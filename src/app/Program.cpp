#include "app/Program.h"

#include "app/frmJobs.h"
#include "platform/Png.h"
#include "ui/Application.h"

namespace ws {

const char* const WallScreenTitle = "Brellow Database Wall Screen";

void StartWallScreen() {
    Application->Initialize();
    Application->SetTitle(WallScreenTitle);
    Application->CreateForm(ActiveJobsForm);
    // The data module JobsDM is created here, right after the main window, once it exists:
    //     Application->CreateForm(JobsDM);
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
