// SPDX-License-Identifier: MIT
// What `kivocom spy` adds to an exchange: the same ReadPort exchanges with a simulated instrument
// that answers at once, made directly on its pseudo-terminal and through the spy (plain, decoding,
// and decoding as JSON lines while recording), the clients taking turns run by run. The spy's
// output is read and dropped by a thread of this program, as a terminal would take it.
//
// Run by hand: build/bench/spy_latency_bench [exchanges] [runs]   (default 1000 exchanges, 5 runs)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exchange_measure.h"
#include "kivocom/kivocom.h"
#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"

extern char** environ;

namespace {

using namespace kivocom;
using namespace kivocom::bench;

constexpr int32_t kDirectPort = 77;
constexpr int32_t kSpiedPort = 78;

// A spy process in front of `device`; its output is drained by a thread until it ends.
class SpyProcess {
 public:
  SpyProcess(const std::string& device, const std::vector<std::string>& more) {
    std::vector<std::string> args{KIVOCOM_TOOL_PATH, "spy", device, "--baud", "115200"};
    args.insert(args.end(), more.begin(), more.end());
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    ReadProgramDevice(out[0]);
    drain_ = std::thread([fd = out[0]] {
      char buffer[65536];
      while (read(fd, buffer, sizeof buffer) > 0) {
      }
      close(fd);
    });
  }
  ~SpyProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (drain_.joinable()) drain_.join();
  }
  const std::string& ProgramDevice() const { return programDevice_; }

 private:
  // The JSON "ready" line, or the text mode's instructions, name the program's device.
  void ReadProgramDevice(int fd) {
    std::string seen;
    char c;
    while (programDevice_.empty() && read(fd, &c, 1) == 1) {
      seen += c;
      if (c != '\n') continue;
      for (const char* lead : {"\"program_device\":\"", "the program opens "}) {
        const auto at = seen.find(lead);
        if (at == std::string::npos) continue;
        const auto start = at + std::strlen(lead);
        programDevice_ = seen.substr(start, seen.find_first_of("\" ", start) - start);
      }
      seen.clear();
    }
  }
  pid_t pid_ = -1;
  std::string programDevice_;
  std::thread drain_;
};

std::unique_ptr<CCOMPort> PortOn(int32_t number, const std::string& device) {
  MapPortToDevice(number, device);
  auto port = std::make_unique<CCOMPort>();
  port->MaxBaudRate(BAUD_115200);
  port->BaudRate(BAUD_115200);
  port->port(number);
  port->TimeOut(1000);
  port->Retries(1);
  return port;
}

struct Client {
  std::string name;
  std::vector<std::string> spyOptions;  // no spy when empty and `direct`
  bool direct = false;
  std::vector<Row> runs;
};

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  InstrumentSimulator sim;
  sim.SetBaudRate(115200);
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+0024.45";
  instrument.behaviour.replyDelay = std::chrono::microseconds(0);
  instrument.behaviour.paced = false;
  sim.AddInstrument(instrument);
  const std::string record = "/tmp/kivocom-spy-bench-" + std::to_string(getpid()) + ".rec";

  std::vector<Client> clients{{"direct", {}, true, {}},
                              {"through the spy", {}, false, {}},
                              {"spy --decode", {"--decode"}, false, {}},
                              {"spy --decode --json --record", {"--decode", "--json", "--record", record}, false, {}}};
  for (int run = 0; run < runs; ++run) {
    for (Client& client : clients) {
      std::unique_ptr<SpyProcess> spy;
      if (!client.direct) spy = std::make_unique<SpyProcess>(sim.DevicePath(), client.spyOptions);
      auto port = client.direct ? PortOn(kDirectPort, sim.DevicePath()) : PortOn(kSpiedPort, spy->ProgramDevice());
      client.runs.push_back(Measure(client.name, exchanges, [&] {
        ECOMError error = CE_NONE;
        return port->ReadPort(error, "PV") == "+0024.45" && error == CE_NONE;
      }));
    }
  }
  std::remove(record.c_str());

  std::printf("%d ReadPort exchanges at 115200 baud with an instrument that answers at once; medians of %d runs\n",
              exchanges, runs);
  std::printf("%-32s %10s %10s %12s %9s\n", "client", "median us", "p99 us", "added us", "failures");
  const Row direct = MedianOfRuns(clients.front().runs);
  for (const Client& client : clients) {
    const Row row = MedianOfRuns(client.runs);
    std::printf("%-32s %10.1f %10.1f %12.1f %9d\n", row.name.c_str(), row.medianUs, row.p99Us,
                row.medianUs - direct.medianUs, row.failures);
  }
  return 0;
}
