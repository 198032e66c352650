#pragma once

// Gives each test its own runtime directory, so tests never meet each other's mutexes and
// windows, nor those of a wall screen running on the same machine. Child processes inherit it.

#include "support/ScopedEnvironment.h"
#include "support/TempDirectory.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace ws::test {

class RuntimeDirectoryFixture : public ::testing::Test {
protected:
    void SetUp() override { m_Runtime.emplace("XDG_RUNTIME_DIR", m_Root.string()); }
    void TearDown() override { m_Runtime.reset(); }

    // Names found directly in 'directory', sorted.
    static std::vector<std::string> Entries(const std::filesystem::path& directory) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(directory, error))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDirectory m_Temp{"ws-registry-test"};
    const std::filesystem::path m_Root = m_Temp.Path();
    std::optional<ScopedEnvironment> m_Runtime;
};

} // namespace ws::test
