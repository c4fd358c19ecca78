// SPDX-License-Identifier: MIT
// Framing of a command for the instrument's controller style.
#pragma once

#include <string>

#include "kivocom/enums.h"

namespace kivocom {

// The outgoing text of one command, before the final CR.
struct CommandFrame {
  std::string text;          // the framed command, as traced
  bool endsInBlockCheck;     // the last character is a block check, never to be trimmed
};

// Frames `cmd` for `style`: unchanged for CS_KIVO, CS_AZONIX and CS_XSYS; for CS_OMEGA a poll
// frame (EOT, doubled address, cmd, ENQ) or, with a `setStr`, a set frame (EOT, doubled address,
// STX, cmd, setStr, ETX, block check); empty for any other style.
CommandFrame FrameCommand(EControllerStyle style, const std::string& cmd, const std::string& address,
                          const std::string& setStr);

// The text that goes on the line: the frame with leading and trailing blanks removed, except that a
// block check that happens to be a blank (0x20) is kept, since dropping it corrupts the frame.
std::string LineText(const CommandFrame& frame);

}  // namespace kivocom
