// SPDX-License-Identifier: MIT
// The system clock: the tick counter, and a sleep that wakes for window messages so that the
// library's waits keep the client's windows alive without using the processor.
#include <windows.h>

#include <algorithm>

#include "kivocom/clock.h"

namespace kivocom {

int64_t SystemClock::NowMs() { return static_cast<int64_t>(GetTickCount64()); }

// Returns early when input or a message is waiting for the thread (MWMO_INPUTAVAILABLE also
// counts messages already seen but not yet removed), so the caller's pump can run it.
void SystemClock::Sleep(int64_t ms) {
  if (ms <= 0) return;
  const DWORD wait = static_cast<DWORD>(std::min<int64_t>(ms, INFINITE - 1));
  MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace kivocom
