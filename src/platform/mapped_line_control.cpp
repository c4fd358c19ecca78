// SPDX-License-Identifier: MIT
// Choosing the line at each opening from the port number's mapping, and handing every member to
// the control of the line in use.
#include "platform/mapped_line_control.h"

#include "kivocom/port_devices.h"
#include "platform/local_serial_control.h"
#include "platform/network_address.h"

namespace kivocom {
MappedLineControl::MappedLineControl(std::shared_ptr<SerialControl> local)
    : local_(std::move(local)), settingsText_(local_->Settings()) {}

bool MappedLineControl::PortOpen() { return Line().PortOpen(); }

// A network control lives from its opening until the port is closed or opened again, so that a
// lost connection keeps being reported meanwhile. A live connection the port closes is held for
// the opening that usually follows at once (each opening closes the line first).
void MappedLineControl::PortOpen(bool open) {
  if (!open && network_ && network_->Suspend()) {
    closed_.Hold(std::move(network_));
    return;
  }
  if (!open || Line().PortOpen()) {
    Line().PortOpen(open);
    network_.reset();
    return;
  }
  network_.reset();
  const std::string device = MappedDevice();
  if (IsNetworkDevice(device)) {
    if (!OpenNetworkLine(device)) {
      auto network = std::make_unique<NetworkSerialControl>(device, local_->CommPort(), settingsText_);
      network->PortOpen(true);
      network_ = std::move(network);
    }
    return;
  }
  closed_.Take(device, local_->CommPort());
  if (local_->Settings() != settingsText_) local_->Settings(settingsText_);
  local_->PortOpen(true);
}

// Opens the held connection again when it leads to `device`; false when there is none to use.
bool MappedLineControl::OpenNetworkLine(const std::string& device) {
  std::unique_ptr<NetworkSerialControl> held = closed_.Take(device, local_->CommPort());
  if (!held || !held->Resume(settingsText_)) return false;
  network_ = std::move(held);
  return true;
}

int32_t MappedLineControl::CommPort() { return local_->CommPort(); }

void MappedLineControl::CommPort(int32_t port) {
  if (network_) network_->CommPort(port);
  local_->CommPort(port);
}

// A plain TCP port carries no settings: the text says so, and so does the trace line that shows it.
std::string MappedLineControl::Settings() {
  if (IsPlainTcpDevice(MappedDevice())) return settingsText_ + " (not applied: tcp:// carries bytes only)";
  return settingsText_;
}

// The line that will be or is open checks the text: a local one for what this system can do, a
// network one for its form, and an open rfc2217:// one by asking its server.
void MappedLineControl::Settings(const std::string& settings) {
  if (network_)
    network_->Settings(settings);
  else if (IsNetworkDevice(MappedDevice()))
    NetworkSerialControl(MappedDevice(), local_->CommPort(), settings);
  else
    local_->Settings(settings);
  settingsText_ = settings;
}

void MappedLineControl::Output(const std::string& data) { Line().Output(data); }
int32_t MappedLineControl::OutBufferCount() { return Line().OutBufferCount(); }
void MappedLineControl::OutBufferCount(int32_t count) { Line().OutBufferCount(count); }
int32_t MappedLineControl::InBufferCount() { return Line().InBufferCount(); }
void MappedLineControl::InBufferCount(int32_t count) { Line().InBufferCount(count); }
std::string MappedLineControl::Input() { return Line().Input(); }
void MappedLineControl::DiscardInputBeforeLastOutput() { Line().DiscardInputBeforeLastOutput(); }
void MappedLineControl::DTREnable(bool enable) { Line().DTREnable(enable); }
void MappedLineControl::RTSEnable(bool enable) { Line().RTSEnable(enable); }
bool MappedLineControl::WaitForInput(int64_t timeoutMs) { return Line().WaitForInput(timeoutMs); }
bool MappedLineControl::WaitForDrain(int64_t timeoutMs) { return Line().WaitForDrain(timeoutMs); }

SerialControl& MappedLineControl::Line() { return network_ ? *network_ : *local_; }

std::string MappedLineControl::MappedDevice() const { return PortDevicePath(local_->CommPort()); }

std::shared_ptr<SerialControl> CreatePlatformSerialControl() {
  return std::make_shared<MappedLineControl>(CreateLocalSerialControl());
}

}  // namespace kivocom
