// SPDX-License-Identifier: MIT
// The tool's message handler: the library's message boxes become one line each on standard
// error, or are held for the command to fold into its own one-line error.
#pragma once

#include <string>

#include "kivocom/user_messages.h"

namespace kivotool {

class ToolMessages : public kivocom::UserMessages {
 public:
  void ShowBox(const std::string& prompt, int32_t flags, const std::string& title, const std::string& helpFile,
               int32_t helpContext) override;
  void SetPointer(kivocom::MousePointer) override {}

  // Message boxes shown so far.
  int Shown() const { return shown_; }
  // The last box as one line: its error's description when it reports one, else its text.
  const std::string& Last() const { return last_; }
  // While true, boxes are counted and kept but not printed.
  void Hold(bool hold) { holding_ = hold; }

 private:
  int shown_ = 0;
  bool holding_ = false;
  std::string last_;
};

// `prompt`, a message box's text (lines parted by CR), as one line: the description of the error
// it reports ("Error: 75 - <description>"), else its lines joined by blanks.
std::string BoxAsOneLine(const std::string& prompt);

// `text`, a sentence, without its closing full stop, so that the tool's own words can follow
// after "; ".
std::string Clause(const std::string& text);

// The handler installed for the tool's thread.
ToolMessages& Messages();

}  // namespace kivotool
