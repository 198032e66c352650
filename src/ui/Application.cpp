#include "ui/Application.h"

#include "base/Strings.h"
#include "ui/ClassRegistry.h"
#include "ui/Control.h"
#include "ui/CustomForm.h"
#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/Label.h"
#include "ui/PropertiesBuilder.h"
#include "ui/Timer.h"

#include <algorithm>
#include <climits>
#include <new>
#include <unistd.h>

namespace ws {

TApplication* Application = nullptr;

namespace {

// The message as the error reports show it: a full stop is added after a last character that
// sorts after ".", so texts ending in "!", ")" or "." keep their own ending.
std::string WithFullStop(std::string text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

std::string ClassNameOf(const std::exception& error) {
    if (const auto* own = dynamic_cast<const Exception*>(&error))
        return own->ClassName();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return "EOutOfMemory";
    return "Exception";
}

} // namespace

const TClassInfo& TApplication::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TApplication>("TApplication", TComponent::StaticClassInfo())
            .String("Title", &TApplication::Title, &TApplication::SetTitle)
            .Boolean("ShowMainForm", &TApplication::ShowMainForm, &TApplication::SetShowMainForm)
            .Build();
    return info;
}

TApplication::TApplication(platform::WindowSystem& system) : TComponent(nullptr), m_System(system) {
    if (Application != nullptr)
        throw EInvalidOperation("There is already an application object");
    m_Title = ModuleName();
    // Until a root is being created, a failure is placed at the program block itself.
    m_CreatingAddress = reinterpret_cast<std::uintptr_t>(&WithFullStop);
    m_Handle = m_System.CreateApplicationWindow(m_Title);
    Application = this;
    TControl::SetPlatform(&m_System);
    m_System.SetErrorReporter([this](const std::exception& error) { HandleException(error); });
    platform::ApplicationEvents events;
    events.restored = [this] { Restored(); };
    m_System.SetApplicationEvents(std::move(events));
    // A program started minimised is minimised from its first moment, before its main form
    // exists: another copy that looks at it during start-up sees it so and asks for it to be
    // restored, and the loop carries that request out once it runs.
    if (m_System.StartupShowRequest() == platform::StartupShow::MinimizedNoActivate) {
        m_MinimizedAtStart = true;
        Minimize();
    }
}

TApplication::~TApplication() {
    // The roots go while the window system is still there for their windows and timers.
    DestroyComponents();
    m_System.SetApplicationEvents({});
    m_System.SetErrorReporter(nullptr);
    m_System.Destroy(m_Handle);
    TControl::SetPlatform(nullptr);
    Application = nullptr;
}

void TApplication::Initialize() {
    RegisterClass<TForm>();
    RegisterClass<TLabel>();
    RegisterClass<TTimer>();
    RegisterClass<TImageList>();
}

void TApplication::SetTitle(const std::string& title) {
    m_Title = title;
    m_System.SetText(m_Handle, title);
}

void TApplication::NoteCreated(TComponent* root) {
    auto* form = dynamic_cast<TCustomForm*>(root);
    if (form != nullptr && m_MainForm == nullptr)
        m_MainForm = form;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_MainForm)
        m_MainForm = nullptr;
}

void TApplication::Run() {
    ShowMainFormAtStart();
    m_System.Run();
}

void TApplication::ShowMainFormAtStart() {
    if (m_MainForm != nullptr && m_ShowMainForm) {
        switch (m_System.StartupShowRequest()) {
        case platform::StartupShow::Maximized:
            m_MainForm->SetWindowState(TWindowState::wsMaximized);
            m_MainForm->Show();
            break;
        case platform::StartupShow::MinimizedNoActivate:
            // Restored already while it started (another copy asked for it): shown at once.
            if (m_MinimizedAtStart && !IsMinimized()) {
                m_MainForm->Show();
                break;
            }
            // Nothing is shown until the program is restored; then the main form is.
            m_ShowOnRestore = true;
            Minimize();
            break;
        case platform::StartupShow::Normal:
            m_MainForm->Show();
            break;
        }
    }
}

void TApplication::Restored() {
    if (!m_ShowOnRestore)
        return;
    m_ShowOnRestore = false;
    // Shown from the loop once the handler that restored the program has returned. A tick
    // restores a program started minimised; were the main form shown inside it, a box of its
    // first showing (the band warning) would hold that tick open and stop the refresh and the
    // nightly close for as long as nobody answers it.
    m_System.PostTask([this, alive = std::weak_ptr<bool>(m_Alive)] {
        if (alive.expired())
            return;
        if (m_MainForm != nullptr && !Terminated())
            m_MainForm->Show();
    });
}

void TApplication::Terminate() {
    m_System.Terminate();
}

std::string TApplication::ErrorReportText(const std::exception& error) {
    return WithFullStop(error.what());
}

void TApplication::HandleException(const std::exception& error) {
    // Ticks go on while a report is open; the same failure met again by each of them must not
    // pile boxes up on an unattended screen.
    std::pair<std::type_index, std::string> report{typeid(error), error.what()};
    if (std::find(m_OpenReports.begin(), m_OpenReports.end(), report) != m_OpenReports.end())
        return;
    m_OpenReports.push_back(report);
    try {
        m_System.ShowMessageBox(
            platform::MessageBoxRequest{m_Title, ErrorReportText(error), platform::MessageBoxIcon::Error});
    } catch (...) {
        m_OpenReports.pop_back();
        throw;
    }
    m_OpenReports.pop_back();
}

void TApplication::ShowMessage(const std::string& text) {
    m_System.ShowMessageBox(platform::MessageBoxRequest{m_Title, text, platform::MessageBoxIcon::None});
}

std::string TApplication::ModuleName() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return "wallscreen";
    const std::string full(path, static_cast<size_t>(length));
    const size_t slash = full.find_last_of('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string TApplication::StartupErrorText(const std::exception& error) const {
    std::string message = error.what();
    if (message.empty() || message.back() != '.')
        message += '.';
    const auto address = static_cast<unsigned>(m_CreatingAddress & 0xFFFFFFFFu);
    return Format("Exception %s in module %s at %08X.\n", ClassNameOf(error).c_str(), ModuleName().c_str(),
                  address) +
           message;
}

int TApplication::Execute(const std::function<void()>& block) {
    std::string fatal;
    try {
        block();
    } catch (const std::exception& error) {
        fatal = StartupErrorText(error);
    }
    // The roots go before the box opens: its modal loop keeps dispatching timers, and no tick
    // may run against a program whose start-up failed half-way.
    DestroyComponents();
    if (fatal.empty())
        return 0;
    // A second copy has asked to end before its start-up failed; its error box must still wait
    // for OK like the first copy's, not close because of that request.
    m_System.CancelTerminate();
    m_System.ShowMessageBox(
        platform::MessageBoxRequest{"Application Error", fatal, platform::MessageBoxIcon::Error});
    return 1;
}

} // namespace ws
