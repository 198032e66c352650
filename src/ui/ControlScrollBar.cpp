#include "ui/ControlScrollBar.h"

#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TControlScrollBar::StaticClassInfo() {
    using C = TControlScrollBar;
    static const TClassInfo info = TClassBuilder<C>("TControlScrollBar", TPersistent::StaticClassInfo())
                                       .Boolean("Visible", &C::Visible, &C::SetVisible)
                                       .Build();
    return info;
}

void TControlScrollBar::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TControlScrollBar*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    m_Visible = other->m_Visible;
}

} // namespace ws
