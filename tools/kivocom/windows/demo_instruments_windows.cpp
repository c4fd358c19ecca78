// SPDX-License-Identifier: MIT
// The demo's instruments on Windows: simulated in this process (sim:// devices), so the demo needs
// no helper program and no pseudo-terminal. Each set-up is a device text of its own; the
// instruments of a text keep what they stored between openings.
#include "../demo_instruments.h"

#include "kivocom/port_devices.h"
#include "kivocom/simulated_lines.h"
#include "kivocom/simulator.h"

namespace kivotool {

using namespace kivocom;

namespace {

std::string StyleName(EControllerStyle style) {
  switch (style) {
    case CS_OMEGA:
      return "omega";
    case CS_AZONIX:
      return "azonix";
    case CS_XSYS:
      return "xsys";
    case CS_KIVO:
      break;
  }
  return "kivo";
}

std::string SwitchName(ESmartSwitchStyle model) {
  switch (model) {
    case SSS_BB8PORT:
      return "bb8";
    case SSS_BT528AP:
      return "bt528";
    default:
      return "bb4";
  }
}

}  // namespace

struct DemoInstruments::Parts {
  int port;
  int readings;
  std::string device;  // the device text the port is mapped to now

  void Map(const std::string& text) {
    device = text;
    MapPortToDevice(port, device);
  }
};

DemoInstruments::DemoInstruments(int port, int readings) : parts_(std::make_unique<Parts>()) {
  parts_->port = port;
  parts_->readings = readings;
  UseStyle(CS_KIVO);
}

DemoInstruments::~DemoInstruments() { MapPortToDevice(parts_->port, ""); }

std::string DemoInstruments::Where() const { return "in this process (" + parts_->device + ")"; }

void DemoInstruments::UseStyle(EControllerStyle style) {
  parts_->Map("sim://" + StyleName(style) + "?address=01&readings=" + std::to_string(parts_->readings));
}

void DemoInstruments::UseSwitch(ESmartSwitchStyle model) {
  parts_->Map("sim://kivo?switch=" + SwitchName(model) + "&instruments=2&readings=0");
}

void DemoInstruments::RemoveSwitch() { UseStyle(CS_KIVO); }

std::string DemoInstruments::Heard() const { return SimulatedLineHeard(parts_->device); }

void DemoInstruments::ClearHeard() { ClearSimulatedLineHeard(parts_->device); }

// The instruments hear while the program uses the line: what WritePort sent is all heard when it
// returns, so there is nothing to wait for.
void DemoInstruments::WaitForHeard(const std::string&, std::chrono::milliseconds) const {}

std::string DemoInstruments::StoredStream() const {
  return StoredReadingsStream(SampleInstrument(CS_KIVO, "01", 0, parts_->readings, false).download);
}

}  // namespace kivotool
