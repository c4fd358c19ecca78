// SPDX-License-Identifier: MIT
// Trimming blanks: only the space character (0x20), never tabs or line ends.
#pragma once

#include <string>

namespace kivocom {

// `text` without its leading and trailing blanks.
inline std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace kivocom
