// SPDX-License-Identifier: MIT
// Process processor time on POSIX systems.
#include <sys/resource.h>

#include "process_cpu_time.h"

namespace kivocom::bench {

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace kivocom::bench
