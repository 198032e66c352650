#pragma once

// A control that can hold other controls: its window is their parent window, and creating or
// destroying it creates or destroys theirs.

#include "ui/Control.h"

#include <vector>

namespace ws {

class TWinControl : public TControl {
public:
    WS_CLASS_INFO()

    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The controls inside, bottom of the z-order first.
    int ControlCount() const { return static_cast<int>(m_Controls.size()); }
    TControl* Controls(int index) const { return m_Controls.at(static_cast<size_t>(index)); }

    // Creates the window (and those of the controls inside) if it does not exist yet.
    void HandleNeeded();
    // Destroys the window and the windows inside it, then creates them again.
    void RecreateWnd();

protected:
    void CreateWnd() override;
    void WindowLost() override;
    void FontChanged() override;
    void CreateChildWindows();

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    std::vector<TControl*> m_Controls;
};

} // namespace ws
