#include "app/ColorText.h"

#include "base/Convert.h"
#include "ui/GraphicsIdents.h"

namespace ws {

TColor ColourFromText(std::string_view text) {
    if (const std::optional<TColor> named = ColorFromIdent(text))
        return *named;
    return StrToInt(text);
}

} // namespace ws
