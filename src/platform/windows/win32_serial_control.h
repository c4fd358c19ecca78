// SPDX-License-Identifier: MIT
// The serial control of Windows: a serial line driven through the Win32 communications API.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "kivocom/serial_control.h"
#include "platform/serial_settings_text.h"
#include "platform/windows/win32_serial_device.h"
#include "platform/windows/win32_serial_line_pump.h"

namespace kivocom {

// A serial line on a COM port (a serial port, a USB adapter, or under Wine whatever device the
// port is linked to). While open it holds the port exclusively and a thread keeps draining it
// into the receive buffer. A port that vanishes makes the line read as closed; members that need
// the line then raise 8020 until the port is opened or closed again.
class Win32SerialControl : public SerialControl {
 public:
  // A closed line on port 1 at "9600,N,8,1".
  Win32SerialControl();
  // Closes the line if it is open.
  ~Win32SerialControl() override;

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
  void DTREnable(bool enable) override;
  void RTSEnable(bool enable) override;
  bool WaitForInput(int64_t timeoutMs) override;
  bool WaitForDrain(int64_t timeoutMs) override;

 private:
  // An open device and the pump that serves it; the pump stops before the device is closed.
  struct OpenLine {
    OpenLine(int32_t port, const std::string& path, const LineSettings& settings, const std::string& text,
             const std::string& source);
    Win32SerialDevice device;
    Win32LinePump pump;
  };

  void Open();
  void Close();
  void NoticeLoss();
  OpenLine& Line(const char* member);
  void RaiseIfLost(const char* member);
  std::string PortText() const;
  std::chrono::nanoseconds ByteTime() const;

  int32_t commPort_ = 1;
  std::string settingsText_ = "9600,N,8,1";
  LineSettings settings_;
  std::unique_ptr<OpenLine> line_;
  std::string lossDescription_;  // why the device vanished; raised until the port is opened or closed
};

}  // namespace kivocom
