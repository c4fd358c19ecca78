// SPDX-License-Identifier: MIT
// The serial control of POSIX systems: a real serial line driven through termios.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "kivocom/serial_control.h"
#include "platform/posix/termios_device.h"
#include "platform/posix/termios_line_pump.h"
#include "platform/serial_settings_text.h"

namespace kivocom {

// A serial line on a terminal device (a serial port, a USB adapter or a pseudo-terminal). While
// open it holds the device exclusively and a thread keeps draining it into the receive buffer;
// the thread is started at the first opening and serves every later one.
// A device that vanishes makes the line read as closed; the bytes it sent before it went can still
// be taken with InBufferCount and Input, and then members that need the line raise 8020 until
// the port is opened or closed again.
class TermiosSerialControl : public SerialControl {
 public:
  // A closed line on port 1 at "9600,N,8,1".
  TermiosSerialControl();
  // Closes the line if it is open.
  ~TermiosSerialControl() override;

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
  void Open();
  void Close();
  void NoticeLoss();
  LinePump& Pump(const char* member);
  TermiosDevice& Device(const char* member);
  void RequireOpen(const char* member);
  void RaiseIfLost(const char* member);
  std::string PortText() const;
  std::chrono::nanoseconds ByteTime() const;

  int32_t commPort_ = 1;
  std::string settingsText_ = "9600,N,8,1";
  LineSettings settings_;
  std::optional<TermiosDevice> device_;  // the open device; empty while the line is closed
  std::unique_ptr<LinePump> pump_;       // made at the first opening and kept across reopenings
  std::string pathWithoutDriverSettings_;  // the last device that had no serial driver settings
  std::string lossDescription_;  // why the device vanished; raised until the port is opened or closed
  std::string leftover_;         // bytes the vanished device sent that were not yet taken
};

}  // namespace kivocom
