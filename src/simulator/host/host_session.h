// SPDX-License-Identifier: MIT
// The simulator host's requests carried out on the engine: one request message in, its reply out.
#pragma once

#include <string>

#include "simulator/posix/simulator_engine.h"
#include "simulator/wire_format.h"

namespace kivocom {

class HostSession {
 public:
  explicit HostSession(SimulatorEngine& engine) : engine_(engine) {}

  // The reply to `request`: its results, or the error it raised, unknown requests included.
  std::string Answer(const std::string& request);

 private:
  void Carry(WireReader& request, WireWriter& results);
  SimulatorEngine& engine_;
};

}  // namespace kivocom
