// SPDX-License-Identifier: MIT
// Names the frames in the traffic the spy sees. From the program: the lone CR, commands, omega
// poll and set frames with their address and block check, and the smart switch's selections and
// releases, heard as the simulator's switch and instruments hear them. From the device: replies
// cut at their line end, ACK and NAK, each with the time since the command it answers.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "kivocom/enums.h"
#include "instruments/line_listener.h"

namespace kivotool {

// One named frame.
struct SpyFrame {
  using Value = std::variant<std::string, double, bool>;
  std::string kind;     // lone-cr, command, omega-poll, omega-set, omega-frame, switch-select,
                        // switch-release, reply, ack, nak
  std::string summary;  // in words, for people
  std::vector<std::pair<std::string, Value>> fields;  // the same for tools
};

class SpyDecoder {
 public:
  using Clock = std::chrono::steady_clock;

  // Hears switch sequences of `switchModel`, or finds the model from the traffic when none is
  // given; `noSwitch` hears commands only.
  SpyDecoder(std::optional<kivocom::ESmartSwitchStyle> switchModel, bool noSwitch);

  // The frames the program's `bytes`, read at `at`, completed.
  std::vector<SpyFrame> FromProgram(const std::string& bytes, Clock::time_point at);
  // The frames the device's `bytes`, read at `at`, completed.
  std::vector<SpyFrame> FromDevice(const std::string& bytes, Clock::time_point at);

 private:
  SpyFrame NameSwitch(const kivocom::LineListener::Heard& heard) const;
  std::optional<SpyFrame> FinishReply();

  kivocom::LineListener listener_;
  std::optional<Clock::time_point> commandAt_;  // the last command, until its answer starts
  std::optional<double> replyGapMs_;             // from that command to the answer's first byte
  std::string reply_;
  bool replyEndedWithCr_ = false;  // a CR came last: an LF may still belong to this reply
};

// `frame` a program sent (without its final CR) named: lone CR, omega frame or plain command.
SpyFrame NameCommand(const std::string& command);

}  // namespace kivotool
