// SPDX-License-Identifier: MIT
// Which device a port number names. Port n resolves, in this order, to: a mapping made with
// MapPortToDevice; the environment variable KIVOCOM_COM<n>; a link or file "com<n>" in the ports
// folder ($KIVOCOM_PORTS_DIR, default ~/.config/kivocom/ports, on Windows %APPDATA%\kivocom\ports);
// then the system's own name for it: /dev/ttyS<n-1>, or \\.\COMn on Windows.
// The serial line, the port probe and the kivocom tool all resolve ports this way.
#pragma once

#include <cstdint>
#include <string>

namespace kivocom {

// Maps port number `port` to `devicePath` for this process; an empty path removes the mapping.
void MapPortToDevice(int32_t port, const std::string& devicePath);

// The device path port number `port` resolves to (it may not exist); empty for numbers below 1.
std::string PortDevicePath(int32_t port);

// The ports folder: $KIVOCOM_PORTS_DIR, or ~/.config/kivocom/ports (%APPDATA%\kivocom\ports on Windows).
std::string PortsFolder();

}  // namespace kivocom
