// SPDX-License-Identifier: MIT
// Exchanges with an instrument that answers the moment a command ends, with one transmission
// (Retries 1) and a one-second time-out: a reply that the exchange's last clearing threw away
// shows as a time-out, and costs the whole second. The table counts them, for a port reopened
// at every exchange (AutoClose True) and for one kept open, and an echoing instrument besides.
//
// Run by hand: build/bench/quick_answer_bench [EXCHANGES]    (default 10,000 per row)
// Under Wine, the simulated instrument lives in the native simulator host:
//   KIVOCOM_SIMULATOR_HOST=build/src/kivocom_simhost wine build-win64/bench/quick_answer_bench.exe
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kivocom/kivocom.h"
#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"
#include "process_cpu_time.h"

namespace {

using namespace kivocom;

constexpr int32_t kPort = 77;
constexpr int32_t kTimeOutMs = 1000;
constexpr const char* kReading = "+0023.45";

struct Figures {
  int timeouts = 0;
  int wrong = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

SimulatedInstrument AtOnce(bool echo) {
  SimulatedInstrument instrument;
  instrument.replies["PV"] = kReading;
  instrument.behaviour.replyDelay = std::chrono::microseconds(0);
  instrument.behaviour.paced = false;
  instrument.behaviour.echo = echo;
  return instrument;
}

Figures Run(bool echo, bool autoClose, int exchanges) {
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  sim.AddInstrument(AtOnce(echo));
  MapPortToDevice(kPort, sim.DevicePath());
  CCOMPort port;
  port.port(kPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.Retries(1);
  port.TimeOut(kTimeOutMs);
  port.AutoClose(autoClose);

  Figures figures;
  const double cpuStart = bench::ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < exchanges; ++i) {
    ECOMError err = CE_NONE;
    const std::string reply = port.ReadPort(err, "PV");
    if (err == CE_TIMEOUT) ++figures.timeouts;
    else if (err != CE_NONE || reply != kReading) ++figures.wrong;
  }
  figures.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.cpuSeconds = bench::ProcessCpuSeconds() - cpuStart;
  port.ClosePort();
  MapPortToDevice(kPort, "");
  return figures;
}

void Row(const char* name, bool echo, bool autoClose, int exchanges) {
  const Figures f = Run(echo, autoClose, exchanges);
  std::printf("%-34s %9d %9d %7d %10.1f %9.1f\n", name, exchanges, f.timeouts, f.wrong,
              exchanges / f.wallSeconds, 1e6 * f.cpuSeconds / exchanges);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (exchanges < 1) {
    std::fprintf(stderr, "usage: quick_answer_bench [exchanges per row, at least 1]\n");
    return 2;
  }
  std::printf("Instrument answering at once, 115200 baud, Retries 1, TimeOut %d ms\n\n", kTimeOutMs);
  std::printf("%-34s %9s %9s %7s %10s %9s\n", "case", "exchanges", "time-outs", "wrong", "per second",
              "CPU us");
  Row("reopened each exchange", false, true, exchanges);
  Row("kept open", false, false, exchanges);
  Row("echoing, reopened each exchange", true, true, exchanges / 10);
  return 0;
}
