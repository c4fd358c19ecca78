// SPDX-License-Identifier: MIT
#include "comport/download_counting.h"

#include <algorithm>

namespace kivocom {

int32_t BinaryReadingsIn(std::size_t length) {
  if (length < 4) return 0;
  const std::size_t records = length - 4;
  std::size_t whole = records / 10;
  const std::size_t tenths = records % 10;
  if (tenths > 5 || (tenths == 5 && whole % 2 == 1)) ++whole;
  return static_cast<int32_t>(std::min<std::size_t>(whole, INT32_MAX));
}

int32_t TextReadingsIn(const std::string& piece) {
  return static_cast<int32_t>(std::count(piece.begin(), piece.end(), '\n'));
}

}  // namespace kivocom
