#include "support/Lines.h"

#include <algorithm>

namespace ws::test {

std::vector<std::string> Lines(std::initializer_list<const char*> rows) {
    std::vector<std::string> out;
    for (const char* row : rows) {
        std::string line = row;
        std::replace(line.begin(), line.end(), '|', '\t');
        out.push_back(line);
    }
    return out;
}

} // namespace ws::test
