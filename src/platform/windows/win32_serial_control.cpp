// SPDX-License-Identifier: MIT
// The Win32 serial line: the members of the serial control, each checking the line's state
// and handing the work to the device or the pump.
#include "platform/windows/win32_serial_control.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "kivocom/error.h"
#include "kivocom/port_devices.h"
#include "platform/local_serial_control.h"
#include "platform/serial_control_rules.h"
#include "platform/windows/win32_serial_errors.h"
#include "platform/windows/win32_serial_framing.h"

namespace kivocom {
namespace {

// Closing waits for unsent bytes at most twice their time on the wire and this much more.
constexpr auto kCloseDrainMargin = std::chrono::milliseconds(100);

int32_t AsCount(std::size_t count) {
  return static_cast<int32_t>(std::min<std::size_t>(count, std::numeric_limits<int32_t>::max()));
}

}  // namespace

Win32SerialControl::OpenLine::OpenLine(int32_t port, const std::string& path, const LineSettings& settings,
                                       const std::string& text, const std::string& source)
    : device(port, path, settings, text, source), pump(device.Handle()) {}

Win32SerialControl::Win32SerialControl() = default;

Win32SerialControl::~Win32SerialControl() { Close(); }

bool Win32SerialControl::PortOpen() {
  NoticeLoss();
  return line_ != nullptr;
}

void Win32SerialControl::PortOpen(bool open) {
  NoticeLoss();
  if (open && line_)
    throw Error(kErrPortAlreadyOpen, ControlSource("PortOpen"), PortText() + " is already open.");
  lossDescription_.clear();
  if (open)
    Open();
  else
    Close();
}

int32_t Win32SerialControl::CommPort() { return commPort_; }

void Win32SerialControl::CommPort(int32_t port) {
  NoticeLoss();
  RequireChangeablePortNumber(static_cast<bool>(line_), port, PortText());
  commPort_ = port;
}

std::string Win32SerialControl::Settings() { return settingsText_; }

void Win32SerialControl::Settings(const std::string& settings) {
  const std::string source = ControlSource("Settings");
  const LineSettings parsed = ParseLineSettings(settings, source);
  CheckSystemCanUse(parsed, settings, source);
  NoticeLoss();
  if (line_) line_->device.ApplySettings(parsed, settings, source);
  settings_ = parsed;
  settingsText_ = settings;
}

void Win32SerialControl::Output(const std::string& data) {
  Line("Output").pump.Send(data);
  RaiseIfLost("Output");
}

int32_t Win32SerialControl::OutBufferCount() { return AsCount(Line("OutBufferCount").pump.PendingOutput()); }

void Win32SerialControl::OutBufferCount(int32_t count) {
  OpenLine& line = Line("OutBufferCount");
  RequireDiscardCount(count, "OutBufferCount");
  line.pump.DiscardOutput();
}

int32_t Win32SerialControl::InBufferCount() { return AsCount(Line("InBufferCount").pump.PendingInput()); }

void Win32SerialControl::InBufferCount(int32_t count) {
  OpenLine& line = Line("InBufferCount");
  RequireDiscardCount(count, "InBufferCount");
  line.pump.DiscardInput();
}

std::string Win32SerialControl::Input() { return Line("Input").pump.TakeInput(); }

void Win32SerialControl::DTREnable(bool enable) {
  Line("DTREnable").device.SetDtr(enable, ControlSource("DTREnable"));
}

void Win32SerialControl::RTSEnable(bool enable) {
  Line("RTSEnable").device.SetRts(enable, ControlSource("RTSEnable"));
}

bool Win32SerialControl::WaitForInput(int64_t timeoutMs) {
  const bool waiting = Line("WaitForInput").pump.WaitForInput(DeadlineAfter(timeoutMs));
  RaiseIfLost("WaitForInput");
  return waiting;
}

bool Win32SerialControl::WaitForDrain(int64_t timeoutMs) {
  const bool drained = Line("WaitForDrain").pump.WaitForOutputSent(DeadlineAfter(timeoutMs), ByteTime());
  RaiseIfLost("WaitForDrain");
  return drained;
}

void Win32SerialControl::Open() {
  const std::string source = ControlSource("PortOpen");
  const std::string path = PortDevicePath(commPort_);
  try {
    line_ = std::make_unique<OpenLine>(commPort_, path, settings_, settingsText_, source);
  } catch (const std::system_error& error) {
    throw Error(kErrDeviceNotOpen, source,
                PortAndDevice(commPort_, path) + " cannot be served: " + error.code().message() + ".");
  }
}

// Bytes still on their way get a bounded chance to reach the wire before the device's
// attributes are put back, so that they do not go out at another speed.
void Win32SerialControl::Close() {
  if (!line_) return;
  const auto pending = static_cast<int64_t>(line_->pump.PendingOutput());
  if (pending > 0) {
    const auto limit = std::chrono::steady_clock::now() + 2 * pending * ByteTime() + kCloseDrainMargin;
    line_->pump.WaitForOutputSent(limit, ByteTime());
  }
  line_.reset();
}

// A vanished device is let go at once; its description stays to be raised.
void Win32SerialControl::NoticeLoss() {
  if (!line_) return;
  const std::optional<int> failure = line_->pump.Failure();
  if (!failure) return;
  lossDescription_ = DeviceError("", line_->device.Port(), line_->device.Path(), *failure).Description();
  line_.reset();
}

Win32SerialControl::OpenLine& Win32SerialControl::Line(const char* member) {
  RaiseIfLost(member);
  if (!line_)
    throw PortNotOpenError(member, PortText());
  return *line_;
}

void Win32SerialControl::RaiseIfLost(const char* member) {
  NoticeLoss();
  if (!lossDescription_.empty()) throw Error(kErrReadingDevice, ControlSource(member), lossDescription_);
}

std::string Win32SerialControl::PortText() const { return PortAndDevice(commPort_, PortDevicePath(commPort_)); }

std::chrono::nanoseconds Win32SerialControl::ByteTime() const {
  return std::chrono::nanoseconds(int64_t{1'000'000'000} * settings_.BitsPerCharacter() / settings_.baud);
}

std::shared_ptr<SerialControl> CreateLocalSerialControl() { return std::make_shared<Win32SerialControl>(); }

}  // namespace kivocom
