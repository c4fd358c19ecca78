// SPDX-License-Identifier: MIT
// The demo's instruments on POSIX: a simulator on a pseudo-terminal, in a thread of this process.
#include "../demo_instruments.h"

#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"
#include "../simulated_bench.h"

namespace kivotool {

using namespace kivocom;

struct DemoInstruments::Parts {
  int port;
  InstrumentSimulator sim;
  InstrumentSimulator::InstrumentId instrument{};
};

DemoInstruments::DemoInstruments(int port, int readings) : parts_(std::make_unique<Parts>()) {
  parts_->port = port;
  parts_->sim.SetBaudRate(115200);
  parts_->instrument = parts_->sim.AddInstrument(SampleInstrument(CS_KIVO, "01", 0, readings, false));
  MapPortToDevice(port, parts_->sim.DevicePath());
}

DemoInstruments::~DemoInstruments() { MapPortToDevice(parts_->port, ""); }

std::string DemoInstruments::Where() const { return "on " + parts_->sim.DevicePath(); }

void DemoInstruments::UseStyle(EControllerStyle style) {
  parts_->sim.ChangeInstrument(parts_->instrument, [style](SimulatedInstrument& i) { i.style = style; });
}

void DemoInstruments::UseSwitch(ESmartSwitchStyle model) {
  parts_->sim.UseSmartSwitch(model);
  for (int n : {1, 2}) parts_->sim.AddInstrument(SampleInstrument(CS_KIVO, "", n, 0, false), SwitchPortName(model, n));
}

void DemoInstruments::RemoveSwitch() { parts_->sim.RemoveSmartSwitch(); }

std::string DemoInstruments::Heard() const { return parts_->sim.Received(); }

void DemoInstruments::ClearHeard() { parts_->sim.ClearReceived(); }

void DemoInstruments::WaitForHeard(const std::string& sequence, std::chrono::milliseconds timeout) const {
  parts_->sim.WaitForReceived(sequence, timeout);
}

std::string DemoInstruments::StoredStream() const {
  return StoredReadingsStream(parts_->sim.Instrument(parts_->instrument).download);
}

}  // namespace kivotool
