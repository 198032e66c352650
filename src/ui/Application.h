#pragma once

// The application object: one per process. It owns the program's roots (main window, data
// module), carries the title, runs the event loop on the window system the caller chose, and
// reports errors: the default error report for a failing handler, and the start-up error box
// for a failure while the program block creates its roots.

#include "platform/WindowSystem.h"
#include "ui/Component.h"
#include "ui/ComponentCreate.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

namespace ws {

class TCustomForm;

class TApplication : public TComponent {
public:
    WS_CLASS_INFO()

    // Creates the hidden application window on 'system', which must outlive the application,
    // and becomes the process's Application.
    explicit TApplication(platform::WindowSystem& system);
    ~TApplication() override;

    platform::WindowSystem& Platform() { return m_System; }
    // The application window: never seen, its text is the title.
    platform::WindowId Handle() const { return m_Handle; }

    // Makes the component classes of the user interface known to stored descriptions.
    void Initialize();

    const std::string& Title() const { return m_Title; }
    void SetTitle(const std::string& title);

    // Whether Run shows the main form.
    bool ShowMainForm() const { return m_ShowMainForm; }
    void SetShowMainForm(bool show) { m_ShowMainForm = show; }

    // The first form created with CreateForm.
    TCustomForm* MainForm() const { return m_MainForm; }

    // Creates a root owned by the application from its stored description. 'global' is assigned
    // before the description is read, so handlers that run meanwhile can use it.
    template <class T>
    void CreateForm(T*& global) {
        m_CreatingAddress = reinterpret_cast<std::uintptr_t>(&CreateRoot<T>);
        T* root = CreateRoot<T>(global, this);
        NoteCreated(root);
    }

    // Shows the main form (honouring the start-up show request) and dispatches messages until
    // Terminate.
    void Run();
    // Run's first step alone: shows the main form when ShowMainForm is on. A request to start
    // maximised maximises it first; a program started minimised (it is minimised from the
    // application's construction on) stays so, and the form is shown by the loop once the
    // program is restored.
    void ShowMainFormAtStart();
    void Terminate();
    bool Terminated() const { return m_System.Terminated(); }

    // Minimising hides the program's windows; restoring shows them again.
    void Minimize() { m_System.MinimizeApplication(); }
    void Restore() { m_System.RestoreApplication(); }
    bool IsMinimized() const { return m_System.IsApplicationMinimized(); }

    // The default error report: the error's message in a box captioned with the title, with an
    // error icon and an OK button. Returns when the box is answered. While a report is open, an
    // error of the same class with the same message is not shown again.
    void HandleException(const std::exception& error);
    // An informational box: captioned with the title, no icon, one OK button.
    void ShowMessage(const std::string& text);

    // Runs the program block. An error escaping it shows the start-up error box and gives exit
    // code 1; otherwise the code is 0. Either way the roots are freed before it returns.
    int Execute(const std::function<void()>& block);

    // The texts of the two reports, as shown.
    static std::string ErrorReportText(const std::exception& error);
    std::string StartupErrorText(const std::exception& error) const;
    static std::string ModuleName();

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void NoteCreated(TComponent* root);
    void Restored();

    platform::WindowSystem& m_System;
    platform::WindowId m_Handle = 0;
    std::string m_Title;
    bool m_ShowMainForm = true;
    bool m_ShowOnRestore = false;
    bool m_MinimizedAtStart = false;
    // Tasks posted to the loop hold a weak reference, so none runs after the application is gone.
    std::shared_ptr<bool> m_Alive = std::make_shared<bool>(true);
    TCustomForm* m_MainForm = nullptr;
    std::uintptr_t m_CreatingAddress = 0;
    // The error reports open now, innermost last: the error's class and message.
    std::vector<std::pair<std::type_index, std::string>> m_OpenReports;
};

// The process's application object while one exists.
extern TApplication* Application;

} // namespace ws
