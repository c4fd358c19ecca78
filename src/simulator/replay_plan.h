// SPDX-License-Identifier: MIT
// How a recorded session becomes recorded instruments: the program's bytes are heard as the
// switch and the instruments would hear them, and the instrument's bytes that follow a command,
// up to the next command or switch change, are that command's answer.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kivocom/enums.h"
#include "kivocom/simulator.h"
#include "simulator/session_record.h"

namespace kivocom {

struct ReplayPlan {
  std::optional<ESmartSwitchStyle> switchModel;          // heard in the record, if any
  std::map<std::string, RecordedAnswers> answersByPort;  // "" is the line itself, without a switch
  std::size_t exchanges = 0;                             // commands heard
  int32_t baudRate = 9600;                               // the last speed the program chose
};

ReplayPlan PlanReplay(const std::vector<RecordEntry>& entries);

}  // namespace kivocom
