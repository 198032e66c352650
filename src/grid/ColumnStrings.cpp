#include "grid/ColumnStrings.h"

#include "base/Convert.h"
#include "base/Strings.h"
#include "grid/GridErrors.h"

#include <array>

namespace ws {

namespace {

constexpr std::size_t kMaxControlParams = 255;

// Offset of the first character of token k, or npos when the line has fewer tokens.
std::size_t TokenStart(std::string_view line, int k, char separator) {
    std::size_t pos = 0;
    for (int i = 1; i < k; ++i) {
        const std::size_t tab = line.find(separator, pos);
        if (tab == std::string_view::npos)
            return std::string_view::npos;
        pos = tab + 1;
    }
    return pos;
}

} // namespace

std::string LineToken(std::string_view line, int k, char separator) {
    if (k < 1)
        return {};
    const std::size_t start = TokenStart(line, k, separator);
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = line.find(separator, start);
    return std::string(line.substr(start, end == std::string_view::npos ? line.npos : end - start));
}

int LineTokenCount(std::string_view line, char separator) {
    int count = 1;
    for (char c : line)
        count += c == separator ? 1 : 0;
    return count;
}

int ColumnLineWidth(std::string_view line) {
    if (line.find('\t') == std::string_view::npos)
        throw EStringListError("List index out of bounds (1)");
    return StrToInt(LineToken(line, 2));
}

std::string RebuildColumnLine(std::string_view line, int width) {
    std::string readOnly = LineToken(line, 4);
    if (readOnly.empty())
        readOnly = "F";
    std::string out =
        LineToken(line, 1) + '\t' + IntToStr(width) + '\t' + LineToken(line, 3) + '\t' + readOnly;
    const std::string group = LineToken(line, 5);
    if (!group.empty())
        out += '\t' + group;
    return out;
}

std::string MakeColumnLine(std::string_view field, int width, std::string_view title) {
    return std::string(field) + '\t' + IntToStr(width) + '\t' + std::string(title);
}

bool IsCustomControlKind(std::string_view kind) {
    static const std::array<std::string_view, 4> kinds{"CustomEdit", "LookupCombo", "Combo", "RichEdit"};
    for (std::string_view k : kinds) {
        if (SameText(kind, k))
            return true;
    }
    return false;
}

std::string ControlTypeParams(std::string_view line) {
    const std::size_t start = TokenStart(line, 3, ';');
    if (start == std::string_view::npos)
        return {};
    return std::string(line.substr(start, kMaxControlParams));
}

} // namespace ws
