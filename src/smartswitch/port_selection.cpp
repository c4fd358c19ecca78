// SPDX-License-Identifier: MIT
// Selecting and releasing switch ports, and the wiring sweep.
#include <string>

#include "comport/transmit.h"
#include "kivocom/comport.h"
#include "kivocom/serial_control.h"
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"
#include "kivocom/user_messages.h"

namespace kivocom {
namespace {

constexpr char ESC = 0x1B, STX = 0x02, EOT = 0x04, DC4 = 0x14, CR = 0x0D;
constexpr int32_t kSweepStepMs = 200;

std::string SelectCommand(ESmartSwitchStyle style, const std::string& port) {
  switch (style) {
    case SSS_BB4PORT: return std::string{ESC, STX} + port + CR;
    case SSS_BB8PORT: return std::string{ESC, STX} + (port.size() == 1 ? "0" : "") + port + CR;
    case SSS_BT528AP: return std::string{DC4, '0', '0'} + port + CR;
    default: return {};
  }
}

std::string DeselectCommand(ESmartSwitchStyle style) {
  switch (style) {
    case SSS_BB4PORT: return {ESC, STX, EOT};
    case SSS_BB8PORT: return {ESC, STX, STX, EOT};
    default: return {};
  }
}

// The switch port name the sweep selects at position p; empty for a model it cannot name.
std::string SweepPortName(ESmartSwitchStyle style, int p) {
  switch (style) {
    case SSS_BB4PORT:
    case SSS_BB8PORT: return std::string(1, static_cast<char>(64 + p));
    case SSS_BT528AP: return std::to_string(p);
    default: return {};
  }
}

// Puts the mouse pointer back to its default shape however the sweep ends.
struct BusyPointer {
  BusyPointer() { ThreadUserMessages().SetPointer(MousePointer::Hourglass); }
  ~BusyPointer() { ThreadUserMessages().SetPointer(MousePointer::Default); }
};

}  // namespace

// Hands the command to the parent's line and lets it drain, so that the buffer clearing that
// follows cannot cut it short.
void CSmartSwitch::Transmit(CCOMPort& parent, const std::string& command, const char* operation) {
  SerialControl& line = parent.COMControl();
  line.Output(command);
  WaitForTransmitDrain(line, parent.BaudRateName(), command.size(), std::string("CSmartSwitch - ") + operation);
}

void CSmartSwitch::SelectPort(const std::string& port) {
  if (port == currentPort_) {
    if (port.empty()) DeselectPort();
    return;
  }
  DeselectPort();
  if (port.empty()) return;
  const std::string command = SelectCommand(style_, port);
  CCOMPort& parent = RequireParent("SelectPort");
  parent.ClearBuffers();
  if (!command.empty()) {
    Transmit(parent, command, "SelectPort");
    if (parent.Debugging()) parent.UpdateDebugFile("Selecting SmartSwitch port " + port + " (" + command + ")");
  }
  parent.ClearBuffers();
  currentPort_ = port;
}

void CSmartSwitch::DeselectPort() {
  const std::string command = DeselectCommand(style_);
  CCOMPort& parent = RequireParent("DeselectPort");
  parent.ClearBuffers();
  if (!command.empty()) {
    Transmit(parent, command, "DeselectPort");
    if (parent.Debugging()) parent.UpdateDebugFile("Closing SmartSwitch port (" + command + ")");
  }
  currentPort_.clear();
}

void CSmartSwitch::TestPorts() {
  CCOMPort& parent = RequireParent("TestPorts");
  BusyPointer busy;
  parent.OpenPort();
  auto visit = [&](int p) {
    const std::string name = SweepPortName(style_, p);
    if (!name.empty()) SelectPort(name);
    WaitMilliseconds(kSweepStepMs);
  };
  for (int p = 1; p <= numPorts_; ++p) visit(p);
  for (int p = numPorts_ - 1; p >= 1; --p) visit(p);
  visit(0);
  parent.ClosePort();
}

}  // namespace kivocom
