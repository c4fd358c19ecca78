// SPDX-License-Identifier: MIT
#include "platform/line/line_rules.h"

#include <algorithm>

namespace kivocom {
namespace {

constexpr int64_t kLongestWaitMs = int64_t{30} * 24 * 3600 * 1000;

}  // namespace

std::string ControlSource(const char* member) { return std::string("SerialControl - ") + member; }

std::string PortAndDevice(int32_t port, const std::string& device) {
  return "COM" + std::to_string(port) + " (" + device + ")";
}

std::chrono::steady_clock::time_point DeadlineAfter(int64_t timeoutMs) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::clamp<int64_t>(timeoutMs, 0, kLongestWaitMs));
}

}  // namespace kivocom
