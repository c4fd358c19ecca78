// SPDX-License-Identifier: MIT
// Cuts the bytes an instrument hears into commands. A command ends at CR; the lone CR before
// every command yields an empty command, which callers ignore; LF characters at the start of a
// command are dropped. In a frame that starts with EOT and carries STX ... ETX, the byte after ETX
// is the block check and belongs to the frame whatever its value, even CR; only when that byte
// is CR and the check would not be CR is the check taken as missing and the frame ended there.
// A command that runs past 4096 bytes without CR is garbage: what came of it so far is dropped.
#pragma once

#include <optional>
#include <string>

namespace kivocom {

class CommandAssembler {
 public:
  // Takes the next byte; returns a command when this byte completed one.
  std::optional<std::string> Feed(char byte);
  // Forgets a half-received command (the line was switched to another port).
  void Reset();

 private:
  std::string command_;
  bool checkNext_ = false;  // the next byte is a set frame's block check
  char expectedCheck_ = 0;
};

}  // namespace kivocom
