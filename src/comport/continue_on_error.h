// SPDX-License-Identifier: MIT
// The continue-on-error mode of the port's operations: a failing step is abandoned, its error is
// kept as the pending error (a later one replaces an earlier one), and the next step runs.
#pragma once

#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "kivocom/error.h"

namespace kivocom {

// Number given to a failure that did not come as a kivocom::Error (an unspecified failure).
inline constexpr int32_t kErrUnexpected = static_cast<int32_t>(0x80004005);
// Error number of a value too large for the integer type it is taken as.
inline constexpr int32_t kErrOverflow = 6;
// Error number of a failed allocation.
inline constexpr int32_t kErrOutOfMemory = 7;

// The error being handled, as an error record; whatever was raised (a client's handler, control
// or window may raise anything). Call only inside a catch block.
inline ErrorRecord CaughtErrorRecord() {
  try {
    throw;
  } catch (const Error& e) {
    return e.Record();
  } catch (const std::bad_alloc&) {
    return {kErrOutOfMemory, "", "Out of memory", "", 0};
  } catch (const std::exception& e) {
    return {kErrUnexpected, "", e.what(), "", 0};
  } catch (...) {
    return {kErrUnexpected, "", "An unexpected failure occurred.", "", 0};
  }
}

template <class Step>
void ContinueOnError(std::optional<ErrorRecord>& pending, Step&& step) {
  try {
    step();
  } catch (...) {
    pending = CaughtErrorRecord();
  }
}

// Runs `step`, dropping any error it raises.
template <class Step>
void IgnoringErrors(Step&& step) {
  std::optional<ErrorRecord> dropped;
  ContinueOnError(dropped, std::forward<Step>(step));
}

// `value` as a 16-bit integer; raises an overflow error (with `source`) when it does not fit.
inline int16_t ToInteger16(int32_t value, const std::string& source) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    throw Error(kErrOverflow, source, "Overflow: " + std::to_string(value) + " does not fit a 16-bit integer.");
  return static_cast<int16_t>(value);
}

}  // namespace kivocom
