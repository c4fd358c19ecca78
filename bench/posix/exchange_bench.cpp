// SPDX-License-Identifier: MIT
// Latency and processor time of one command and reply exchange on a pseudo-terminal, against the
// instrument simulator replying after a fixed delay: ReadPort with AutoClose on and off, and two
// raw termios loops for reference: one that opens, configures, exchanges and closes the device
// every time (the floor for ReadPort, since every OpenPort reopens the line), one that keeps it
// open. Also the processor time a silent three-second ReadPort time-out costs.
//
// Run by hand: build/bench/exchange_bench [exchanges]   (default 2000)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

namespace {

using namespace kivocom;
using Steady = std::chrono::steady_clock;

constexpr auto kReplyDelay = std::chrono::microseconds(100);
constexpr int32_t kBenchPort = 77;

using bench::ProcessCpuSeconds;

using bench::Measure;
using bench::Row;

int OpenRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  cfsetspeed(&tio, B115200);
  tio.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

// Writes the same bytes ReadPort sends and reads until the reply's LF.
bool RawExchange(int fd) {
  static const std::string command = "\rPV\r";
  if (write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return false;
  std::string reply;
  char buffer[256];
  while (reply.find('\n') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) return false;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

void PrintRows(const std::vector<Row>& rows, double floorUs) {
  std::printf("%-36s %12s %12s %14s %10s %9s\n", "exchange", "median (us)", "p99 (us)", "CPU/exch (us)",
              "vs floor", "failures");
  for (const Row& r : rows)
    std::printf("%-36s %12.1f %12.1f %14.1f %9.2fx %9d\n", r.name.c_str(), r.medianUs, r.p99Us, r.cpuUs,
                r.medianUs / floorUs, r.failures);
}

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 2000;
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+0023.45";
  instrument.behaviour.replyDelay = kReplyDelay;
  instrument.behaviour.paced = false;
  const auto id = sim.AddInstrument(instrument);
  MapPortToDevice(kBenchPort, sim.DevicePath());

  CCOMPort port;
  port.port(kBenchPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.TimeOut(1000);
  ECOMError err = CE_NONE;
  auto readPort = [&] { return port.ReadPort(err, "PV") == "+0023.45" && err == CE_NONE; };

  std::vector<Row> rows;
  rows.push_back(Measure("raw termios, reopen each (floor)", exchanges, [&] {
    const int fd = OpenRaw(sim.DevicePath());
    const bool ok = fd >= 0 && RawExchange(fd);
    if (fd >= 0) close(fd);
    return ok;
  }));
  const int keptFd = OpenRaw(sim.DevicePath());
  rows.push_back(Measure("raw termios, kept open", exchanges, [&] { return RawExchange(keptFd); }));
  close(keptFd);
  port.AutoClose(true);
  rows.push_back(Measure("ReadPort, AutoClose True", exchanges, readPort));
  port.AutoClose(false);
  rows.push_back(Measure("ReadPort, AutoClose False", exchanges, readPort));
  port.ClosePort();

  std::printf("Exchange on a pseudo-terminal, simulator reply delay %lld us, unpaced, %d exchanges each.\n"
              "CPU is the whole process's (client, serial control and simulator threads).\n\n",
              static_cast<long long>(kReplyDelay.count()), exchanges);
  PrintRows(rows, rows[0].medianUs);

  sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.behaviour.silent = true; });
  port.AutoClose(true);
  port.Retries(1);
  port.TimeOut(3000);
  const double cpuStart = ProcessCpuSeconds();
  const auto start = Steady::now();
  port.ReadPort(err, "PV");
  const double wall = std::chrono::duration<double>(Steady::now() - start).count();
  const double cpu = ProcessCpuSeconds() - cpuStart;
  std::printf("\nSilent ReadPort time-out: %.2f s wall, %.4f s CPU = %.3f %% of one core (%s)\n", wall, cpu,
              100 * cpu / wall, err == CE_TIMEOUT ? "CE_TIMEOUT" : "unexpected result");
  MapPortToDevice(kBenchPort, "");
  return 0;
}
