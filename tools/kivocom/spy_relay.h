// SPDX-License-Identifier: MIT
// The spy's relay: a pseudo-terminal that a program opens in place of a serial device, and the
// bytes carried both ways between them. Each system has its own (posix/, windows/), chosen by the
// build; the relay reports what it carries to an observer and decodes nothing itself.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kivotool {

// When a burst was read: for the elapsed time and for the wall clock.
struct SpyStamp {
  std::chrono::steady_clock::time_point at;
  std::chrono::system_clock::time_point wall;
};

// The device's line as the spy starts it; data bits and parity, when given, stay whatever the
// program chooses (some systems' pseudo-terminals cannot show a program's choice of them).
struct SpyLine {
  int baud = 9600;                // until the program chooses a speed
  std::optional<int> dataBits;    // 5 to 8; no value: the program's (8 until it chooses)
  std::optional<char> parity;     // N, E, O, M or S; no value: the program's (N until it chooses)
};

// Told everything the relay sees, in order, on the relay's thread.
class SpyObserver {
 public:
  virtual ~SpyObserver() = default;
  // The relay runs: the program opens `programDevice`; `unfollowed` says what of the program's
  // line control cannot reach the device on this system.
  virtual void Ready(const std::string& programDevice, const std::string& unfollowed) = 0;
  // The program chose line settings such as "9600,N,8,1" (or they were set at the start);
  // `problem` is empty when the device took them, else why it did not.
  virtual void Settings(const std::string& settings, const std::string& problem, const SpyStamp& stamp) = 0;
  // One burst, already passed on: from the program to the device, or back.
  virtual void Traffic(bool fromProgram, const std::string& bytes, const SpyStamp& stamp) = 0;
  // The device went away; the program's end is hung up next.
  virtual void DeviceLost(const std::string& why, const SpyStamp& stamp) = 0;
};

// Opens `device`, raw at `line`'s settings until the program chooses its own settings, makes the program's
// pseudo-terminal and relays until Ctrl-C or a termination request (returns true) or until the
// device goes (returns false, after DeviceLost). Raises ToolFailure when the device cannot be
// opened or the system has no pseudo-terminal for the spy.
bool RunSpyRelay(const std::string& device, const SpyLine& line, SpyObserver& observer);

}  // namespace kivotool
