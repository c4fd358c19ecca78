// SPDX-License-Identifier: MIT
// The console on Windows: the environment through _putenv_s, the console through its handle and
// virtual-terminal mode, interrupts through the console control handler (which runs on a thread of
// its own that the system starts for each event).
// The library's headers come before windows.h, whose BAUD_ and PARITY_ macros would rename the
// library's enumeration members.
#include "../exit_codes.h"
#include "kivocom/progress_window.h"
#include "../tool_system.h"

#include <windows.h>

#include <stdlib.h>

#include <filesystem>
#include <random>
namespace kivotool {
namespace {

// The system ends the process about five seconds after a console is closed; the handler gives
// the tool most of that to finish.
constexpr DWORD kCloseGraceMs = 4500;

// Set when the work the handler waits for (a download, or the wait for an interrupt) has ended.
HANDLE WorkEnded() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Set by the handler when Ctrl-C, Ctrl-Break or a close arrives.
HANDLE InterruptArrived() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

bool EndsProcess(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

// Returning from a close event ends the process: wait first, so the tool can keep what it has.
BOOL WINAPI CancelDownloadOnEvent(DWORD event) {
  kivocom::RequestDownloadCancel();
  if (EndsProcess(event)) WaitForSingleObject(WorkEnded(), kCloseGraceMs);
  return TRUE;
}

BOOL WINAPI NoteInterruptOnEvent(DWORD event) {
  SetEvent(InterruptArrived());
  if (EndsProcess(event)) WaitForSingleObject(WorkEnded(), kCloseGraceMs);
  return TRUE;
}

bool ErrorIsConsole(HANDLE error, DWORD& mode) {
  return error != INVALID_HANDLE_VALUE && GetConsoleMode(error, &mode);
}

}  // namespace

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

// The user's temporary folder is the user's own on Windows; a new name is tried until one is free.
std::string MakeTemporaryFolder(const std::string& prefix) {
  std::random_device random;
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  for (int attempt = 0; !error && attempt < 100; ++attempt) {
    const std::filesystem::path folder = temporary / (prefix + std::to_string(random()));
    if (std::filesystem::create_directory(folder, error)) return folder.string();
  }
  throw ToolFailure(kExitDemoFailed, "cannot make a temporary folder");
}

bool ErrorIsTerminal() {
  DWORD mode = 0;
  return ErrorIsConsole(GetStdHandle(STD_ERROR_HANDLE), mode);
}

void ClearErrorLine() {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!ErrorIsConsole(error, mode)) return;
  SetConsoleMode(error, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  DWORD written = 0;
  WriteFile(error, "\r\033[K", 4, &written, nullptr);
}

InterruptCancelsDownload::InterruptCancelsDownload() {
  ResetEvent(WorkEnded());
  SetConsoleCtrlHandler(CancelDownloadOnEvent, TRUE);
}

InterruptCancelsDownload::~InterruptCancelsDownload() {
  SetConsoleCtrlHandler(CancelDownloadOnEvent, FALSE);
  SetEvent(WorkEnded());
}

void HoldInterrupts() {
  ResetEvent(InterruptArrived());
  SetConsoleCtrlHandler(NoteInterruptOnEvent, TRUE);
}

void WaitForInterrupt() { WaitForSingleObject(InterruptArrived(), INFINITE); }

}  // namespace kivotool
