#include "ui/WinControl.h"

#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

const TClassInfo& TWinControl::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TWinControl>("TWinControl", TControl::StaticClassInfo()).Build();
    return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Controls that outlive us (owned elsewhere) lose their windows with ours.
    for (TControl* control : std::vector<TControl*>(m_Controls)) {
        control->WindowLost();
        control->m_Parent = nullptr;
    }
    m_Controls.clear();
}

void TWinControl::InsertControl(TControl* control) {
    m_Controls.push_back(control);
}

void TWinControl::RemoveControl(TControl* control) {
    m_Controls.erase(std::remove(m_Controls.begin(), m_Controls.end(), control), m_Controls.end());
}

void TWinControl::HandleNeeded() {
    if (!HandleAllocated())
        CreateWnd();
}

void TWinControl::RecreateWnd() {
    if (!HandleAllocated())
        return;
    DestroyWnd();
    CreateWnd();
}

void TWinControl::CreateWnd() {
    TControl::CreateWnd();
    CreateChildWindows();
}

void TWinControl::CreateChildWindows() {
    if (!HandleAllocated())
        return;
    for (TControl* control : m_Controls)
        control->CreateWnd();
}

void TWinControl::WindowLost() {
    for (TControl* control : m_Controls)
        control->WindowLost();
    TControl::WindowLost();
}

void TWinControl::FontChanged() {
    TControl::FontChanged();
    for (TControl* control : m_Controls) {
        if (!control->m_ParentFont)
            continue;
        control->m_SettingParentFont = true;
        control->m_Font.Assign(Font());
        control->m_SettingParentFont = false;
    }
}

} // namespace ws
