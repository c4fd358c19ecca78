// SPDX-License-Identifier: MIT
// Keeps the simulator's pseudo-terminal as the host's own controlling terminal.
//
// A session leader that opens a terminal without O_NOCTTY makes it its controlling terminal, and
// the Wine server is such a leader: when the far end later closed, the hang-up would reach the
// server, which answers it by printing its whole object table. A terminal controls one session
// at most, so the host starts a session of its own and takes the terminal first. The descriptor
// it holds also keeps the terminal's number from going to a new pseudo-terminal after an
// unplugging, while the COM link still names it.
#pragma once

#include <string>

namespace kivocom {

class ControllingTerminal {
 public:
  // Opens `devicePath`, starts a new session and makes the terminal its controlling one, ignoring
  // the hang-up the host gets when its own far end closes; raises kivocom::Error 8012 when the
  // terminal cannot be opened.
  explicit ControllingTerminal(const std::string& devicePath);
  ~ControllingTerminal();
  ControllingTerminal(const ControllingTerminal&) = delete;
  ControllingTerminal& operator=(const ControllingTerminal&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace kivocom
