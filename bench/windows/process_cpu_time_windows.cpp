// SPDX-License-Identifier: MIT
// Process processor time on Windows.
#include <windows.h>

#include "process_cpu_time.h"

namespace kivocom::bench {
namespace {

// FILETIME counts 100-nanosecond intervals.
double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;
}

}  // namespace

double ProcessCpuSeconds() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return Seconds(kernel) + Seconds(user);
}

}  // namespace kivocom::bench
