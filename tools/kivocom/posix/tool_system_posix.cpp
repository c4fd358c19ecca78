// SPDX-License-Identifier: MIT
// The console on POSIX: the environment through setenv, the terminal through file descriptor 2,
// interrupts as signals.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <system_error>

#include "../exit_codes.h"
#include "kivocom/progress_window.h"
#include "../tool_system.h"
namespace kivotool {
namespace {

extern "C" void CancelOnInterrupt(int) { kivocom::RequestDownloadCancel(); }

// The signals that cancel a download: Ctrl-C, a request to terminate, and the terminal closing.
constexpr int kCancellingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPreviousActions[std::size(kCancellingSignals)];

sigset_t InterruptSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

std::string MakeTemporaryFolder(const std::string& prefix) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  std::string pattern = (folder / (prefix + "XXXXXX")).string();
  if (error || !mkdtemp(pattern.data())) {
    const char* configured = std::getenv("TMPDIR");
    const std::string where = !folder.empty() ? folder.string() : configured ? configured : "the temporary folder";
    throw ToolFailure(kExitDemoFailed, "cannot make a temporary folder in " + where + "; set TMPDIR to a writable folder");
  }
  return pattern;
}

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void ClearErrorLine() {
  if (ErrorIsTerminal() && write(STDERR_FILENO, "\r\033[K", 4) < 0) return;
}

InterruptCancelsDownload::InterruptCancelsDownload() {
  struct sigaction cancel {};
  cancel.sa_handler = CancelOnInterrupt;
  sigemptyset(&cancel.sa_mask);
  for (std::size_t i = 0; i < std::size(kCancellingSignals); ++i)
    sigaction(kCancellingSignals[i], &cancel, &gPreviousActions[i]);
}

InterruptCancelsDownload::~InterruptCancelsDownload() {
  for (std::size_t i = 0; i < std::size(kCancellingSignals); ++i)
    sigaction(kCancellingSignals[i], &gPreviousActions[i], nullptr);
}

void HoldInterrupts() {
  const sigset_t signals = InterruptSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForInterrupt() {
  const sigset_t signals = InterruptSignals();
  int received = 0;
  sigwait(&signals, &received);
}

}  // namespace kivotool
