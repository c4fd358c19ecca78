// SPDX-License-Identifier: MIT
// The serial control of this system's own serial lines (termios on POSIX, the Win32 comm API on
// Windows); each system's control file defines it.
#pragma once

#include <memory>

#include "kivocom/serial_control.h"

namespace kivocom {

// A new control for the local serial devices of this system.
std::shared_ptr<SerialControl> CreateLocalSerialControl();

}  // namespace kivocom
