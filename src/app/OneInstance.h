#pragma once

// Keeps a second copy of the program from running. Once the main window's description is loaded,
// the guard creates a named mutex under the application title; if the name is taken (or cannot
// be created), another copy runs: the guard brings that copy forward, switches the showing of
// this copy's main window off and asks this copy to end.

#include "platform/NamedMutex.h"
#include "ui/Component.h"

#include <memory>

namespace ws {

class TOneInstance : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TOneInstance(TComponent* owner);
    ~TOneInstance() override;

    // The guard itself.
    void Loaded() override;

    // When true, a second copy activates the running copy before it ends.
    bool SwitchToPrevious() const { return m_SwitchToPrevious; }
    void SetSwitchToPrevious(bool value) { m_SwitchToPrevious = value; }

    // Called, with this component as sender, when another copy is already running.
    TNotifyEvent AlreadyExist;

private:
    void ActivatePrevious();

    bool m_SwitchToPrevious = true;
    std::unique_ptr<platform::NamedMutex> m_Mutex;
    // False while the guard runs, true from its end on: only then is the handle ours to close.
    bool m_HandleOwned = false;
};

} // namespace ws
