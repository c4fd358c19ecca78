// SPDX-License-Identifier: MIT
// The termios line: each step handed to the device or the pump.
#include "platform/line/posix/termios_line.h"

#include <sys/ioctl.h>

#include <system_error>

#include "kivocom/error.h"
#include "platform/line/line_rules.h"
#include "platform/line/posix/termios_errors.h"
#include "platform/line/posix/termios_framing.h"

namespace kivocom {

void TermiosLine::Open(int32_t port, const std::string& path, const LineSettings& settings, const std::string& text,
                       const std::string& source) {
  try {
    if (!pump_) pump_ = std::make_unique<LinePump>();
    device_.emplace(port, path, settings, text, source, path != pathWithoutDriverSettings_);
    if (device_->HasDriverSettings()) pathWithoutDriverSettings_.clear();
    else pathWithoutDriverSettings_ = path;
    pump_->Attach(device_->Fd());
  } catch (const std::system_error& error) {
    device_.reset();
    throw Error(kErrDeviceNotOpen, source, PortAndDevice(port, path) + " cannot be served: " + error.code().message() + ".");
  }
}

// The pump lets the device go before the device puts its attributes back and closes.
void TermiosLine::Close() {
  if (!device_) return;
  pump_->Detach();
  device_.reset();
}

void TermiosLine::Check(const LineSettings& settings, const std::string& text, const std::string& source) {
  CheckSystemCanUse(settings, text, source);
}

void TermiosLine::Apply(const LineSettings& settings, const std::string& text, const std::string& source) {
  CheckSystemCanUse(settings, text, source);
  device_->ApplySettings(settings, text, source);
}

void TermiosLine::Send(std::string_view data) { pump_->Send(data); }
std::size_t TermiosLine::PendingOutput() { return pump_->PendingOutput(); }
void TermiosLine::DiscardOutput() { pump_->DiscardOutput(); }
std::size_t TermiosLine::PendingInput() { return pump_->PendingInput(); }
std::string TermiosLine::TakeInput() { return pump_->TakeInput(); }
void TermiosLine::DiscardInput() { pump_->DiscardInput(); }
void TermiosLine::DiscardInputBeforeLastSend() { pump_->DiscardInputBeforeLastSend(); }
bool TermiosLine::WaitForInput(Deadline deadline) { return pump_->WaitForInput(deadline); }

bool TermiosLine::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) {
  return pump_->WaitForOutputSent(deadline, byteTime);
}

void TermiosLine::SetModemLine(ModemLine line, bool raised, const std::string& source) {
  if (line == ModemLine::Dtr)
    device_->SetModemLine(TIOCM_DTR, raised, "DTR", source);
  else
    device_->SetModemLine(TIOCM_RTS, raised, "RTS", source);
}

std::optional<LineLoss> TermiosLine::Loss() {
  const std::optional<int> failure = pump_->Failure();
  if (!failure) return std::nullopt;
  return LineLoss{kErrReadingDevice, DeviceError("", device_->Port(), device_->Path(), *failure).Description()};
}

std::unique_ptr<LocalLine> CreateLocalLine() { return std::make_unique<TermiosLine>(); }

}  // namespace kivocom
