// SPDX-License-Identifier: MIT
// How long a sweep of port numbers 1 to 256 takes: through one probe (as the port pick list
// does), through ListSerialPorts, through FillCOMPortsCombo, and with a new probe per number.
// A few pseudo-terminals are mapped to port numbers, one held by a locking child process and one
// by a child that only has it open, so the sweep finds ports of every kind.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kivocom/clock.h"
#include "kivocom/comport.h"
#include "kivocom/memory_serial_control.h"
#include "kivocom/pick_list_controls.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "kivocom/serial_control.h"

namespace {

using namespace kivocom;

constexpr int kRepetitions = 50;
constexpr int kFirstMappedPort = 100;
constexpr int kMappedPorts = 8;

struct NullItem : ComboItem {
  void Tag(const std::string&) override {}
  void Selected(bool) override {}
};

struct NullCombo : ImageCombo, ComboItems {
  ComboItems& Items() override { return *this; }
  void Clear() override {}
  ComboItem& Add(const std::string&, const std::string&, int32_t) override { return item; }
  NullItem item;
};

// Opens a pseudo-terminal and returns its master descriptor and slave path.
int OpenPty(std::string& slave) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
  slave = ptsname(master);
  return master;
}

// A child that holds `path` open (with an exclusive lock when `lock`) until its pipe closes.
pid_t Hold(const std::string& path, bool lock, int& release) {
  int ready[2], hold[2];
  if (pipe(ready) != 0 || pipe(hold) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]), close(hold[1]);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (lock && fd >= 0) flock(fd, LOCK_EX | LOCK_NB);
    char byte = 'y';
    if (write(ready[1], &byte, 1) != 1) _exit(1);
    while (read(hold[0], &byte, 1) > 0) {
    }
    _exit(0);
  }
  close(ready[1]), close(hold[0]);
  char byte;
  if (read(ready[0], &byte, 1) != 1) std::fprintf(stderr, "holder did not start\n");
  close(ready[0]);
  release = hold[1];
  return pid;
}

int CountProcesses() {
  int count = 0;
  if (DIR* proc = opendir("/proc")) {
    while (const dirent* entry = readdir(proc))
      count += (entry->d_name[0] >= '1' && entry->d_name[0] <= '9');
    closedir(proc);
  }
  return count;
}

void Measure(const char* name, const std::function<void()>& sweep) {
  std::vector<double> ms;
  for (int i = 0; i < kRepetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    sweep();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-52s %9.3f %9.3f %9.3f\n", name, ms.front(), ms[ms.size() / 2], ms.back());
}

}  // namespace

int main() {
  std::vector<int> masters;
  std::vector<std::string> slaves;
  for (int i = 0; i < kMappedPorts; ++i) {
    std::string slave;
    masters.push_back(OpenPty(slave));
    slaves.push_back(slave);
    MapPortToDevice(kFirstMappedPort + i, slave);
  }
  int releaseLocked = -1, releaseOpen = -1;
  const pid_t locked = Hold(slaves[0], true, releaseLocked);
  const pid_t open = Hold(slaves[1], false, releaseOpen);

  auto clock = std::make_shared<VirtualClock>();
  InstallThreadClock(clock);
  InstallThreadSerialControl(std::make_shared<MemorySerialControl>(clock));

  const std::vector<PortInfo> ports = ListSerialPorts();
  std::printf(
      "Port probe sweep of numbers 1-256: %d processes visible, %zu ports present, %d held\n",
      CountProcesses(), ports.size(),
      static_cast<int>(std::count_if(ports.begin(), ports.end(), [](const PortInfo& p) {
        return p.state == PortState::InUse;
      })));
  std::printf("%d repetitions each, milliseconds per sweep\n\n", kRepetitions);
  std::printf("%-52s %9s %9s %9s\n", "sweep", "min", "median", "max");

  Measure("IsCOMPortAvailable x256, one probe (pick list)", [] {
    const std::shared_ptr<PortProbe> probe = CreateSystemPortProbe();
    for (int32_t n = 1; n <= 256; ++n) probe->IsCOMPortAvailable(n);
  });
  Measure("ListSerialPorts (with holders and USB details)", [] { ListSerialPorts(); });
  Measure("CCOMPort::FillCOMPortsCombo", [] {
    CCOMPort port;
    NullCombo combo;
    port.FillCOMPortsCombo(combo);
  });
  Measure("IsCOMPortAvailable x256, a new probe per number", [] {
    for (int32_t n = 1; n <= 256; ++n) IsCOMPortAvailable(n);
  });

  InstallThreadSerialControl(nullptr);
  InstallThreadClock(nullptr);
  close(releaseLocked), close(releaseOpen);
  waitpid(locked, nullptr, 0), waitpid(open, nullptr, 0);
  for (int master : masters) close(master);
  return 0;
}
