#include "ui/Pen.h"

#include "ui/GraphicsIdents.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TPen::StaticClassInfo() {
    using C = TPen;
    static const TClassInfo info =
        TClassBuilder<C>("TPen", TPersistent::StaticClassInfo())
            .Integer(
                "Color", &C::Color, [](C& p, std::int64_t v) { p.SetColor(static_cast<TColor>(v)); },
                ColorIdentToInt)
            .Build();
    return info;
}

void TPen::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TPen*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    m_Color = other->m_Color;
}

} // namespace ws
