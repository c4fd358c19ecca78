// SPDX-License-Identifier: MIT
// The termios serial line: the members of the serial control, each checking the line's state
// and handing the work to the device or the pump.
#include "platform/posix/termios_serial_control.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <limits>
#include <system_error>
#include <utility>

#include "kivocom/error.h"
#include "kivocom/port_devices.h"
#include "platform/local_serial_control.h"
#include "platform/posix/termios_errors.h"
#include "platform/posix/termios_framing.h"
#include "platform/serial_control_rules.h"

namespace kivocom {
namespace {

// Closing waits for unsent bytes at most twice their time on the wire and this much more.
constexpr auto kCloseDrainMargin = std::chrono::milliseconds(100);

int32_t AsCount(std::size_t count) {
  return static_cast<int32_t>(std::min<std::size_t>(count, std::numeric_limits<int32_t>::max()));
}

}  // namespace

TermiosSerialControl::TermiosSerialControl() = default;

TermiosSerialControl::~TermiosSerialControl() { Close(); }

bool TermiosSerialControl::PortOpen() {
  NoticeLoss();
  return device_.has_value();
}

void TermiosSerialControl::PortOpen(bool open) {
  NoticeLoss();
  if (open && device_)
    throw Error(kErrPortAlreadyOpen, ControlSource("PortOpen"), PortText() + " is already open.");
  lossDescription_.clear();
  leftover_.clear();
  if (open)
    Open();
  else
    Close();
}

int32_t TermiosSerialControl::CommPort() { return commPort_; }

void TermiosSerialControl::CommPort(int32_t port) {
  NoticeLoss();
  RequireChangeablePortNumber(static_cast<bool>(device_), port, PortText());
  commPort_ = port;
}

std::string TermiosSerialControl::Settings() { return settingsText_; }

// A closed line given the text already in force has nothing to check again: every opening applies
// its settings this way, and the text was checked when it was first given.
void TermiosSerialControl::Settings(const std::string& settings) {
  NoticeLoss();
  if (!device_ && settings == settingsText_) return;
  static const std::string source = ControlSource("Settings");
  const LineSettings parsed = ParseLineSettings(settings, source);
  CheckSystemCanUse(parsed, settings, source);
  if (device_) device_->ApplySettings(parsed, settings, source);
  settings_ = parsed;
  settingsText_ = settings;
}

void TermiosSerialControl::Output(const std::string& data) {
  Pump("Output").Send(data);
  RaiseIfLost("Output");
}

int32_t TermiosSerialControl::OutBufferCount() { return AsCount(Pump("OutBufferCount").PendingOutput()); }

void TermiosSerialControl::OutBufferCount(int32_t count) {
  LinePump& pump = Pump("OutBufferCount");
  RequireDiscardCount(count, "OutBufferCount");
  pump.DiscardOutput();
}

int32_t TermiosSerialControl::InBufferCount() {
  NoticeLoss();
  if (!leftover_.empty()) return AsCount(leftover_.size());
  return AsCount(Pump("InBufferCount").PendingInput());
}

void TermiosSerialControl::InBufferCount(int32_t count) {
  NoticeLoss();
  leftover_.clear();
  LinePump& pump = Pump("InBufferCount");
  RequireDiscardCount(count, "InBufferCount");
  pump.DiscardInput();
}

std::string TermiosSerialControl::Input() {
  NoticeLoss();
  if (!leftover_.empty()) return std::exchange(leftover_, {});
  return Pump("Input").TakeInput();
}

void TermiosSerialControl::DiscardInputBeforeLastOutput() {
  Pump("DiscardInputBeforeLastOutput").DiscardInputBeforeLastSend();
}

void TermiosSerialControl::DTREnable(bool enable) {
  Device("DTREnable").SetModemLine(TIOCM_DTR, enable, "DTR", ControlSource("DTREnable"));
}

void TermiosSerialControl::RTSEnable(bool enable) {
  Device("RTSEnable").SetModemLine(TIOCM_RTS, enable, "RTS", ControlSource("RTSEnable"));
}

bool TermiosSerialControl::WaitForInput(int64_t timeoutMs) {
  NoticeLoss();
  if (!leftover_.empty()) return true;
  const bool waiting = Pump("WaitForInput").WaitForInput(DeadlineAfter(timeoutMs));
  NoticeLoss();
  if (!leftover_.empty()) return true;
  RaiseIfLost("WaitForInput");
  return waiting;
}

bool TermiosSerialControl::WaitForDrain(int64_t timeoutMs) {
  const bool drained = Pump("WaitForDrain").WaitForOutputSent(DeadlineAfter(timeoutMs), ByteTime());
  RaiseIfLost("WaitForDrain");
  return drained;
}

void TermiosSerialControl::Open() {
  static const std::string source = ControlSource("PortOpen");
  const std::string path = PortDevicePath(commPort_);
  try {
    if (!pump_) pump_ = std::make_unique<LinePump>();
    device_.emplace(commPort_, path, settings_, settingsText_, source, path != pathWithoutDriverSettings_);
    if (device_->HasDriverSettings()) pathWithoutDriverSettings_.clear();
    else pathWithoutDriverSettings_ = path;
    pump_->Attach(device_->Fd());
  } catch (const std::system_error& error) {
    device_.reset();
    throw Error(kErrDeviceNotOpen, source,
                PortAndDevice(commPort_, path) + " cannot be served: " + error.code().message() + ".");
  }
}

// Bytes still on their way get a bounded chance to reach the wire before the device's
// attributes are put back, so that they do not go out at another speed.
void TermiosSerialControl::Close() {
  if (!device_) return;
  const auto pending = static_cast<int64_t>(pump_->PendingOutput());
  if (pending > 0) {
    const auto limit = std::chrono::steady_clock::now() + 2 * pending * ByteTime() + kCloseDrainMargin;
    pump_->WaitForOutputSent(limit, ByteTime());
  }
  pump_->Detach();
  device_.reset();
}

// A vanished device is let go at once; its description stays to be raised. The bytes it sent
// before it went stay readable: they are the end of a reply or of a download.
void TermiosSerialControl::NoticeLoss() {
  if (!device_) return;
  const std::optional<int> failure = pump_->Failure();
  if (!failure) return;
  lossDescription_ = DeviceError("", device_->Port(), device_->Path(), *failure).Description();
  leftover_ += pump_->TakeInput();
  pump_->Detach();
  device_.reset();
}

void TermiosSerialControl::RequireOpen(const char* member) {
  RaiseIfLost(member);
  if (!device_)
    throw PortNotOpenError(member, PortText());
}

LinePump& TermiosSerialControl::Pump(const char* member) {
  RequireOpen(member);
  return *pump_;
}

TermiosDevice& TermiosSerialControl::Device(const char* member) {
  RequireOpen(member);
  return *device_;
}

void TermiosSerialControl::RaiseIfLost(const char* member) {
  NoticeLoss();
  if (!lossDescription_.empty()) throw Error(kErrReadingDevice, ControlSource(member), lossDescription_);
}

std::string TermiosSerialControl::PortText() const { return PortAndDevice(commPort_, PortDevicePath(commPort_)); }

std::chrono::nanoseconds TermiosSerialControl::ByteTime() const {
  return std::chrono::nanoseconds(int64_t{1'000'000'000} * settings_.BitsPerCharacter() / settings_.baud);
}

std::shared_ptr<SerialControl> CreateLocalSerialControl() { return std::make_shared<TermiosSerialControl>(); }

}  // namespace kivocom
