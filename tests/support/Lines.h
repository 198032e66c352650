#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace ws::test {

// Rows written with '|' between their parts, as the tab-separated lines of a grid's column
// strings: {"Name|26|Name|F"} gives {"Name\t26\tName\tF"}.
std::vector<std::string> Lines(std::initializer_list<const char*> rows);

} // namespace ws::test
