// SPDX-License-Identifier: MIT
// The Win32 serial line: each step handed to the device or the pump.
#include "platform/line/windows/win32_serial_line.h"

#include <system_error>

#include "kivocom/error.h"
#include "platform/line/line_rules.h"
#include "platform/line/windows/win32_serial_errors.h"
#include "platform/line/windows/win32_serial_framing.h"

namespace kivocom {

Win32SerialLine::OpenDevice::OpenDevice(int32_t port, const std::string& path, const LineSettings& settings,
                                        const std::string& text, const std::string& source)
    : device(port, path, settings, text, source), pump(device.Handle()) {}

void Win32SerialLine::Open(int32_t port, const std::string& path, const LineSettings& settings,
                           const std::string& text, const std::string& source) {
  try {
    open_ = std::make_unique<OpenDevice>(port, path, settings, text, source);
  } catch (const std::system_error& error) {
    throw Error(kErrDeviceNotOpen, source, PortAndDevice(port, path) + " cannot be served: " + error.code().message() + ".");
  }
}

void Win32SerialLine::Close() { open_.reset(); }

void Win32SerialLine::Check(const LineSettings& settings, const std::string& text, const std::string& source) {
  CheckSystemCanUse(settings, text, source);
}

void Win32SerialLine::Apply(const LineSettings& settings, const std::string& text, const std::string& source) {
  CheckSystemCanUse(settings, text, source);
  open_->device.ApplySettings(settings, text, source);
}

void Win32SerialLine::Send(std::string_view data) { open_->pump.Send(data); }
std::size_t Win32SerialLine::PendingOutput() { return open_->pump.PendingOutput(); }
void Win32SerialLine::DiscardOutput() { open_->pump.DiscardOutput(); }
std::size_t Win32SerialLine::PendingInput() { return open_->pump.PendingInput(); }
std::string Win32SerialLine::TakeInput() { return open_->pump.TakeInput(); }
void Win32SerialLine::DiscardInput() { open_->pump.DiscardInput(); }
void Win32SerialLine::DiscardInputBeforeLastSend() { open_->pump.DiscardInputBeforeLastSend(); }
bool Win32SerialLine::WaitForInput(Deadline deadline) { return open_->pump.WaitForInput(deadline); }

bool Win32SerialLine::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) {
  return open_->pump.WaitForOutputSent(deadline, byteTime);
}

void Win32SerialLine::SetModemLine(ModemLine line, bool raised, const std::string& source) {
  if (line == ModemLine::Dtr)
    open_->device.SetDtr(raised, source);
  else
    open_->device.SetRts(raised, source);
}

std::optional<LineLoss> Win32SerialLine::Loss() {
  const std::optional<DWORD> failure = open_->pump.Failure();
  if (!failure) return std::nullopt;
  return LineLoss{kErrReadingDevice,
                  DeviceError("", open_->device.Port(), open_->device.Path(), *failure).Description()};
}

std::unique_ptr<LocalLine> CreateLocalLine() { return std::make_unique<Win32SerialLine>(); }

}  // namespace kivocom
