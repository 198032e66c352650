#pragma once

// The program's running account on standard error, one line per event, for whoever looks after
// an unattended screen: under systemd the journal keeps it (journalctl --user -u wallscreen).
// Every message box the program shows is written here as it opens, and the program block adds
// its start-up and its nightly close.

#include <string>
#include <string_view>

namespace ws::platform {

// "YYYY-MM-DD HH:MM:SS text": the date and time of the current clock (the virtual one on a
// headless run), then the text with each line break written as the two characters \n and other
// control characters as \xNN, so that one event always stays one line.
std::string JournalLine(std::string_view text);

// Writes JournalLine(text) and a line break to standard error at once.
void WriteJournal(std::string_view text);

} // namespace ws::platform
