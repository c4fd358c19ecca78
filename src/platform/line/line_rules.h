// SPDX-License-Identifier: MIT
// What the line core and every line driver say alike: the errors' source, how a port and its
// device are named, and the deadlines of waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kivocom {

// "SerialControl - <member>", the source of a serial control's errors.
std::string ControlSource(const char* member);

// The port and its device as descriptions name them: "COM3 (/dev/ttyUSB0)".
std::string PortAndDevice(int32_t port, const std::string& device);

// The moment `timeoutMs` from now; negative waits are none, and very long ones are cut to 30
// days so that no deadline overflows the clock.
std::chrono::steady_clock::time_point DeadlineAfter(int64_t timeoutMs);

}  // namespace kivocom
