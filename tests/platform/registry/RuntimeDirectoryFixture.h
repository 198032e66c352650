#pragma once

// Gives each test its own runtime directory, so tests never meet each other's mutexes and
// windows, nor those of a wall screen running on the same machine. Child processes inherit it.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace ws::test {

class RuntimeDirectoryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ws-registry-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_Root = pattern;
        if (const char* previous = std::getenv("XDG_RUNTIME_DIR"))
            m_Previous = previous;
        ::setenv("XDG_RUNTIME_DIR", m_Root.c_str(), 1);
    }
    void TearDown() override {
        if (m_Previous)
            ::setenv("XDG_RUNTIME_DIR", m_Previous->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(m_Root, ignored);
    }

    // Names found directly in 'directory', sorted.
    static std::vector<std::string> Entries(const std::filesystem::path& directory) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(directory, error))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path m_Root;
    std::optional<std::string> m_Previous;
};

} // namespace ws::test
