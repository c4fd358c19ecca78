// SPDX-License-Identifier: MIT
// The smart switch's ear: picks its select and release commands out of the byte stream and passes
// every other byte on to the connected port.
//
// SSS_BB4PORT: ESC STX name CR selects, ESC STX EOT releases.
// SSS_BB8PORT: ESC STX name CR selects, where a one-character name arrives with a "0" before it
//              (so a two-character name starting with "0" is read as the character after it);
//              ESC STX STX EOT releases.
// SSS_BT528AP: DC4 "0" "0" name CR selects; nothing releases.
// Any other model recognises nothing.
#pragma once

#include <optional>
#include <string>

#include "kivocom/enums.h"

namespace kivocom {

class SwitchDecoder {
 public:
  // What one received byte did.
  struct Step {
    std::string passOn;                  // bytes that go on to the connected port, in order
    std::optional<std::string> connect;  // the port connected now; empty text: released
  };

  explicit SwitchDecoder(ESmartSwitchStyle model) : model_(model) {}

  // Takes the next byte from the line.
  Step Feed(char byte);

 private:
  enum class Verdict { Partial, Select, Release, NotACommand };
  Verdict Examine(std::string& name) const;
  Verdict ExamineBlackBox(std::string& name) const;
  Verdict ExamineBt528(std::string& name) const;

  ESmartSwitchStyle model_;
  std::string pending_;  // the start of a switch command, held back from the port
};

}  // namespace kivocom
