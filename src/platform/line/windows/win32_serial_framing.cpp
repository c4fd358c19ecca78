// SPDX-License-Identifier: MIT
// Line settings as a device control block.
#include "platform/line/windows/win32_serial_framing.h"

#include "kivocom/error.h"

namespace kivocom {
namespace {

[[noreturn]] void Refuse(const std::string& text, const std::string& source, const std::string& reason) {
  throw Error(kErrCannotSetCommState, source, "This system cannot use the line settings " + text + ": " + reason + ".");
}

BYTE ParityOf(char parity) {
  switch (parity) {
    case 'E': return EVENPARITY;
    case 'O': return ODDPARITY;
    case 'M': return MARKPARITY;
    case 'S': return SPACEPARITY;
    default: return NOPARITY;
  }
}

BYTE StopBitsOf(StopBits stopBits) {
  switch (stopBits) {
    case StopBits::OneAndHalf: return ONE5STOPBITS;
    case StopBits::Two: return TWOSTOPBITS;
    default: return ONESTOPBIT;
  }
}

}  // namespace

void MakeRawLine(DCB& dcb) {
  dcb.DCBlength = sizeof(DCB);
  dcb.fBinary = TRUE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
}

// The serial drivers of Windows take 5 to 8 data bits and 1.5 stop bits only with 5 of them; the
// same texts are refused here as on other systems, before any driver sees them.
void CheckSystemCanUse(const LineSettings& settings, const std::string& text, const std::string& source) {
  if (settings.dataBits < 5) Refuse(text, source, "its serial lines have no 4-bit characters, only 5 to 8 data bits");
  if (settings.stopBits == StopBits::OneAndHalf && settings.dataBits != 5)
    Refuse(text, source, "1.5 stop bits exist only with 5 data bits (the hardware sends 1.5 where 2 are asked)");
}

void SetLineFraming(DCB& dcb, const LineSettings& settings, const std::string& text, const std::string& source) {
  CheckSystemCanUse(settings, text, source);
  dcb.BaudRate = static_cast<DWORD>(settings.baud);
  dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
  dcb.Parity = ParityOf(settings.parity);
  dcb.fParity = settings.parity == 'N' ? FALSE : TRUE;
  dcb.StopBits = StopBitsOf(settings.stopBits);
}

void KeepCharacterFormat(DCB& dcb, const DCB& held) {
  dcb.ByteSize = held.ByteSize;
  dcb.Parity = held.Parity;
  dcb.fParity = held.fParity;
  dcb.StopBits = held.StopBits;
}

void SetModemLineControl(DCB& dcb, bool dtrRaised, bool rtsRaised) {
  dcb.fDtrControl = dtrRaised ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fRtsControl = rtsRaised ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
}

}  // namespace kivocom
