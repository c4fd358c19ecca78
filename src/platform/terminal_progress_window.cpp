// SPDX-License-Identifier: MIT
// The download progress bar on a terminal's standard error.
#include <algorithm>
#include <cstdio>
#include <string>

#include "kivocom/clock.h"
#include "kivocom/progress_window.h"
#include "platform/error_console.h"

namespace kivocom {
namespace {

// Redraws at most five times a second: enough to look alive, little enough not to flood a slow
// terminal.
constexpr int64_t kRedrawIntervalMs = 200;
constexpr int kBarWidth = 24;

class TerminalProgressWindow : public ProgressWindow {
 public:
  TerminalProgressWindow() : start_(ThreadClock().NowMs()) {}

  void SetMessage(const std::string& text, int32_t, int32_t) override { message_ = text; }
  void SetVisible(bool visible) override {
    visible_ = visible;
    Draw(true);
  }
  void ReportBytes(int64_t received) override { bytes_ = received; }
  bool ReportProgress(int32_t total, int32_t done, int32_t) override {
    total_ = total;
    done_ = done;
    Draw(false);
    return true;
  }
  void CloseWindow() override {
    if (drawn_) WriteErrorConsole("\r\033[K");
    drawn_ = false;
    visible_ = false;
  }
  ~TerminalProgressWindow() override { CloseWindow(); }

 private:
  void Draw(bool force) {
    if (!visible_) return;
    const int64_t now = ThreadClock().NowMs();
    if (!force && drawn_ && now - lastDraw_ < kRedrawIntervalMs) return;
    lastDraw_ = now;
    drawn_ = true;
    const int filled = total_ > 0 ? static_cast<int>(std::min<int64_t>(kBarWidth, int64_t{done_} * kBarWidth / total_)) : 0;
    const int64_t seconds = (now - start_) / 1000;
    char line[200];
    std::snprintf(line, sizeof line, "\r%s [%s%s] %d/%d readings  %lld bytes  %lld:%02lld\033[K", message_.c_str(),
                  std::string(filled, '#').c_str(), std::string(kBarWidth - filled, '.').c_str(), done_, total_,
                  static_cast<long long>(bytes_), static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    WriteErrorConsole(line);
  }

  std::string message_;
  bool visible_ = false;
  bool drawn_ = false;
  int32_t total_ = 0;
  int32_t done_ = 0;
  int64_t bytes_ = 0;
  int64_t start_;
  int64_t lastDraw_ = 0;
};

// Stands in when standard error is no terminal: shows nothing and never cancels.
class SilentProgressWindow : public ProgressWindow {
 public:
  void SetMessage(const std::string&, int32_t, int32_t) override {}
  void SetVisible(bool) override {}
  bool ReportProgress(int32_t, int32_t, int32_t) override { return true; }
  void CloseWindow() override {}
};

}  // namespace

std::unique_ptr<ProgressWindow> CreateTerminalProgressWindow() {
  if (ErrorConsoleIsTerminal()) return std::make_unique<TerminalProgressWindow>();
  return std::make_unique<SilentProgressWindow>();
}

}  // namespace kivocom
