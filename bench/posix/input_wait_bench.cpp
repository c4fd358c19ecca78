// SPDX-License-Identifier: MIT
// Processor time the termios line uses while its client waits: a two-second wait for input on
// a silent line, the same two seconds as a polling loop of short waits (as reply readers do), and
// a two-second wait for output that the far end never takes. The figure is the process's CPU
// time (client thread and the line's receive thread together) as a share of wall time; the goal
// is under 1 %.
//
// Run by hand: build/bench/input_wait_bench
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "kivocom/port_devices.h"
#include "kivocom/serial_control.h"

namespace {

using namespace kivocom;

constexpr int32_t kBenchPort = 78;
constexpr int64_t kWaitMs = 2000;

double Seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A pseudo-terminal whose slave side the line opens; the master side stays silent.
int OpenSilentInstrument(std::string& slavePath) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  char name[128];
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    std::perror("pseudo-terminal");
    std::exit(1);
  }
  slavePath = name;
  return master;
}

void Measure(const char* name, const std::function<void()>& wait) {
  const double wallStart = Seconds(CLOCK_MONOTONIC);
  const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  wait();
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  const double wall = Seconds(CLOCK_MONOTONIC) - wallStart;
  std::printf("%-44s %9.1f %9.3f %10.4f %%\n", name, wall * 1e3, cpu * 1e3, 100.0 * cpu / wall);
}

}  // namespace

int main() {
  std::string slavePath;
  const int master = OpenSilentInstrument(slavePath);
  MapPortToDevice(kBenchPort, slavePath);
  const std::shared_ptr<SerialControl> line = CreatePlatformSerialControl();
  line->CommPort(kBenchPort);
  line->Settings("921600,N,8,1");
  line->PortOpen(true);

  std::printf("%-44s %9s %9s %12s\n", "wait (silent line, 921600,N,8,1)", "wall ms", "CPU ms", "CPU share");
  Measure("WaitForInput(2000)", [&] { line->WaitForInput(kWaitMs); });
  Measure("200 x InBufferCount + WaitForInput(10)", [&] {
    for (int i = 0; i < kWaitMs / 10; ++i)
      if (line->InBufferCount() == 0) line->WaitForInput(10);
  });
  line->Output(std::string(1 << 20, 'x'));  // far more than the far end's buffer; it never reads
  Measure("WaitForDrain(2000), far end not reading", [&] { line->WaitForDrain(kWaitMs); });

  line->OutBufferCount(0);
  line->PortOpen(false);
  close(master);
  return 0;
}
