// SPDX-License-Identifier: MIT
// The kernel's own request for putting a line's attributes in force (TCSETS), one system call.
// The C library's tcsetattr also reads the attributes before and after, three calls where one
// does, and every opening of a line sets them twice (the settings, then the old ones at close).
// Kept apart from <termios.h>, whose struct of the same name has another layout.
#pragma once

#include <cstdint>

namespace kivocom {

// A line's attributes as the kernel takes them.
struct KernelLineAttributes {
  uint32_t inputModes = 0;
  uint32_t outputModes = 0;
  uint32_t controlModes = 0;  // with the speed's code, as for every standard rate
  uint32_t localModes = 0;
  uint8_t discipline = 0;
  uint8_t controlChars[32] = {};  // the kernel takes as many as it has
};

// Puts `attributes` in force on `fd` at once; 0, or -1 with errno set.
int SetKernelLineAttributes(int fd, const KernelLineAttributes& attributes);

}  // namespace kivocom
