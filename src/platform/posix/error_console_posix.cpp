// SPDX-License-Identifier: MIT
// Standard error as a terminal, through its file descriptor.
#include <unistd.h>

#include "platform/error_console.h"

namespace kivocom {

bool ErrorConsoleIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void WriteErrorConsole(const std::string& text) {
  if (write(STDERR_FILENO, text.data(), text.size()) < 0) return;
}

}  // namespace kivocom
