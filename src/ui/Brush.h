#pragma once

// The fill of a canvas: a colour, or nothing at all (bsClear).

#include "base/Color.h"
#include "ui/Persistent.h"

namespace ws {

enum class TBrushStyle { bsSolid, bsClear };

class TBrush : public TPersistent {
public:
    WS_CLASS_INFO()

    TColor Color() const { return m_Color; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return m_Style; }
    void SetStyle(TBrushStyle style) { m_Style = style; }

    void Assign(const TPersistent& source) override;

private:
    TColor m_Color = clWhite;
    TBrushStyle m_Style = TBrushStyle::bsSolid;
};
} // namespace ws
