// SPDX-License-Identifier: MIT
// The serial control every line shares: the rules of the control's members, once, over the
// driver its source opens for each opening (a termios device, a Win32 COM port, a network port).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "kivocom/serial_control.h"
#include "platform/line/line_driver.h"
#include "platform/line/line_source.h"
#include "platform/line/serial_settings_text.h"

namespace kivocom {

// A serial line. The port number and the settings text may be set while closed and apply at the
// next opening; the settings also while open. A line that is lost (the device unplugged, the
// connection ended) reads as closed: the bytes that came before can still be taken with
// InBufferCount and Input, and then the members that need the line raise the loss's error (8020,
// or 8010 from a server whose port is in use) until the port is opened or closed again.
class LineCore : public SerialControl {
 public:
  // A closed line on port 1 at "9600,N,8,1", opening through `source`.
  explicit LineCore(std::unique_ptr<LineSource> source);
  // Closes the line if it is open.
  ~LineCore() override;

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
  LineDriver& Line(const char* member);
  void RaiseIfLost(const char* member);
  std::string PortText();
  std::chrono::nanoseconds ByteTime() const;

  std::unique_ptr<LineSource> source_;
  LineDriver* line_ = nullptr;  // the open line's driver; null while closed
  int32_t commPort_ = 1;
  std::string settingsText_ = "9600,N,8,1";
  LineSettings settings_;
  LineLoss loss_;         // why the line was lost; raised until the port is opened or closed
  std::string leftover_;  // bytes the lost line received that were not yet taken
};

}  // namespace kivocom
