// SPDX-License-Identifier: MIT
// A lost line: the serial control's failure that means the line cannot serve the exchange: the
// device is gone (unplugged, hung up; 8020), or a network server turned the client away (8010)
// or is not the kind the port names (8012). Unlike a passing fault it does not heal by waiting,
// so exchanges stop waiting on it at once.
#pragma once

#include <optional>

#include "comport/continue_on_error.h"
#include "kivocom/error.h"

namespace kivocom {

inline bool IsLineLoss(const ErrorRecord& failure) {
  return failure.number == kErrReadingDevice || failure.number == kErrHardwareNotAvailable ||
         failure.number == kErrDeviceNotOpen;
}

// Only a line that went away may come back when opened again; a server that turned the client
// away will do so again.
inline bool MayComeBack(const ErrorRecord& loss) { return loss.number == kErrReadingDevice; }

// Runs `step`, a call on the serial control. Returns the line's loss when the step failed with it;
// any other failure is dropped (the caller counts the step as having given nothing).
template <class Step>
std::optional<ErrorRecord> LossDuring(Step&& step, bool* failed = nullptr) {
  std::optional<ErrorRecord> failure;
  ContinueOnError(failure, std::forward<Step>(step));
  if (failed) *failed = failure.has_value();
  if (failure && IsLineLoss(*failure)) return failure;
  return std::nullopt;
}

}  // namespace kivocom
