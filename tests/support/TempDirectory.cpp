#include "support/TempDirectory.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <stdlib.h>

namespace ws::test {

TempDirectory::TempDirectory(std::string_view prefix, std::string_view base) {
    std::string pattern = std::string(base) + "/" + std::string(prefix) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make " + pattern + ": " + std::strerror(errno));
    m_Path = pattern;
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

} // namespace ws::test
