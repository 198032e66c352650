#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ws {

// ASCII-only case folding: names in this system are ASCII, and values are compared exactly.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
// Case-insensitive ordering, as names are sorted and matched.
int CompareText(std::string_view a, std::string_view b);

std::string Trim(std::string_view s);
std::vector<std::string> Split(std::string_view s, char separator);
bool StartsWith(std::string_view s, std::string_view prefix);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace ws
