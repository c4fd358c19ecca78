// SPDX-License-Identifier: MIT
// Latency and processor time of one ReadPort exchange through a network port, beside the same
// exchange on the local line: the simulator's pseudo-terminal shared by a real ser2net (with
// chardelay off) on 127.0.0.1, reached through rfc2217:// and tcp://.
//
// Run by hand: build/bench/network_exchange_bench [exchanges]   (default 2000; needs ser2net)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "kivocom/kivocom.h"
#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"
#include "exchange_measure.h"
#include "process_cpu_time.h"
#include "support/posix/ser2net_server.h"

namespace {

using namespace kivocom;
using Steady = std::chrono::steady_clock;

constexpr auto kReplyDelay = std::chrono::microseconds(100);
constexpr int32_t kBenchPort = 78;
constexpr int kRuns = 5;

using bench::Measure;
using bench::Row;

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 2000;
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+0023.45";
  instrument.behaviour.replyDelay = kReplyDelay;
  instrument.behaviour.paced = false;
  sim.AddInstrument(instrument);
  Ser2netServer server(sim.DevicePath());
  if (!server.Started()) {
    std::fprintf(stderr, "network_exchange_bench: %s\n", server.Problem().c_str());
    return 1;
  }

  CCOMPort port;
  port.port(kBenchPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.TimeOut(1000);
  ECOMError err = CE_NONE;
  auto readPort = [&] { return port.ReadPort(err, "PV") == "+0023.45" && err == CE_NONE; };

  const std::vector<std::pair<std::string, std::string>> lines = {
      {"local line", sim.DevicePath()}, {"rfc2217:// via ser2net", server.Rfc2217Address()},
      {"tcp:// via ser2net", server.TcpAddress()}};
  // The rows take turns over the runs, so a spell of load on a shared machine falls on all of them.
  std::vector<std::vector<Row>> runs(2 * lines.size());
  for (int run = 0; run < kRuns; ++run) {
    std::size_t row = 0;
    for (const bool autoClose : {false, true}) {
      for (const auto& [name, device] : lines) {
        // ser2net lets go of the device on its own time after the previous row's client left.
        server.WaitUntilDeviceReleased(std::chrono::seconds(2));
        MapPortToDevice(kBenchPort, device);
        port.AutoClose(autoClose);
        runs[row++].push_back(
            Measure(name + (autoClose ? ", AutoClose True" : ", AutoClose False"), exchanges / kRuns, readPort));
        port.ClosePort();
      }
    }
  }
  std::vector<Row> rows;
  for (const std::vector<Row>& row : runs) rows.push_back(bench::MedianOfRuns(row));
  MapPortToDevice(kBenchPort, "");

  std::printf("ReadPort exchange, simulator reply delay %lld us, unpaced, %d exchanges each in %d runs taken in "
              "turn (medians of the runs), %s, chardelay off.\n"
              "CPU is the whole process's (client, simulator threads; ser2net not counted).\n\n",
              static_cast<long long>(kReplyDelay.count()), exchanges, kRuns, Ser2netServer::Version().c_str());
  std::printf("%-42s %12s %12s %14s %10s %9s\n", "exchange", "median (us)", "p99 (us)", "CPU/exch (us)",
              "vs local", "failures");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const double local = rows[i / lines.size() * lines.size()].medianUs;
    std::printf("%-42s %12.1f %12.1f %14.1f %9.2fx %9d\n", r.name.c_str(), r.medianUs, r.p99Us, r.cpuUs,
                r.medianUs / local, r.failures);
  }
  return 0;
}
