// SPDX-License-Identifier: MIT
// The processor time of the whole process, for the benchmarks' CPU figures.
#pragma once

namespace kivocom::bench {

// User and system time of every thread of this process so far, in seconds.
double ProcessCpuSeconds();

}  // namespace kivocom::bench
