// SPDX-License-Identifier: MIT
#include "simulator/host/controlling_terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "kivocom/error.h"

namespace kivocom {

ControllingTerminal::ControllingTerminal(const std::string& devicePath) {
  std::signal(SIGHUP, SIG_IGN);
  fd_ = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    throw Error(kErrDeviceNotOpen, "InstrumentSimulator - Open",
                "Cannot open " + devicePath + " in the simulator host: " + std::strerror(errno) + ".");
  }
  // setsid fails for a process group leader, such as a host started by hand from a shell; that
  // session keeps its own terminal, TIOCSCTTY is refused, and the host still serves: only the
  // protection from a Wine server in a terminal-less session is lost.
  setsid();
  ioctl(fd_, TIOCSCTTY, 0);
}

ControllingTerminal::~ControllingTerminal() { close(fd_); }

}  // namespace kivocom
