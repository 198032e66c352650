#pragma once

#include <cstddef>
#include <string_view>

namespace ws {

// Texts are UTF-8, and sizes of text fields count characters. A character is one well-formed
// UTF-8 sequence (one code point up to U+10FFFF, no surrogates, shortest form). A byte that does
// not begin such a sequence (a stray continuation byte, a cut or over-long sequence, bytes
// another program stored in some other encoding) counts as one character by itself and is kept
// as it stands: counting never fails, and cutting a text at a character boundary never breaks a
// well-formed sequence nor changes any byte before the cut.

// The bytes of the character that begins at text[at] (1 for a byte that begins none); at < size.
std::size_t Utf8CharBytes(std::string_view text, std::size_t at);
// The number of characters of the text.
std::size_t Utf8Length(std::string_view text);
// The bytes taken by the first `count` characters (the whole text when it has fewer).
std::size_t Utf8PrefixBytes(std::string_view text, std::size_t count);
// The first `count` characters of the text.
inline std::string_view Utf8Left(std::string_view text, std::size_t count) {
    return text.substr(0, Utf8PrefixBytes(text, count));
}

// The most bytes a text of `count` characters takes.
inline constexpr std::size_t Utf8MaxBytes(std::size_t count) {
    return 4 * count;
}

} // namespace ws
