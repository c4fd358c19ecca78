// SPDX-License-Identifier: MIT
#include "comport/line_ends.h"

#include <algorithm>

namespace kivocom {

std::string StripLineEnds(const std::string& text) {
  std::string result = text;
  std::replace(result.begin(), result.end(), '\r', ' ');
  std::replace(result.begin(), result.end(), '\n', ' ');
  return TrimBlanks(result);
}

bool HasCharAbove128(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 128; });
}

}  // namespace kivocom
