// SPDX-License-Identifier: MIT
// Sending one command: framed for the controller style, preceded by a lone CR and ended by CR.
#include "comport/command_frame.h"
#include "comport/transmit.h"
#include "kivocom/comport.h"
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {
constexpr const char* kWriteSource = "CCOMPort - WritePort";
}  // namespace

void CCOMPort::WritePort(ECOMError& errorcode, const std::string& cmd, const std::string& ssport,
                         const std::string& Address, const std::string& SetStr) {
  errorcode = CE_NONE;
  const CommandFrame frame = FrameCommand(controllerStyle_, cmd, Address, SetStr);
  if (!OpenPort(ssport)) {
    errorcode = CE_ABORTED;
    return;
  }
  if (debugging_)
    UpdateDebugFile("Sending '" + frame.text + "' on COM port " + std::to_string(control_->CommPort()));
  ClearBuffers();
  // The lone CR must reach the instrument before the next clearing, which discards untransmitted
  // bytes, so it is drained first.
  control_->Output("\r");
  WaitForTransmitDrain(*control_, BaudRateName(), 1, kWriteSource);
  ClearBuffers();
  const std::string line = LineText(frame) + "\r";
  control_->Output(line);
  WaitForTransmitDrain(*control_, BaudRateName(), line.size(), kWriteSource);
  // Stale input (and an echo that came back before the command went out) is discarded, but not
  // what arrived after the command was handed to the line: an instrument that answers at once
  // would otherwise lose its reply and cost a whole time-out.
  control_->OutBufferCount(0);
  control_->DiscardInputBeforeLastOutput();
  if (autoClose_) ClosePort();
}

}  // namespace kivocom
