// SPDX-License-Identifier: MIT
// Processor time a silent ReadPort time-out costs: ReadPort waits three seconds for a reply that
// never comes, once reopening the line (AutoClose True, as most clients run) and once on a line
// kept open. The figure is the whole process's CPU time (client thread and the serial line's
// receive thread) as a share of wall time; the goal is under 1 % of one core.
//
// Run by hand with a port whose far end stays silent:
//   Linux: KIVOCOM_COM<n>=<pseudo-terminal> build/bench/silent_timeout_bench <n>
//   Wine:  link $WINEPREFIX/dosdevices/com<n> to a pseudo-terminal that nobody answers on, then
//          wine build-win64/bench/silent_timeout_bench.exe <n>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "kivocom/kivocom.h"
#include "process_cpu_time.h"

namespace {

using namespace kivocom;

constexpr int32_t kTimeOutMs = 3000;

void Measure(const char* name, CCOMPort& port) {
  ECOMError err = CE_NONE;
  const double cpuStart = bench::ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  port.ReadPort(err, "PV");
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = bench::ProcessCpuSeconds() - cpuStart;
  std::printf("%-34s %9.1f %8.2f %9.3f %%  %s\n", name, wall * 1e3, cpu * 1e3, 100 * cpu / wall,
              err == CE_TIMEOUT ? "CE_TIMEOUT" : "unexpected result (is the far end silent?)");
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t portNumber = argc > 1 ? std::atoi(argv[1]) : 0;
  if (portNumber < 1) {
    std::fprintf(stderr, "usage: silent_timeout_bench <port number whose far end is silent>\n");
    return 2;
  }
  CCOMPort port;
  port.port(portNumber);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.Retries(1);
  port.TimeOut(kTimeOutMs);

  std::printf("Silent ReadPort time-out of %d ms on COM%d, 115200 baud\n\n", kTimeOutMs, portNumber);
  std::printf("%-34s %9s %8s %11s\n", "case", "wall ms", "CPU ms", "CPU share");
  port.AutoClose(true);
  Measure("ReadPort, AutoClose True", port);
  port.AutoClose(false);
  Measure("ReadPort, AutoClose False", port);
  port.ClosePort();
  return 0;
}
