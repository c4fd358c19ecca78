// The continue-on-error mode of the port's operations: a failing step is abandoned, its error is
// kept as the pending error (a later one replaces an earlier one), and the next step runs.
#pragma once

#include <exception>
#include <optional>

#include "kivocom/error.h"

namespace kivocom {

// Number given to a failure that did not come as a kivocom::Error (an unspecified failure).
inline constexpr int32_t kErrUnexpected = static_cast<int32_t>(0x80004005);

template <class Step>
void ContinueOnError(std::optional<ErrorRecord>& pending, Step&& step) {
  try {
    step();
  } catch (const Error& e) {
    pending = e.Record();
  } catch (const std::exception& e) {
    pending = ErrorRecord{kErrUnexpected, "", e.what(), "", 0};
  }
}

// Runs `step`, dropping any error it raises.
template <class Step>
void IgnoringErrors(Step&& step) {
  std::optional<ErrorRecord> dropped;
  ContinueOnError(dropped, std::forward<Step>(step));
}

}  // namespace kivocom
