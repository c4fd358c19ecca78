// SPDX-License-Identifier: MIT
// The line settings text ("9600,N,8,1"): rate, parity letter, data bits and stop bits, read
// strictly, the same on every system. A text that is not exactly one of the accepted forms is
// refused, never approximated.
#pragma once

#include <string>

namespace kivocom {

enum class StopBits { One, OneAndHalf, Two };

// The four fields of a settings text.
struct LineSettings {
  int baud = 9600;               // bits per second, one of the accepted rates
  char parity = 'N';             // 'N', 'E', 'O', 'M' (mark) or 'S' (space)
  int dataBits = 8;              // 4 to 8
  StopBits stopBits = StopBits::One;

  // Bits one character occupies on the wire (start, data, parity, stop; 1.5 counts as 2).
  int BitsPerCharacter() const;
};

// Reads a settings text such as "9600,N,8,1" or "2400,e,7,2". Raises kivocom::Error 380 with
// `source` and a description of what is wrong when the text is not well formed.
LineSettings ParseLineSettings(const std::string& text, const std::string& source);

}  // namespace kivocom
