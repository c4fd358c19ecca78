// SPDX-License-Identifier: MIT
// What the tool needs of the system: its console, interrupts, environment and temporary folders.
// Each system has its own file (posix/, windows/), chosen by the build.
#pragma once

#include <string>

namespace kivotool {

// Sets an environment variable of this process (the library reads KIVOCOM_TRACE_DIR from it).
void SetEnvironmentValue(const std::string& name, const std::string& value);

// Makes a new folder, readable by this user only, in the system's temporary folder, named
// `prefix` and a unique ending; throws ToolFailure when it cannot.
std::string MakeTemporaryFolder(const std::string& prefix);

// Whether standard error is a terminal, where a progress bar may hold the current line.
bool ErrorIsTerminal();
// Erases the current line of standard error when it is a terminal.
void ClearErrorLine();

// While alive, Ctrl-C (on Windows also Ctrl-Break and closing the console) asks the running
// download to stop, which keeps the data, instead of ending the tool. On Windows a closed console
// lets the tool finish (up to a few seconds) until this guard ends.
class InterruptCancelsDownload {
 public:
  InterruptCancelsDownload();
  ~InterruptCancelsDownload();
  InterruptCancelsDownload(const InterruptCancelsDownload&) = delete;
  InterruptCancelsDownload& operator=(const InterruptCancelsDownload&) = delete;
};

// Makes Ctrl-C (and a termination request) wait for WaitForInterrupt instead of ending the tool.
// Call it before any thread starts, so that no other thread receives them.
void HoldInterrupts();
// Blocks until Ctrl-C or a termination request arrives.
void WaitForInterrupt();

}  // namespace kivotool
