// SPDX-License-Identifier: MIT
#include "platform/line/simulated_benches.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "kivocom/error.h"
#include "kivocom/simulated_lines.h"
#include "platform/line/line_rules.h"
#include "platform/line/simulated_device.h"

namespace kivocom {
namespace {

struct HeldBench {
  std::shared_ptr<InstrumentBench> bench;
  bool held = false;
  std::string heard;  // what the instruments heard: at least the last kSimulatedLineHeardKept bytes
};

// Port objects of several threads may open sim:// devices at once.
std::mutex gMutex;
std::map<std::string, HeldBench> gBenches;

std::shared_ptr<InstrumentBench> SetUpBench(int32_t port, const std::string& device, const std::string& source) {
  std::string problem;
  const std::optional<SimulatedDevice> wanted = ReadSimulatedDevice(device, problem);
  if (!wanted)
    throw Error(kErrDeviceNotOpen, source,
                PortAndDevice(port, device) + " cannot be opened: it is not a well-formed simulated instrument (" +
                    problem + ").");
  auto bench = std::make_shared<InstrumentBench>();
  PlaceInstruments(*bench, *wanted);
  return bench;
}

}  // namespace

std::shared_ptr<InstrumentBench> TakeSimulatedBench(int32_t port, const std::string& device, const std::string& source) {
  std::lock_guard lock(gMutex);
  HeldBench& entry = gBenches[device];
  if (entry.held)
    throw Error(kErrHardwareNotAvailable, source,
                PortAndDevice(port, device) + " cannot be opened: another port object has it open.");
  if (!entry.bench) {
    try {
      entry.bench = SetUpBench(port, device, source);
    } catch (...) {
      gBenches.erase(device);
      throw;
    }
  }
  entry.held = true;
  return entry.bench;
}

void ReturnSimulatedBench(const std::string& device) {
  std::lock_guard lock(gMutex);
  gBenches[device].held = false;
}

void RecordSimulatedBenchHeard(const std::string& device, std::string_view bytes) {
  std::lock_guard lock(gMutex);
  std::string& heard = gBenches[device].heard;
  heard += bytes;
  // Cut back only when twice the bytes kept are there, so that hearing stays quick.
  if (heard.size() > 2 * kSimulatedLineHeardKept) heard.erase(0, heard.size() - kSimulatedLineHeardKept);
}

std::string SimulatedLineHeard(const std::string& device) {
  std::lock_guard lock(gMutex);
  const auto it = gBenches.find(device);
  if (it == gBenches.end()) return {};
  const std::string& heard = it->second.heard;
  return heard.substr(heard.size() - std::min(heard.size(), kSimulatedLineHeardKept));
}

void ClearSimulatedLineHeard(const std::string& device) {
  std::lock_guard lock(gMutex);
  const auto it = gBenches.find(device);
  if (it != gBenches.end()) it->second.heard.clear();
}

}  // namespace kivocom
