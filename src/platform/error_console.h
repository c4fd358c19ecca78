// SPDX-License-Identifier: MIT
// Standard error as a terminal the progress bar draws on.
#pragma once

#include <string>

namespace kivocom {

// Whether standard error is a terminal that understands "\r" and the erase-line sequence ESC [ K.
bool ErrorConsoleIsTerminal();
// Writes `text` to standard error at once, best effort: a display that cannot be drawn must not
// disturb the download it shows.
void WriteErrorConsole(const std::string& text);

}  // namespace kivocom
