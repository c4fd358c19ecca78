// SPDX-License-Identifier: MIT
// A client's framed command read back into what the port object sends: the command, the
// instrument address and the value of a set, so that the port frames it again byte for byte.
#pragma once

#include <optional>
#include <string>

#include "kivocom/enums.h"

namespace kivocom {

struct FramedCommand {
  std::string cmd;
  std::string address;  // CS_OMEGA only
  std::string setStr;   // CS_OMEGA set frames only
};

// `frame` (a command as the client sent it, without its final CR) read for `style`. Empty when the
// port would not send exactly these bytes: a CS_OMEGA frame of no known shape or with a wrong
// block check, blanks around the command, or a style outside the four.
std::optional<FramedCommand> ReadFramedCommand(EControllerStyle style, const std::string& frame);

}  // namespace kivocom
