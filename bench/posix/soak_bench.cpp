// SPDX-License-Identifier: MIT
// Soak: many exchanges and downloads against the instrument simulator, with the process's open
// file descriptors, threads and resident memory read at the start and at the end (they must stay
// flat), and every exchange checked. Three runs:
//   - exchanges with an instrument that answers at once (no reply delay, no pacing), one
//     transmission each and a long time-out, so a reply cleared away would show as a time-out;
//   - exchanges on a line that echoes every byte;
//   - downloads of 20 text readings (each takes the download's one-second gather, so the default
//     thousand take about seventeen minutes).
//
// Run by hand: build/bench/soak_bench [exchanges] [downloads]   (defaults 100000 and 1000)
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "kivocom/kivocom.h"
#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"

namespace {

using namespace kivocom;
using Steady = std::chrono::steady_clock;

constexpr int32_t kSoakPort = 78;

int CountEntries(const char* folder) {
  DIR* dir = opendir(folder);
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count - 1;  // the listing's own descriptor
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      break;
    }
    status.ignore(1 << 12, '\n');
  }
  return value;
}

struct Usage {
  int descriptors = CountEntries("/proc/self/fd");
  int threads = CountEntries("/proc/self/task") + 1;
  long residentKiB = ResidentKiB();
};

struct Row {
  std::string name;
  int runs = 0;
  int failures = 0;  // time-outs or wrong data
  int timeouts = 0;  // of those, the time-outs
  int stalls = 0;    // runs that took longer than a second
  double seconds = 0;
  Usage start, end;
};

Row Soak(const std::string& name, int runs, const std::function<bool()>& run) {
  Row row;
  row.name = name;
  row.runs = runs;
  run();  // warm-up: the line, the pump and the simulator are set up before the start figures
  row.start = Usage{};
  const auto begin = Steady::now();
  for (int i = 0; i < runs; ++i) {
    const auto start = Steady::now();
    if (!run()) ++row.failures;
    if (Steady::now() - start > std::chrono::seconds(1)) ++row.stalls;
  }
  row.seconds = std::chrono::duration<double>(Steady::now() - begin).count();
  row.end = Usage{};
  return row;
}

SimulatedInstrument AtOnce(bool echo) {
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+0023.45";
  instrument.behaviour.replyDelay = std::chrono::microseconds(0);
  instrument.behaviour.paced = false;
  instrument.behaviour.echo = echo;
  instrument.download = StoredReadings{"DL", 20, false, 0, std::chrono::milliseconds(0)};
  return instrument;
}

Row ExchangeSoak(const std::string& name, bool echo, int exchanges) {
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  sim.AddInstrument(AtOnce(echo));
  MapPortToDevice(kSoakPort, sim.DevicePath());
  CCOMPort port;
  port.port(kSoakPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.Retries(1);
  port.TimeOut(3000);
  int timeouts = 0;
  int count = 0;
  Row row = Soak(name, exchanges, [&] {
    // The simulator records every byte it hears; that record is the bench's, not the library's.
    if (++count % 1000 == 0) sim.ClearReceived();
    ECOMError err = CE_NONE;
    const bool right = port.ReadPort(err, "PV") == "+0023.45" && err == CE_NONE;
    timeouts += err == CE_TIMEOUT;
    return right;
  });
  row.timeouts = timeouts;
  MapPortToDevice(kSoakPort, "");
  return row;
}

Row DownloadSoak(int downloads) {
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  const SimulatedInstrument instrument = AtOnce(false);
  sim.AddInstrument(instrument);
  MapPortToDevice(kSoakPort, sim.DevicePath());
  InstallThreadProgressWindowFactory([]() -> std::unique_ptr<ProgressWindow> { return nullptr; });
  CCOMPort port;
  port.port(kSoakPort);
  port.MaxBaudRate(BAUD_921600);
  port.BaudRate(BAUD_115200);
  port.Retries(1);
  port.TimeOut(50);  // the silence that ends each download, and the time allowed to start answering
  const std::string expected = StoredReadingsStream(instrument.download);
  int timeouts = 0;
  Row row = Soak("downloads of 20 readings", downloads, [&] {
    ECOMError err = CE_NONE;
    const bool right = port.Download(false, err, "DL") == expected && err == CE_NONE;
    timeouts += err == CE_TIMEOUT;
    return right;
  });
  row.timeouts = timeouts;
  row.stalls = 0;  // each download gathers for its second by design
  MapPortToDevice(kSoakPort, "");
  return row;
}

void Print(const Row& r) {
  std::printf("| %-34s | %7d | %4d/%-3d | %6d | %8.1f | %3d -> %-3d | %2d -> %-2d | %6ld -> %-6ld |\n", r.name.c_str(),
              r.runs, r.failures, r.timeouts, r.stalls, r.seconds, r.start.descriptors, r.end.descriptors, r.start.threads, r.end.threads,
              r.start.residentKiB, r.end.residentKiB);
}

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int downloads = argc > 2 ? std::atoi(argv[2]) : 1000;
  std::printf("| %-34s | %7s | %8s | %6s | %8s | %-10s | %-8s | %-16s |\n", "run", "count", "failures", "stalls",
              "seconds", "fds", "threads", "resident KiB");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(9, '-').c_str(),
              std::string(10, '-').c_str(), std::string(8, '-').c_str(), std::string(10, '-').c_str(),
              std::string(12, '-').c_str(), std::string(10, '-').c_str(), std::string(18, '-').c_str());
  Print(ExchangeSoak("zero-delay exchanges, Retries 1", false, exchanges));
  Print(ExchangeSoak("exchanges on an echoing line", true, exchanges / 10));
  Print(DownloadSoak(downloads));
  std::printf("failures: time-outs or wrong data / of those time-outs; stalls: runs over one second (downloads gather\n"
              "for a second by design); figures at start -> end\n");
  return 0;
}
