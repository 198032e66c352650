#pragma once

// Identifiers that stored descriptions write in place of numbers: colour names (clSkyBlue) and
// character sets (DEFAULT_CHARSET).

#include "base/Color.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ws {

// The colour a name such as "clSkyBlue" stands for, any letter case; nothing for other names.
std::optional<TColor> ColorFromIdent(std::string_view name);
// The name of a colour that has one ("clSkyBlue"); empty for others.
std::string ColorIdent(TColor color);
// The same for character sets ("ANSI_CHARSET" 0, "DEFAULT_CHARSET" 1, ...).
std::optional<int> CharsetFromIdent(std::string_view name);

// The forms the property tables take (TClassBuilder::Integer's identifier mapping).
std::optional<std::int64_t> ColorIdentToInt(std::string_view name);
std::optional<std::int64_t> CharsetIdentToInt(std::string_view name);

} // namespace ws
