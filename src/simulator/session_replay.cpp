// SPDX-License-Identifier: MIT
#include "kivocom/session_replay.h"

#include "kivocom/recorded_session.h"

namespace kivocom {

ReplayedSession ReplayRecordedSession(InstrumentSimulator& sim, const std::string& recordPath) {
  const RecordedSession plan = ReadRecordedSession(recordPath, "InstrumentSimulator - Replay");
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
