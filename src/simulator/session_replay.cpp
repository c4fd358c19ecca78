// SPDX-License-Identifier: MIT
#include "kivocom/session_replay.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kivocom/error.h"
#include "simulator/replay_plan.h"

namespace kivocom {
namespace {

constexpr int32_t kErrFileNotFound = 53;
constexpr const char* kSource = "InstrumentSimulator - Replay";
// Far beyond any bench session (a day of polling); a bigger file is read no further.
constexpr std::uintmax_t kLargestRecord = 256u << 20;

std::string ReadRecordFile(const std::string& path) {
  std::error_code error;
  const bool regular = std::filesystem::is_regular_file(path, error);
  std::ifstream file;
  if (regular) file.open(path, std::ios::binary);
  if (!regular || !file) {
    const std::string why = error ? error.message() : regular ? std::strerror(errno) : "it is no file";
    throw Error(kErrFileNotFound, kSource, "The session record " + path + " cannot be read: " + why + ".");
  }
  if (std::filesystem::file_size(path, error) > kLargestRecord) {
    throw Error(kErrInvalidPropertyValue, kSource, "The file " + path + " is too large to be a session record.");
  }
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) throw Error(kErrFileNotFound, kSource, "The session record " + path + " cannot be read.");
  return text;
}

}  // namespace

ReplayedSession ReplayRecordedSession(InstrumentSimulator& sim, const std::string& recordPath) {
  const ReplayPlan plan = PlanReplay(ParseRecord(ReadRecordFile(recordPath)));
  ReplayedSession session{plan.switchModel, {}, plan.exchanges, plan.baudRate};
  sim.SetBaudRate(plan.baudRate);
  if (plan.switchModel) sim.UseSmartSwitch(*plan.switchModel);
  for (const auto& [port, answers] : plan.answersByPort) {
    SimulatedInstrument instrument;
    instrument.recording = answers;
    instrument.behaviour.paced = false;  // the recorded bursts already carry the line's pace
    sim.AddInstrument(instrument, port);
    if (!port.empty()) session.switchPorts.push_back(port);
  }
  return session;
}

}  // namespace kivocom
