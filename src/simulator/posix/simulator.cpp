// SPDX-License-Identifier: MIT
// The public face of the simulator: each operation hands over to the engine that owns the thread.
#include "kivocom/simulator.h"

#include "simulator/posix/simulator_engine.h"

namespace kivocom {

InstrumentSimulator::InstrumentSimulator()
    : engine_(std::make_unique<SimulatorEngine>()), devicePath_(engine_->SlavePath()) {}

InstrumentSimulator::~InstrumentSimulator() = default;

void InstrumentSimulator::SetBaudRate(int32_t bitsPerSecond) { engine_->SetBaudRate(bitsPerSecond); }

int32_t InstrumentSimulator::BaudRate() const { return engine_->BaudRate(); }

InstrumentSimulator::InstrumentId InstrumentSimulator::AddInstrument(SimulatedInstrument instrument,
                                                                     const std::string& switchPort) {
  return engine_->AddInstrument(std::move(instrument), switchPort);
}

void InstrumentSimulator::ChangeInstrument(InstrumentId id, const std::function<void(SimulatedInstrument&)>& change) {
  engine_->ChangeInstrument(id, change);
}

SimulatedInstrument InstrumentSimulator::Instrument(InstrumentId id) const { return engine_->Instrument(id); }

void InstrumentSimulator::UseSmartSwitch(ESmartSwitchStyle model) { engine_->SetSmartSwitch(model); }

void InstrumentSimulator::RemoveSmartSwitch() { engine_->SetSmartSwitch(std::nullopt); }

std::string InstrumentSimulator::ConnectedSwitchPort() const { return engine_->ConnectedSwitchPort(); }

std::string InstrumentSimulator::Received() const { return engine_->Received(); }

void InstrumentSimulator::ClearReceived() { engine_->ClearReceived(); }

bool InstrumentSimulator::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
  return engine_->WaitForReceived([count](const std::string& record) { return record.size() >= count; }, timeout);
}

bool InstrumentSimulator::WaitForReceived(const std::string& sequence, std::chrono::milliseconds timeout) const {
  return engine_->WaitForReceived(
      [&sequence](const std::string& record) { return record.find(sequence) != std::string::npos; }, timeout);
}

void InstrumentSimulator::Unplug() { engine_->Unplug(); }

bool InstrumentSimulator::Unplugged() const { return engine_->Unplugged(); }

}  // namespace kivocom
