#pragma once

#include <optional>
#include <string>

namespace ws::test {

// Sets an environment variable for as long as the object lives, then puts back what it was, or
// unsets it when it was not set. Child processes started meanwhile inherit the value.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_Name;
    std::optional<std::string> m_Previous;
};

} // namespace ws::test
