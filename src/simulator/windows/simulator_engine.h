// SPDX-License-Identifier: MIT
// The simulator's engine as the Windows build reaches it: in the native simulator host, one
// request at a time over the host connection. Thread-safe: requests from several threads take
// turns, so a wait for received bytes holds back the others until it ends.
#pragma once

#include <mutex>
#include <string>

#include "simulator/host_protocol.h"
#include "simulator/windows/host_connection.h"

namespace kivocom {

class SimulatorEngine {
 public:
  // Starts the host; raises kivocom::Error 8012 when it cannot.
  SimulatorEngine() : slavePath_("\\\\.\\COM" + std::to_string(host_.PortNumber())) {}

  // The COM port Wine shows for the host's pseudo-terminal, such as \\.\COM100.
  const std::string& SlavePath() const { return slavePath_; }

  // A request of kind `code`, for its arguments to be added.
  static WireWriter Request(HostRequest code);
  // Carries out `request` in the host and returns its results; raises the error the host raised.
  std::string Call(const WireWriter& request);

 private:
  std::mutex mutex_;
  HostConnection host_;
  std::string slavePath_;
};

}  // namespace kivocom
