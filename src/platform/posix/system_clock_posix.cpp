// SPDX-License-Identifier: MIT
// The system clock: the steady clock, and a plain sleep (no window messages to wake it here).
#include <chrono>
#include <thread>

#include "kivocom/clock.h"

namespace kivocom {

int64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::Sleep(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace kivocom
