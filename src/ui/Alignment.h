#pragma once

#include <string>
#include <vector>

namespace ws {

// Horizontal placement of a text in its rectangle.
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// The identifiers of TAlignment in declaration order, for property tables.
inline const std::vector<std::string>& AlignmentIdents() {
    static const std::vector<std::string> idents{"taLeftJustify", "taRightJustify", "taCenter"};
    return idents;
}

} // namespace ws
