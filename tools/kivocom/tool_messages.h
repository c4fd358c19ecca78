// The tool's message handler: the library's message boxes as lines on standard error, counted so
// that a command can tell whether the library reported a failure.
#pragma once

#include "kivocom/user_messages.h"
#include "tool_system.h"

namespace kivotool {

class ToolMessages : public kivocom::StderrUserMessages {
 public:
  void ShowBox(const std::string& prompt, int32_t flags, const std::string& title, const std::string& helpFile,
               int32_t helpContext) override {
    ++shown_;
    // A box can come while a progress bar holds the terminal's line: start on a clean line.
    ClearErrorLine();
    StderrUserMessages::ShowBox(prompt, flags, title, helpFile, helpContext);
  }
  // Message boxes shown so far.
  int Shown() const { return shown_; }

 private:
  int shown_ = 0;
};

// The handler installed for the tool's thread.
ToolMessages& Messages();

}  // namespace kivotool
