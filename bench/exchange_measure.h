// SPDX-License-Identifier: MIT
// Latency and processor time of a repeated exchange, for the benchmarks' tables.
#pragma once

#include <functional>
#include <string>

namespace kivocom::bench {

// One table row: median and 99th-percentile latency and processor time per exchange, in
// microseconds, and the exchanges that did not give the expected answer.
struct Row {
  std::string name;
  double medianUs = 0, p99Us = 0, cpuUs = 0;
  int failures = 0;
};

// Runs `exchange` once to warm up, then `exchanges` times, timing each; `exchange` returns false
// when its answer was wrong.
Row Measure(const std::string& name, int exchanges, const std::function<bool()>& exchange);

}  // namespace kivocom::bench
