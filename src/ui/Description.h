#pragma once

#include "base/Exception.h"
#include "ui/PropValue.h"

#include <string>
#include <string_view>
#include <vector>

namespace ws {

// A stored description that does not follow the format; the message starts with "Line L, column C:".
class EParserError : public Exception {
public:
    EParserError(const std::string& message, int line, int column);
    const char* ClassName() const noexcept override { return "EParserError"; }
    int Line() const { return m_Line; }
    int Column() const { return m_Column; }

private:
    int m_Line;
    int m_Column;
};

// One "object Name: TClass ... end" block of a stored description: its properties in stored
// order, then the objects it contains in stored order.
//
//   object ActiveJobsForm: TActiveJobsForm
//     Caption = 'Active Jobs'
//     Font.Height = -16
//     object JobsGrid: TwsDBGrid
//       DataSource = JobsDM.JobsDS
//       Options = [dgTitles, dgColLines]
//       Selected.Strings = (
//         'Name'#9'26'#9'Name'#9'F'
//         'Invoiced'#9'3'#9'Inv'#9'F')
//     end
//   end
//
// Values: integers (decimal, or hexadecimal after $), floats, strings ('quoted' with '' for a
// quote, #9 or #$09 for a character code, pieces joined by + across lines), identifiers (True,
// False and nil are values of their own), sets [a, b], lists ( ... ), collections
// <item ... end ...> and binary data { hex digits }.
struct TDescObject {
    std::string Name; // may be empty
    std::string ClassName;
    std::vector<TPropAssignment> Properties;
    std::vector<TDescObject> Children;
    int Line = 0;
    int Column = 0;
};

// Parses a whole description: exactly one root object. The text is not trusted: every deviation,
// any nesting deeper than MaxDescriptionDepth, raises EParserError.
TDescObject ParseDescription(std::string_view text);

constexpr int MaxDescriptionDepth = 32;

} // namespace ws
