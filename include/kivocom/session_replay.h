// SPDX-License-Identifier: MIT
// Playing back a session that `kivocom spy --record FILE` kept: the simulator becomes the
// instrument of that session, so a fault seen once on the bench can be run again as a test.
//
// Each command the program sent is answered with the bytes the instrument answered it with then,
// after the same delay and in the same bursts; a command that came several times gets its
// answers in recorded order (silences included), then the last one again. Commands the record
// never heard go unanswered, and so do bytes the instrument sent unasked. Behind a smart switch
// (its model is read from the record's selections and releases) each switch port gets the
// answers given on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kivocom/enums.h"
#include "kivocom/simulator.h"

namespace kivocom {

// What a replay set up.
struct ReplayedSession {
  std::optional<ESmartSwitchStyle> switchModel;  // the switch the record routed through, if any
  std::vector<std::string> switchPorts;          // the switch ports that have answers
  std::size_t exchanges = 0;                     // commands recorded, with or without an answer
  int32_t baudRate = 9600;                       // the speed the program last chose
};

// Makes `sim` play the instrument of the session recorded in the file `recordPath`: its line
// speed, its switch and a recorded instrument per switch port (one on the line without a switch).
// Raises kivocom::Error (source "InstrumentSimulator - Replay") 53 when the file cannot be read
// and 380, naming the line, when it is not a session record; `sim` is then unchanged.
ReplayedSession ReplayRecordedSession(InstrumentSimulator& sim, const std::string& recordPath);

}  // namespace kivocom
