#pragma once

#include <string>
#include <string_view>

namespace ws::test {

// A directory of the test's own, "<base>/<prefix>-XXXXXX", removed with everything in it when the
// object goes.
class TempDirectory {
public:
    // Throws std::runtime_error when the directory cannot be made.
    explicit TempDirectory(std::string_view prefix, std::string_view base = "/tmp");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
};

} // namespace ws::test
