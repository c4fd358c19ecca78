// SPDX-License-Identifier: MIT
// What every serial control (the local lines and the network ones) checks and says alike: the
// errors' source and texts for the members' common rules, and the deadlines of their waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "kivocom/error.h"

namespace kivocom {

// "SerialControl - <member>", the source of a control's errors.
std::string ControlSource(const char* member);

// The moment `timeoutMs` from now; negative waits are none, and very long ones are cut to 30
// days so that no deadline overflows the clock.
std::chrono::steady_clock::time_point DeadlineAfter(int64_t timeoutMs);

// Raises 380 unless `count` is 0: a buffer count can only be assigned 0, which discards.
void RequireDiscardCount(int32_t count, const char* member);

// Raises 8005 while the port is `open`, and 8002 for a `port` number below 1.
void RequireChangeablePortNumber(bool open, int32_t port, const std::string& portText);

// The error of a member that needs the line open while `portText` is closed (8018).
Error PortNotOpenError(const char* member, const std::string& portText);

}  // namespace kivocom
