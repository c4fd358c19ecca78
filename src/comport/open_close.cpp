// SPDX-License-Identifier: MIT
// Opening and closing the shared line: settings text, the IrDA dongle start-up, switch routing.
#include <optional>

#include "comport/continue_on_error.h"
#include "comport/opening_failure.h"
#include "kivocom/comport.h"
#include "kivocom/serial_control.h"
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"

namespace kivocom {
namespace {

const char* ParityLetter(EParity parity) {
  switch (parity) {
    case PARITY_EVEN: return "E";
    case PARITY_ODD: return "O";
    case PARITY_MARK: return "M";
    case PARITY_SPACE: return "S";
    default: return "N";
  }
}

const char* DataBitsText(EDataBits bits) {
  switch (bits) {
    case DATA_4BITS: return "4";
    case DATA_5BITS: return "5";
    case DATA_6BITS: return "6";
    case DATA_7BITS: return "7";
    default: return "8";
  }
}

const char* StopBitsText(EStopBits bits) {
  switch (bits) {
    case STOP_1_5BITS: return "1.5";
    case STOP_2BITS: return "2";
    default: return "1";
  }
}

// RTS pulses that tell an IrDA dongle the line's speed.
int IrDAPulses(EBaudRate rate) {
  switch (rate) {
    case BAUD_19200: return 1;
    case BAUD_38400: return 4;
    case BAUD_57600: return 2;
    case BAUD_115200: return 3;
    default: return 0;
  }
}

constexpr int32_t kDongleLineSettleMs = 10;

}  // namespace

std::string CCOMPort::SettingsString() const {
  return BaudRateName() + "," + ParityLetter(parity_) + "," + DataBitsText(dataBits_) + "," +
         StopBitsText(stopBits_);
}

void CCOMPort::ApplySettings() {
  if (control_->PortOpen()) control_->PortOpen(false);
  if (port_ != 0 && port_ != COM_NONE) control_->CommPort(port_);
  control_->Settings(SettingsString());
}

bool CCOMPort::OpenPort(const std::string& ssport) {
  if (port_ == COM_NONE) return false;
  std::optional<ErrorRecord> pending;
  ContinueOnError(pending, [&] { ApplySettings(); });
  bool stillOpen = false;
  ContinueOnError(pending, [&] { stillOpen = control_->PortOpen(); });
  if (!stillOpen) {
    ContinueOnError(pending, [&] {
      if (debugging_)
        UpdateDebugFile("Opening COM port " + std::to_string(control_->CommPort()) + " with settings " +
                        control_->Settings());
    });
    ContinueOnError(pending, [&] { control_->PortOpen(true); });
    if (pending) {
      LastOpeningFailure() = *pending;
      if (debugging_)
        UpdateDebugFile("Error Opening COM port " + std::to_string(control_->CommPort()) + ": " +
                        std::to_string(pending->number) + " - " + pending->description);
      throw Error(kErrCannotOpenPort, "CCOMPort - OpenPort",
                  FillTemplate(LoadResString(103), std::to_string(port_)));
    }
  }
  if (usesSmartSwitch_ && !ssport.empty()) IgnoringErrors([&] { switch_->SelectPort(ssport); });
  if (useIrDADongle_) IgnoringErrors([&] { InitIrDADongle(); });
  return true;
}

void CCOMPort::InitIrDADongle() {
  auto settle = [] { WaitMilliseconds(kDongleLineSettleMs); };
  control_->DTREnable(false);
  settle();
  control_->DTREnable(true);
  settle();
  for (int pulse = IrDAPulses(baudRate_); pulse > 0; --pulse) {
    control_->RTSEnable(false);
    settle();
    control_->RTSEnable(true);
    settle();
  }
}

void CCOMPort::ClosePort() {
  if (!control_->PortOpen()) return;
  if (usesSmartSwitch_) switch_->DeselectPort();
  control_->PortOpen(false);
  if (debugging_) UpdateDebugFile("Closed COM port " + std::to_string(control_->CommPort()));
}

void CCOMPort::TestSmartSwitch() { switch_->TestPorts(); }

}  // namespace kivocom
