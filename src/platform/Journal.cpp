#include "platform/Journal.h"

#include "base/DateTime.h"
#include "platform/Clock.h"

#include <cstdio>

namespace ws::platform {

std::string JournalLine(std::string_view text) {
    // FormatIso gives "YYYY-MM-DD HH:MM:SS.mmm"; the journal keeps whole seconds.
    std::string line = FormatIso(Now()).substr(0, 19);
    line += ' ';
    for (unsigned char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            line += escaped;
        } else {
            line += static_cast<char>(c);
        }
    }
    return line;
}

void WriteJournal(std::string_view text) {
    const std::string line = JournalLine(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace ws::platform
