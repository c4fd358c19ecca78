// SPDX-License-Identifier: MIT
// The serial control port objects use: each opening reaches the line the port number's mapping
// names, a local serial device or a network port (rfc2217:// or tcp://), through the control made
// for it, so the port objects never see the difference.
#pragma once

#include <memory>
#include <string>

#include "kivocom/serial_control.h"
#include "platform/connection_hold.h"
#include "platform/network_serial_control.h"

namespace kivocom {

class MappedLineControl : public SerialControl {
 public:
  // Reaches local devices through `local`, the system's own control.
  explicit MappedLineControl(std::shared_ptr<SerialControl> local);

  bool PortOpen() override;
  void PortOpen(bool open) override;
  int32_t CommPort() override;
  void CommPort(int32_t port) override;
  std::string Settings() override;
  void Settings(const std::string& settings) override;
  void Output(const std::string& data) override;
  int32_t OutBufferCount() override;
  void OutBufferCount(int32_t count) override;
  int32_t InBufferCount() override;
  void InBufferCount(int32_t count) override;
  std::string Input() override;
  void DiscardInputBeforeLastOutput() override;
  void DTREnable(bool enable) override;
  void RTSEnable(bool enable) override;
  bool WaitForInput(int64_t timeoutMs) override;
  bool WaitForDrain(int64_t timeoutMs) override;

 private:
  bool OpenNetworkLine(const std::string& device);
  SerialControl& Line();
  std::string MappedDevice() const;

  std::shared_ptr<SerialControl> local_;
  std::unique_ptr<NetworkSerialControl> network_;  // while a network port is open, or lost
  ConnectionHold closed_;  // the network connection last closed, for the next opening
  std::string settingsText_;
};

}  // namespace kivocom
