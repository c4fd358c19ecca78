// SPDX-License-Identifier: MIT
#include "platform/serial_control_rules.h"

#include <algorithm>

namespace kivocom {
namespace {

constexpr int64_t kLongestWaitMs = int64_t{30} * 24 * 3600 * 1000;

}  // namespace

std::string ControlSource(const char* member) { return std::string("SerialControl - ") + member; }

std::chrono::steady_clock::time_point DeadlineAfter(int64_t timeoutMs) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::clamp<int64_t>(timeoutMs, 0, kLongestWaitMs));
}

void RequireDiscardCount(int32_t count, const char* member) {
  if (count != 0)
    throw Error(kErrInvalidPropertyValue, ControlSource(member),
                "Invalid property value " + std::to_string(count) + ": only 0 (discard) can be assigned.");
}

void RequireChangeablePortNumber(bool open, int32_t port, const std::string& portText) {
  if (open)
    throw Error(kErrPortAlreadyOpen, ControlSource("CommPort"),
                "The port number cannot change while " + portText + " is open; close it first.");
  if (port < 1)
    throw Error(kErrInvalidPortNumber, ControlSource("CommPort"),
                "Invalid port number " + std::to_string(port) + ": ports are numbered from 1.");
}

Error PortNotOpenError(const char* member, const std::string& portText) {
  return Error(kErrPortNotOpen, ControlSource(member),
               "Operation valid only when the port is open; " + portText + " is closed.");
}

}  // namespace kivocom
