// SPDX-License-Identifier: MIT
// A session that `kivocom spy --record FILE` kept, read back as the instruments it heard: per
// switch port (or the line itself), each command's answers with their bytes, bursts and delays.
// The pseudo-terminal simulator plays it (kivocom/session_replay.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "kivocom/enums.h"
#include "kivocom/simulated_instrument.h"

namespace kivocom {

// The instruments of a recorded session.
struct RecordedSession {
  // The smart switch the program routed through, read from its selections and releases; none
  // when it spoke to the line itself.
  std::optional<ESmartSwitchStyle> switchModel;
  // The answers heard on each switch port; "" is the line itself, without a switch.
  std::map<std::string, RecordedAnswers> answersByPort;
  // Commands recorded, with or without an answer.
  std::size_t exchanges = 0;
  // The line speed the program last chose.
  int32_t baudRate = 9600;
};

// Reads the session record in the file `recordPath`. Raises kivocom::Error with `source` 53 when
// the file cannot be read and 380, naming the line, when it is not a session record.
RecordedSession ReadRecordedSession(const std::string& recordPath, const std::string& source);

}  // namespace kivocom
