// SPDX-License-Identifier: MIT
// The line driver of Windows: a COM port driven through the Win32 communications API.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/line/local_line.h"
#include "platform/line/windows/win32_serial_device.h"
#include "platform/line/windows/win32_serial_line_pump.h"

namespace kivocom {

// A COM port (a serial port, a USB adapter, or under Wine whatever device the port is linked
// to). While open it holds the port exclusively and a thread keeps draining it into the receive
// buffer.
class Win32SerialLine : public LocalLine {
 public:
  void Open(int32_t port, const std::string& path, const LineSettings& settings, const std::string& text,
            const std::string& source) override;
  void Close() override;
  void Check(const LineSettings& settings, const std::string& text, const std::string& source) override;

  void Apply(const LineSettings& settings, const std::string& text, const std::string& source) override;
  void Send(std::string_view data) override;
  std::size_t PendingOutput() override;
  void DiscardOutput() override;
  std::size_t PendingInput() override;
  std::string TakeInput() override;
  void DiscardInput() override;
  void DiscardInputBeforeLastSend() override;
  bool WaitForInput(Deadline deadline) override;
  bool WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) override;
  void SetModemLine(ModemLine line, bool raised, const std::string& source) override;
  std::optional<LineLoss> Loss() override;

 private:
  // An open device and the pump that serves it; the pump stops before the device is closed.
  struct OpenDevice {
    OpenDevice(int32_t port, const std::string& path, const LineSettings& settings, const std::string& text,
               const std::string& source);
    Win32SerialDevice device;
    Win32LinePump pump;
  };

  std::unique_ptr<OpenDevice> open_;  // empty while the line is closed
};

}  // namespace kivocom
