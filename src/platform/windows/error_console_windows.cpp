// SPDX-License-Identifier: MIT
// Standard error as a console: the erase-line sequence needs the console's virtual-terminal mode,
// which is switched on when the bar first asks.
#include <windows.h>

#include "platform/error_console.h"

namespace kivocom {

bool ErrorConsoleIsTerminal() {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error == INVALID_HANDLE_VALUE || !GetConsoleMode(error, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
         SetConsoleMode(error, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

void WriteErrorConsole(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace kivocom
