// The console on POSIX: the environment through setenv, the terminal through file descriptor 2,
// interrupts as signals.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "../exit_codes.h"
#include "kivocom/progress_window.h"
#include "../tool_system.h"
namespace kivotool {
namespace {

extern "C" void CancelOnInterrupt(int) { kivocom::RequestDownloadCancel(); }

void (*gPreviousInterruptHandler)(int) = SIG_DFL;

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
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw ToolFailure(kExitDemoFailed, "cannot make a temporary folder");
  return pattern;
}

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void ClearErrorLine() {
  if (ErrorIsTerminal() && write(STDERR_FILENO, "\r\033[K", 4) < 0) return;
}

InterruptCancelsDownload::InterruptCancelsDownload() {
  gPreviousInterruptHandler = signal(SIGINT, CancelOnInterrupt);
}

InterruptCancelsDownload::~InterruptCancelsDownload() { signal(SIGINT, gPreviousInterruptHandler); }

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
