#pragma once

// A form's scroll bar settings (HorzScrollBar, VertScrollBar). Our forms never scroll: the only
// setting kept is whether the bar may show.

#include "ui/Persistent.h"

namespace ws {

class TControlScrollBar : public TPersistent {
public:
    WS_CLASS_INFO()

    bool Visible() const { return m_Visible; }
    void SetVisible(bool visible) { m_Visible = visible; }

    void Assign(const TPersistent& source) override;

private:
    bool m_Visible = true;
};

} // namespace ws
