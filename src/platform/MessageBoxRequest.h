#pragma once

#include <string>

namespace ws::platform {

enum class MessageBoxIcon { None, Error };

// One modal message box with an OK button: its caption, its text and its icon.
struct MessageBoxRequest {
    std::string caption;
    std::string text;
    MessageBoxIcon icon = MessageBoxIcon::None;
    friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

} // namespace ws::platform
