// SPDX-License-Identifier: MIT
// The timed wait that keeps the client's event loop running.
#include <algorithm>
#include <exception>

#include "kivocom/clock.h"
#include "kivocom/support.h"

namespace kivocom {
namespace {
// How long the wait sleeps between two runs of the message pump: short enough that a GUI stays
// responsive, long enough that a one-second wait costs no measurable processor time.
constexpr int64_t kPumpIntervalMs = 10;
}  // namespace

// A pump that raises (a client's handler failed) does not cut the wait short: the wait lasts its
// full time, and the first such error is raised once it has.
void WaitMilliseconds(int32_t milliseconds) {
  Clock& clock = ThreadClock();
  MessagePump& pump = ThreadMessagePump();
  const int64_t start = clock.NowMs();
  std::exception_ptr pumpFailure;
  for (;;) {
    try {
      pump.ProcessPending();
    } catch (...) {
      if (!pumpFailure) pumpFailure = std::current_exception();
    }
    const int64_t remaining = milliseconds - (clock.NowMs() - start);
    if (remaining <= 0) break;
    clock.Sleep(std::min(remaining, kPumpIntervalMs));
  }
  if (pumpFailure) std::rethrow_exception(pumpFailure);
}

}  // namespace kivocom
