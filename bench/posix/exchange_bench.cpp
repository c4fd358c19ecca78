// SPDX-License-Identifier: MIT
// Latency and processor time of one command and reply exchange on a pseudo-terminal, against an
// instrument in a process of its own that answers at once. Every client opens, sets up, exchanges
// and closes the line each time, as every ReadPort does: the raw termios loop (the floor), the
// same loop with the buffer clearings, the lone CR and the drain waits every exchange of the design
// makes, libserialport's blocking API (the peer, when the system has it) and ReadPort with
// AutoClose on and off; a raw loop that keeps the line open is shown for scale. The clients take turns run by
// run; each figure is the median over the runs, and the ratios are taken run by run against the
// floor and the peer of the same run, then their median. Also the processor time of a silent
// three-second ReadPort time-out, and a 921,600-baud download that arrives while the client
// sleeps a second.
//
// Run by hand: build/bench/exchange_bench [exchanges] [runs] [--pin] [--only CLIENT]
// (default 2000 exchanges, 7 runs). --pin runs the instrument on processor 0 and the client on
// processor 1. --only floor|design-steps|peer|readport|readport-open makes just that client's exchanges and
// prints nothing, for a profiler or strace -c; it waits a second first, so that a tracer attached
// to the client's process id (and so not to the instrument's) is in place.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "answering_instrument.h"
#include "exchange_measure.h"
#include "kivocom/kivocom.h"
#include "kivocom/port_devices.h"
#include "process_cpu_time.h"
#include "raw_termios_client.h"
#include "serialport_peer.h"

namespace {

using namespace kivocom;
using namespace kivocom::bench;
using Steady = std::chrono::steady_clock;

constexpr int32_t kBenchPort = 77;

struct Options {
  int exchanges = 2000;
  int runs = 7;
  bool pin = false;
  std::string only;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  int position = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pin") == 0)
      options.pin = true;
    else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
      options.only = argv[++i];
    else if (position++ == 0)
      options.exchanges = std::max(1, std::atoi(argv[i]));
    else
      options.runs = std::max(1, std::atoi(argv[i]));
  }
  return options;
}

struct Client {
  std::string key;  // the name --only takes
  std::string name;
  std::function<bool()> exchange;
  std::function<void()> afterRun;  // lets go of a line the client kept open
  std::vector<Row> runs;
};

// The median over runs of this client's `figure` divided by `base`'s in the same run.
double RatioOver(const Client& client, const Client& base, double Row::*figure) {
  std::vector<double> ratios;
  for (std::size_t r = 0; r < client.runs.size(); ++r) ratios.push_back(client.runs[r].*figure / base.runs[r].*figure);
  return Median(ratios);
}

void PrintTable(const std::vector<Client>& clients, const Client* peer) {
  const Client& floor = clients.front();
  std::printf("%-34s %10s %10s %10s %8s %8s %8s %9s %9s\n", "client", "median us", "p99 us", "CPU us/ex",
              "med/flr", "p99/flr", "CPU/flr", "med/peer", "failures");
  for (const Client& c : clients) {
    const Row row = MedianOfRuns(c.runs);
    std::printf("%-34s %10.1f %10.1f %10.1f %7.2fx %7.2fx %7.2fx", row.name.c_str(), row.medianUs, row.p99Us,
                row.cpuUs, RatioOver(c, floor, &Row::medianUs), RatioOver(c, floor, &Row::p99Us),
                RatioOver(c, floor, &Row::cpuUs));
    if (peer)
      std::printf(" %8.2fx", RatioOver(c, *peer, &Row::medianUs));
    else
      std::printf(" %9s", "-");
    std::printf(" %9d\n", row.failures);
  }
}

void PrintPerRunRatios(const Client& client, const Client& floor) {
  std::printf("  %s, median/floor run by run:", client.name.c_str());
  for (std::size_t r = 0; r < client.runs.size(); ++r)
    std::printf(" %.2f", client.runs[r].medianUs / floor.runs[r].medianUs);
  std::printf("\n");
}

void SilentTimeOut(CCOMPort& port) {
  ECOMError err = CE_NONE;
  port.AutoClose(true);
  port.Retries(1);
  port.TimeOut(3000);
  const double cpuStart = ProcessCpuSeconds();
  const auto start = Steady::now();
  port.ReadPort(err, "XX");  // a command the instrument does not answer
  const double wall = std::chrono::duration<double>(Steady::now() - start).count();
  const double cpu = ProcessCpuSeconds() - cpuStart;
  std::printf("Silent ReadPort time-out: %.2f s wall, %.4f s CPU = %.3f %% of one core (%s)\n", wall, cpu,
              100 * cpu / wall, err == CE_TIMEOUT ? "CE_TIMEOUT" : "unexpected result");
}

// The instrument streams one second of a 921,600-baud line and drops what the line cannot take
// when it is due; the client sleeps through it and then takes what was kept for it.
void DownloadWhileAsleep(CCOMPort& port) {
  ECOMError err = CE_NONE;
  port.BaudRate(BAUD_921600);
  port.AutoClose(false);
  port.WritePort(err, "DL");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  SerialControl& line = port.COMControl();
  std::string received;
  while (received.size() < AnsweringInstrument::kDownloadBytes && line.WaitForInput(500)) received += line.Input();
  port.ClosePort();
  const std::string sent = AnsweringInstrument::DownloadData();
  std::printf("921,600-baud download while the client slept 1 s: %zu of %zu bytes, %s\n", received.size(),
              sent.size(), received == sent ? "intact" : "NOT intact");
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  AnsweringInstrument instrument(options.pin ? 0 : -1);
  const bool pinned = options.pin && PinToCpu(1);
  const std::string device = instrument.DevicePath();
  MapPortToDevice(kBenchPort, device);
  const std::unique_ptr<SerialPortPeer> peer = CreateSerialPortPeer(device);

  CCOMPort port;
  port.port(kBenchPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.TimeOut(1000);
  ECOMError err = CE_NONE;
  auto readPort = [&] { return port.ReadPort(err, "PV") == AnsweringInstrument::kReply && err == CE_NONE; };
  int keptFd = -1;

  std::vector<Client> clients;
  clients.push_back({"floor", "raw termios, reopen each (floor)", [&] { return RawReopenExchange(device); }, nullptr, {}});
  clients.push_back({"design-steps", "raw termios + the design's steps", [&] { return RawDesignStepsExchange(device); },
                     nullptr, {}});
  if (peer) clients.push_back({"peer", peer->Name() + ", reopen each", [&] { return peer->ReopenExchange(); }, nullptr, {}});
  clients.push_back({"readport", "ReadPort, AutoClose True", [&] {
                       port.AutoClose(true);
                       return readPort();
                     },
                     nullptr, {}});
  clients.push_back({"readport-open", "ReadPort, AutoClose False", [&] {
                       port.AutoClose(false);
                       return readPort();
                     },
                     [&] { port.ClosePort(); }, {}});
  clients.push_back({"kept-open", "raw termios, kept open", [&] {
                       if (keptFd < 0) keptFd = OpenRawLine(device);
                       return RawExchange(keptFd);
                     },
                     [&] {
                       close(keptFd);
                       keptFd = -1;
                     },
                     {}});

  if (!options.only.empty()) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (Client& c : clients) {
      if (c.key != options.only) continue;
      for (int i = 0; i < options.exchanges; ++i) c.exchange();
      if (c.afterRun) c.afterRun();
    }
    MapPortToDevice(kBenchPort, "");
    return 0;
  }

  for (int run = 0; run < options.runs; ++run) {
    for (Client& c : clients) {
      c.runs.push_back(Measure(c.name, options.exchanges, c.exchange));
      if (c.afterRun) c.afterRun();
    }
  }

  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("Exchange on a pseudo-terminal against an instrument in another process answering at once;\n"
              "%d runs of %d exchanges per client, clients in turn; %s; load average %.2f %.2f %.2f.\n"
              "Figures are medians over runs; ratios are taken run by run against the floor (flr) and %s.\n"
              "CPU is the client process's (all its threads); the instrument's is not counted.\n\n",
              options.runs, options.exchanges,
              pinned ? "instrument pinned to CPU 0, client to CPU 1" : "not pinned", load[0], load[1], load[2],
              peer ? peer->Name().c_str() : "no peer (built without libserialport)");
  const Client* peerClient = peer ? &clients[2] : nullptr;
  PrintTable(clients, peerClient);
  std::printf("\n");
  for (std::size_t i = 1; i < clients.size(); ++i) PrintPerRunRatios(clients[i], clients.front());
  std::printf("\n");
  SilentTimeOut(port);
  DownloadWhileAsleep(port);
  MapPortToDevice(kBenchPort, "");
  return 0;
}
