// The timed wait that keeps the client's event loop running.
#include <algorithm>

#include "kivocom/clock.h"
#include "kivocom/support.h"

namespace kivocom {
namespace {
// How long the wait sleeps between two runs of the message pump: short enough that a GUI stays
// responsive, long enough that a one-second wait costs no measurable processor time.
constexpr int64_t kPumpIntervalMs = 10;
}  // namespace

void WaitMilliseconds(int32_t milliseconds) {
  Clock& clock = ThreadClock();
  MessagePump& pump = ThreadMessagePump();
  const int64_t start = clock.NowMs();
  for (;;) {
    pump.ProcessPending();
    const int64_t remaining = milliseconds - (clock.NowMs() - start);
    if (remaining <= 0) return;
    clock.Sleep(std::min(remaining, kPumpIntervalMs));
  }
}

}  // namespace kivocom
