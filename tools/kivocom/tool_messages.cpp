// SPDX-License-Identifier: MIT
#include "tool_messages.h"

#include <iostream>
#include <sstream>

#include "tool_system.h"

namespace kivotool {

std::string BoxAsOneLine(const std::string& prompt) {
  std::istringstream lines(prompt);
  std::string joined;
  for (std::string line; std::getline(lines, line, '\r');) {
    if (line.rfind("Error: ", 0) == 0 && line.find(" - ") != std::string::npos) return line.substr(line.find(" - ") + 3);
    if (!line.empty()) joined += (joined.empty() ? "" : " ") + line;
  }
  return joined;
}

std::string Clause(const std::string& text) {
  return !text.empty() && text.back() == '.' ? text.substr(0, text.size() - 1) : text;
}

void ToolMessages::ShowBox(const std::string& prompt, int32_t, const std::string&, const std::string&, int32_t) {
  ++shown_;
  last_ = BoxAsOneLine(prompt);
  if (holding_) return;
  // A box can come while a progress bar holds the terminal's line: start on a clean line.
  ClearErrorLine();
  std::cerr << "kivocom: " << last_ << "\n";
}

}  // namespace kivotool
