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

// Maps `devicePath` to a port number of its own for this process and returns it: a number the
// environment or the ports folder already gives that very device, else the highest number from 256
// down that names nothing yet (no mapping of this process, no environment value or ports-folder
// entry, no device under the system's own name). Two calls never get the same number while the
// first mapping stands. Raises Error 380 for an empty path, 8002 when no number is free.
int32_t MapDeviceToFreePort(const std::string& devicePath);

// Removes this process's mapping of `port` only while it still names `devicePath`, so that whoever
// was given a number never removes another's mapping; false when it names something else.
bool UnmapPort(int32_t port, const std::string& devicePath);

// The device path port number `port` resolves to (it may not exist); empty for numbers below 1.
std::string PortDevicePath(int32_t port);

// The ports folder: $KIVOCOM_PORTS_DIR, or ~/.config/kivocom/ports (%APPDATA%\kivocom\ports on Windows).
std::string PortsFolder();

}  // namespace kivocom
