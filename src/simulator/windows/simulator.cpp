// SPDX-License-Identifier: MIT
// The public face of the simulator in the Windows build: each operation is a request to the
// native simulator host, which runs the engine on a pseudo-terminal that Wine shows as a COM port.
#include "kivocom/simulator.h"

#include "kivocom/error.h"
#include "simulator/windows/simulator_engine.h"

namespace kivocom {
namespace {

// The host plays the instruments in a process of its own, from which a program's answer function
// cannot be called: an instrument that has one is refused rather than played without it.
void RequireNoAnswerFunction(const SimulatedInstrument& instrument, const char* operation) {
  if (instrument.answer)
    throw Error(kErrInvalidPropertyValue, std::string("InstrumentSimulator - ") + operation,
                "A program's answer function needs the simulator in the program's own process; on Windows "
                "the simulator plays its instruments in the simulator host, which cannot call it.");
}

}  // namespace

WireWriter SimulatorEngine::Request(HostRequest code) {
  WireWriter request;
  request.U8(static_cast<uint8_t>(code));
  return request;
}

std::string SimulatorEngine::Call(const WireWriter& request) {
  std::lock_guard lock(mutex_);
  const std::string reply = host_.Exchange(request.Bytes());
  OpenReply(reply);
  return reply.substr(1);
}

InstrumentSimulator::InstrumentSimulator()
    : engine_(std::make_unique<SimulatorEngine>()), devicePath_(engine_->SlavePath()) {}

InstrumentSimulator::~InstrumentSimulator() = default;

void InstrumentSimulator::SetBaudRate(int32_t bitsPerSecond) {
  engine_->Call(SimulatorEngine::Request(HostRequest::kSetBaudRate).I32(bitsPerSecond));
}

int32_t InstrumentSimulator::BaudRate() const {
  return WireReader(engine_->Call(SimulatorEngine::Request(HostRequest::kBaudRate))).I32();
}

InstrumentSimulator::InstrumentId InstrumentSimulator::AddInstrument(SimulatedInstrument instrument,
                                                                     const std::string& switchPort) {
  RequireNoAnswerFunction(instrument, "AddInstrument");
  WireWriter request = SimulatorEngine::Request(HostRequest::kAddInstrument);
  WriteInstrument(request, instrument);
  request.Text(switchPort);
  return static_cast<InstrumentId>(WireReader(engine_->Call(request)).U64());
}

// The host cannot run `change`, so it runs here on a copy that then replaces the instrument; a
// set value the instrument stores between the two requests is overwritten.
void InstrumentSimulator::ChangeInstrument(InstrumentId id, const std::function<void(SimulatedInstrument&)>& change) {
  SimulatedInstrument instrument = Instrument(id);
  change(instrument);
  RequireNoAnswerFunction(instrument, "ChangeInstrument");
  WireWriter request = SimulatorEngine::Request(HostRequest::kReplaceInstrument);
  request.U64(id);
  WriteInstrument(request, instrument);
  engine_->Call(request);
}

SimulatedInstrument InstrumentSimulator::Instrument(InstrumentId id) const {
  const std::string results = engine_->Call(SimulatorEngine::Request(HostRequest::kInstrument).U64(id));
  WireReader reader(results);
  return ReadInstrument(reader);
}

void InstrumentSimulator::UseSmartSwitch(ESmartSwitchStyle model) {
  engine_->Call(SimulatorEngine::Request(HostRequest::kUseSmartSwitch).I32(model));
}

void InstrumentSimulator::RemoveSmartSwitch() { engine_->Call(SimulatorEngine::Request(HostRequest::kRemoveSmartSwitch)); }

std::string InstrumentSimulator::ConnectedSwitchPort() const {
  return WireReader(engine_->Call(SimulatorEngine::Request(HostRequest::kConnectedSwitchPort))).Text();
}

std::string InstrumentSimulator::Received() const {
  return WireReader(engine_->Call(SimulatorEngine::Request(HostRequest::kReceived))).Text();
}

void InstrumentSimulator::ClearReceived() { engine_->Call(SimulatorEngine::Request(HostRequest::kClearReceived)); }

bool InstrumentSimulator::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
  WireWriter request = SimulatorEngine::Request(HostRequest::kWaitForCount);
  request.U64(count).I64(timeout.count());
  return WireReader(engine_->Call(request)).Bool();
}

bool InstrumentSimulator::WaitForReceived(const std::string& sequence, std::chrono::milliseconds timeout) const {
  WireWriter request = SimulatorEngine::Request(HostRequest::kWaitForSequence);
  request.Text(sequence).I64(timeout.count());
  return WireReader(engine_->Call(request)).Bool();
}

void InstrumentSimulator::Unplug() { engine_->Call(SimulatorEngine::Request(HostRequest::kUnplug)); }

bool InstrumentSimulator::Unplugged() const {
  return WireReader(engine_->Call(SimulatorEngine::Request(HostRequest::kUnplugged))).Bool();
}

}  // namespace kivocom
