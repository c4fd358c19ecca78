// SPDX-License-Identifier: MIT
// How a recorded session becomes recorded instruments: the program's bytes are heard as the
// switch and the instruments would hear them, and the instrument's bytes that follow a command,
// up to the next command or switch change, are that command's answer.
#pragma once

#include <vector>

#include "kivocom/recorded_session.h"
#include "instruments/session_record.h"

namespace kivocom {

// The instruments the entries of a record heard.
RecordedSession PlanReplay(const std::vector<RecordEntry>& entries);

}  // namespace kivocom
