// SPDX-License-Identifier: MIT
// When each byte of the instruments' answers goes on the line. One line carries one byte at a
// time, so an answer starts after its reply delay and never before the previous answer has gone;
// paced answers take 10 bit times a character, and pieces are separated by their gap. An answer
// that unplugs the far end is cut short and followed by the unplugging.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "instruments/transmission.h"

namespace kivocom {

class ReplySchedule {
 public:
  using Clock = std::chrono::steady_clock;

  // How a transmission is to be sent.
  struct Pace {
    Clock::time_point earliestStart;      // command received plus the reply delay
    std::chrono::nanoseconds characterTime;  // 10 bit times at the line's rate
    bool paced = true;                     // false: each piece goes at once
    int64_t unplugAfter = -1;              // bytes to send before unplugging; negative: never
  };

  // What is due now.
  struct Due {
    std::string bytes;    // to write, in order
    bool unplug = false;  // after the bytes, close the far end
  };

  // Plans `transmission` after everything already planned.
  void Plan(const Transmission& transmission, const Pace& pace);
  // When the next planned byte is due; no value when nothing is planned.
  std::optional<Clock::time_point> NextDue() const;
  // Takes everything due at `now`, up to and including an unplugging.
  Due TakeDue(Clock::time_point now);
  // Puts back what the line did not take, to go first as soon as it can.
  void PutBack(Due rest);
  // Drops everything planned (the line was switched away or closed).
  void Clear();

 private:
  struct Emission {
    Clock::time_point due;
    std::string bytes;
    bool unplug = false;
  };
  void PlanPiece(const std::string& piece, Clock::time_point& at, const Pace& pace);

  std::deque<Emission> emissions_;
  Clock::time_point lineFreeAt_{};
};

}  // namespace kivocom
