// SPDX-License-Identifier: MIT
// The simulator's far end at work: a thread that polls the pseudo-terminal master and a wake-up
// pipe, records every byte received, hands it to the instruments of its bench and sends their
// answers when they are due. Everything
// below is guarded by one mutex, held by the thread whenever it is not waiting in poll.
#pragma once

#include <poll.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kivocom/instrument_bench.h"
#include "kivocom/simulator.h"
#include "simulator/posix/pty_pair.h"
#include "simulator/posix/wake_pipe.h"

namespace kivocom {

class SimulatorEngine {
 public:
  // Opens the pair and starts the thread.
  SimulatorEngine();
  // Stops and joins the thread.
  ~SimulatorEngine();
  SimulatorEngine(const SimulatorEngine&) = delete;
  SimulatorEngine& operator=(const SimulatorEngine&) = delete;

  const std::string& SlavePath() const { return pty_.SlavePath(); }

  void SetBaudRate(int32_t bitsPerSecond);
  int32_t BaudRate() const;

  std::size_t AddInstrument(SimulatedInstrument instrument, const std::string& switchPort);
  void ChangeInstrument(std::size_t id, const std::function<void(SimulatedInstrument&)>& change);
  SimulatedInstrument Instrument(std::size_t id) const;

  // Puts a switch of `model` in front of the instruments; no value takes the switch away.
  void SetSmartSwitch(std::optional<ESmartSwitchStyle> model);
  std::string ConnectedSwitchPort() const;

  std::string Received() const;
  void ClearReceived();
  // Waits until `done` holds for the record; false when `timeout` passes first.
  bool WaitForReceived(const std::function<bool(const std::string&)>& done, std::chrono::milliseconds timeout) const;

  void Unplug();
  bool Unplugged() const;

 private:
  using Clock = InstrumentBench::Clock;

  void Run();
  std::optional<timespec> PollTimeout() const;
  void Serve(const pollfd (&fds)[2], nfds_t count);
  void ReadFromLine(short events);
  void SendDue();
  void CloseFarEnd();

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;  // the record grew, or the far end closed
  PtyPair pty_;
  WakePipe wake_;
  InstrumentBench bench_;
  std::string received_;
  bool writeBlocked_ = false;  // the line took only part of the last write; wait until it drains
  bool unplugRequested_ = false;
  bool unplugged_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace kivocom
