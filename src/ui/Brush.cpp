#include "ui/Brush.h"

#include "ui/GraphicsIdents.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TBrush::StaticClassInfo() {
    using C = TBrush;
    static const TClassInfo info =
        TClassBuilder<C>("TBrush", TPersistent::StaticClassInfo())
            .Integer(
                "Color", &C::Color, [](C& b, std::int64_t v) { b.SetColor(static_cast<TColor>(v)); },
                ColorIdentToInt)
            .Enum<TBrushStyle>("Style", {"bsSolid", "bsClear"}, &C::Style, &C::SetStyle)
            .Build();
    return info;
}

void TBrush::SetColor(TColor color) {
    m_Color = color;
    // Choosing a colour makes a cleared brush paint again.
    if (m_Style == TBrushStyle::bsClear && color != clNone)
        m_Style = TBrushStyle::bsSolid;
}

void TBrush::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TBrush*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    m_Color = other->m_Color;
    m_Style = other->m_Style;
}

} // namespace ws
