// SPDX-License-Identifier: MIT
// The parts of port resolution each system answers for itself (kivocom/port_devices.h gives the
// order): the ports folder's entry for a port, and the system's own name for it.
#pragma once

#include <cstdint>
#include <string>

namespace kivocom {

// The device the ports folder names for `port`; empty when it names none.
std::string FolderDevice(int32_t port);

// The system's own device name for port number `port` (1 or more).
std::string SystemDeviceName(int32_t port);

}  // namespace kivocom
