// SPDX-License-Identifier: MIT
#include "platform/line/posix/kernel_line_attributes.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstddef>

namespace kivocom {

int SetKernelLineAttributes(int fd, const KernelLineAttributes& attributes) {
  termios request{};
  request.c_iflag = attributes.inputModes;
  request.c_oflag = attributes.outputModes;
  request.c_cflag = attributes.controlModes;
  request.c_lflag = attributes.localModes;
  request.c_line = attributes.discipline;
  std::copy_n(attributes.controlChars, std::min<std::size_t>(NCCS, sizeof attributes.controlChars), request.c_cc);
  return ioctl(fd, TCSETS, &request);
}

}  // namespace kivocom
