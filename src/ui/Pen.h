#pragma once

#include "base/Color.h"
#include "ui/Persistent.h"

namespace ws {

// The colour of the one-pixel lines a canvas draws.
class TPen : public TPersistent {
public:
    WS_CLASS_INFO()

    TColor Color() const { return m_Color; }
    void SetColor(TColor color) { m_Color = color; }

    void Assign(const TPersistent& source) override;

private:
    TColor m_Color = clBlack;
};

} // namespace ws
