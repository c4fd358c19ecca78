// SPDX-License-Identifier: MIT
#include "simulator/posix/wake_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "kivocom/error.h"

namespace kivocom {
namespace {

bool MakeNonBlockingCloseOnExec(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 && fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

}  // namespace

WakePipe::WakePipe() {
  int fds[2];
  if (pipe(fds) != 0) {
    throw Error(kErrDeviceNotOpen, "InstrumentSimulator - Open",
                std::string("Cannot create the wake-up pipe: ") + std::strerror(errno));
  }
  read_ = fds[0];
  write_ = fds[1];
  if (!MakeNonBlockingCloseOnExec(read_) || !MakeNonBlockingCloseOnExec(write_)) {
    const std::string reason = std::strerror(errno);
    close(read_);
    close(write_);
    throw Error(kErrDeviceNotOpen, "InstrumentSimulator - Open", "Cannot set up the wake-up pipe: " + reason);
  }
}

WakePipe::~WakePipe() {
  close(read_);
  close(write_);
}

void WakePipe::Wake() {
  const char byte = 1;
  // A full pipe already holds a pending wake-up, so a refused write loses nothing.
  while (write(write_, &byte, 1) < 0 && errno == EINTR) {
  }
}

void WakePipe::Drain() {
  char buffer[64];
  while (read(read_, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace kivocom
