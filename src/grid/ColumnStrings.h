#pragma once

// The two line formats a grid reads its columns from. A column string is
// "Field<TAB>Width<TAB>Title<TAB>ReadOnly[<TAB>Group]"; a control-type string is
// "Field;Kind;Param;Param...". Tokens are numbered from 1; one asked for beyond the last is empty.

#include <string>
#include <string_view>

namespace ws {

// Token k (1-based) of `line` split at `separator`; the last token runs to the end of the line.
std::string LineToken(std::string_view line, int k, char separator = '\t');
int LineTokenCount(std::string_view line, char separator = '\t');

// The width token of a column string in characters. A line without a TAB has no width token
// (EStringListError, index 1); a token that is not an integer raises EConvertError.
int ColumnLineWidth(std::string_view line);

// The column string rebuilt with a new width: field, width, title, read-only flag ("F" when it
// was missing) and, only when present, the group name. Anything after the fifth token is dropped.
std::string RebuildColumnLine(std::string_view line, int width);

// Field, width and title of a column string, as a grid writes it.
std::string MakeColumnLine(std::string_view field, int width, std::string_view title);

// The kinds whose third token names a control on the form (letter case ignored).
bool IsCustomControlKind(std::string_view kind);

// The parameters of a control-type string: everything after the ";" that follows the kind, at
// most 255 characters.
std::string ControlTypeParams(std::string_view line);

} // namespace ws
