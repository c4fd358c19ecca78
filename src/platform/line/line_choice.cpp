// SPDX-License-Identifier: MIT
// Choosing the line at each opening from the port number's mapping.
#include "platform/line/line_choice.h"

#include "kivocom/port_devices.h"
#include "platform/line/line_core.h"
#include "platform/line/simulated_device.h"
#include "platform/network/network_address.h"

namespace kivocom {

LineChoice::LineChoice(std::unique_ptr<LocalLine> local) : local_(std::move(local)) {}

std::string LineChoice::Device(int32_t port) { return PortDevicePath(port); }

// A network port's server checks the settings when the line opens, and simulated instruments
// take any; a local line checks what this system can do.
void LineChoice::Check(int32_t port, const LineSettings& settings, const std::string& text, const std::string& source) {
  const std::string device = PortDevicePath(port);
  if (!IsNetworkDevice(device) && !IsSimulatedDevice(device)) local_->Check(settings, text, source);
}

// Any held network connection that does not lead to the device opened now is closed first.
LineDriver& LineChoice::Open(int32_t port, const LineSettings& settings, const std::string& text,
                             const std::string& source) {
  const std::string device = PortDevicePath(port);
  if (IsNetworkDevice(device)) return OpenNetworkLine(device, port, settings, text, source);
  closed_.Take(device, port);
  if (IsSimulatedDevice(device)) {
    simulated_ = std::make_unique<SimulatedLine>(port, device, settings, source);
    return *simulated_;
  }
  local_->Open(port, device, settings, text, source);
  localOpen_ = true;
  return *local_;
}

// The connection held from the last opening is taken back when it leads to the same device and
// can be used again; otherwise a new one is made.
LineDriver& LineChoice::OpenNetworkLine(const std::string& device, int32_t port, const LineSettings& settings,
                                        const std::string& text, const std::string& source) {
  std::unique_ptr<NetworkLine> held = closed_.Take(device, port);
  if (held && held->Resume(settings, text)) {
    network_ = std::move(held);
    return *network_;
  }
  held.reset();
  auto line = std::make_unique<NetworkLine>(device, port);
  line->Open(settings, text, source);
  network_ = std::move(line);
  return *network_;
}

// A live network connection is held for the opening that usually follows at once (each opening
// closes the line first); a lost one is closed.
void LineChoice::Close() {
  if (network_) {
    if (network_->Suspend()) closed_.Hold(std::move(network_));
    network_.reset();
  }
  simulated_.reset();
  if (localOpen_) local_->Close();
  localOpen_ = false;
}

std::shared_ptr<SerialControl> CreatePlatformSerialControl() {
  return std::make_shared<LineCore>(std::make_unique<LineChoice>(CreateLocalLine()));
}

}  // namespace kivocom
