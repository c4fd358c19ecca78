// SPDX-License-Identifier: MIT
// Latency and processor time of a repeated exchange, for the benchmarks' tables.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// The median of `values` (the upper one of the middle two for an even count); 0 when empty.
double Median(std::vector<double> values);

// One client's figures over several runs (at least one, all of the same name): each figure is the
// median of the runs' figures, and the failures are added up.
Row MedianOfRuns(const std::vector<Row>& runs);

}  // namespace kivocom::bench
