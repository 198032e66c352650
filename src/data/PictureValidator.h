#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ws {

namespace detail {
struct PictureTree;
} // namespace detail

// Outcome of matching a value against a picture.
enum TMatchResult {
    mrComplete,   // the value fills the picture
    mrIncomplete, // the value ended while the picture still asked for something
    mrEmpty,      // the value is empty
    mrError,      // a character does not fit, or the value is longer than the picture
    mrSyntax,     // the picture is malformed
    mrAmbiguous,  // complete, but reached after an alternative that ran out of value
};

struct TPictureMatch {
    TMatchResult Result = mrEmpty;
    // The value as the match saw it, with the picture's case conversions and literals applied.
    std::string Text;
};

// Checks field values against a picture mask before they are posted.
//
//   #  a digit             ?  a letter (A-Z either case, or any character above code 128)
//   &  a letter, in upper case       ~  a letter, in lower case
//   @  any character       !  any character, in upper case
//   ;x the character x literally     any other character: itself, in either case
//   *n term   the term exactly n times      * term   the term any number of times, also none
//   [ ... ]   optional     { ... }   a group     ,  separates alternatives
//
// Alternatives are tried in order and a part that matched is not taken back to let the rest of
// the picture match. A space that is the value's last character also matches a literal.
class TwsPictureValidator {
public:
    explicit TwsPictureValidator(std::string picture);

    const std::string& Picture() const { return m_Picture; }

    // False for a malformed picture: empty, ending in an unescaped ";" or "*", with brackets or
    // braces that do not pair up, or nested too deeply to be checked safely.
    bool SyntaxCheck() const { return m_Tree != nullptr; }

    TPictureMatch Check(std::string_view value) const;

    // An empty value always passes; any other passes when the match is complete (or ambiguous).
    // A malformed picture fails every non-empty value.
    bool IsValid(std::string_view value) const;

private:
    std::string m_Picture;
    // Parsed once; null when the picture is malformed. Shared, as it never changes.
    std::shared_ptr<const detail::PictureTree> m_Tree;
};

} // namespace ws
