// SPDX-License-Identifier: MIT
// The port object: construction and end, the settings and their checks, baud-rate names.
#include <array>

#include "kivocom/comport.h"
#include "kivocom/error.h"
#include "kivocom/serial_control.h"
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"

namespace kivocom {

CCOMPort::CCOMPort() : self_(std::make_shared<CCOMPort*>(this)) {
  control_ = ThreadSerialControl();
  ControllerStyle(CS_KIVO);
  MinBaudRate(BAUD_NONE);
  MaxBaudRate(BAUD_NONE);
  BaudRate(BAUD_NONE);
  port(COM_NONE);
  AutoClose(true);
  Retries(5);
  TimeOut(3000);
  StripCRLF(true);
  UseIrDADongle(false);
  UsesSmartSwitch(false);
  switch_ = std::make_unique<CSmartSwitch>();
  switch_->Parent(this);
  CheckNonAscii(true);
  Debugging(false);
}

CCOMPort::~CCOMPort() {
  // A destructor must not throw: a line that cannot be closed (a vanished device) is left to the
  // control, which reads as closed once its device is gone.
  try {
    ClosePort();
  } catch (...) {
  }
  switch_.reset();
  self_.reset();
  control_.reset();
}

void CCOMPort::ControllerStyle(EControllerStyle value) {
  controllerStyle_ = value;
  switch (value) {
    case CS_KIVO:
    case CS_XSYS:
      parity_ = PARITY_NONE, dataBits_ = DATA_8BITS, stopBits_ = STOP_1BIT;
      break;
    case CS_OMEGA:
      parity_ = PARITY_EVEN, dataBits_ = DATA_7BITS, stopBits_ = STOP_1BIT;
      break;
    case CS_AZONIX:
      parity_ = PARITY_EVEN, dataBits_ = DATA_7BITS, stopBits_ = STOP_2BITS;
      break;
  }
}

void CCOMPort::BaudRate(EBaudRate value) {
  if (value > maxBaudRate_ || value < minBaudRate_)
    throw Error(kErrBaudRateNotSupported, "CCOMPort - Let BaudRate", LoadResString(106));
  baudRate_ = value;
}

std::string CCOMPort::BaudRateName(int32_t vData) const {
  static constexpr std::array<const char*, 14> kNames{
      "150",   "300",   "600",    "1200",   "2400",   "4800",   "9600",
      "19200", "38400", "57600",  "115200", "230400", "460800", "921600"};
  const int32_t index = (vData == -2) ? baudRate_ : vData;
  if (index < 0 || index >= static_cast<int32_t>(kNames.size())) return "2400";
  return kNames[index];
}

bool CCOMPort::IsConfigured() const { return baudRate_ != BAUD_NONE && port_ != COM_NONE; }

void CCOMPort::ClearBuffers() {
  control_->OutBufferCount(0);
  control_->InBufferCount(0);
}

}  // namespace kivocom
