// SPDX-License-Identifier: MIT
#include "exchange_measure.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "process_cpu_time.h"

namespace kivocom::bench {

Row Measure(const std::string& name, int exchanges, const std::function<bool()>& exchange) {
  using Steady = std::chrono::steady_clock;
  std::vector<double> latencies;
  latencies.reserve(exchanges);
  Row row{name};
  exchange();  // warm-up
  const double cpuStart = ProcessCpuSeconds();
  for (int i = 0; i < exchanges; ++i) {
    const auto start = Steady::now();
    if (!exchange()) ++row.failures;
    latencies.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
  }
  row.cpuUs = (ProcessCpuSeconds() - cpuStart) * 1e6 / exchanges;
  std::sort(latencies.begin(), latencies.end());
  row.medianUs = latencies[latencies.size() / 2];
  row.p99Us = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
  return row;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

Row MedianOfRuns(const std::vector<Row>& runs) {
  Row row{runs.front().name};
  std::vector<double> medians, p99s, cpus;
  for (const Row& run : runs) {
    medians.push_back(run.medianUs);
    p99s.push_back(run.p99Us);
    cpus.push_back(run.cpuUs);
    row.failures += run.failures;
  }
  row.medianUs = Median(medians);
  row.p99Us = Median(p99s);
  row.cpuUs = Median(cpus);
  return row;
}

}  // namespace kivocom::bench
