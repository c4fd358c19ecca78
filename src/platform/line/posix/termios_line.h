// SPDX-License-Identifier: MIT
// The line driver of POSIX systems: a serial device driven through termios.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/line/local_line.h"
#include "platform/line/posix/termios_device.h"
#include "platform/line/posix/termios_line_pump.h"

namespace kivocom {

// A terminal device (a serial port, a USB adapter or a pseudo-terminal). While open it holds the
// device exclusively and a thread keeps draining it into the receive buffer; the thread is
// started at the first opening and serves every later one.
class TermiosLine : public LocalLine {
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
  std::optional<TermiosDevice> device_;    // the open device; empty while the line is closed
  std::unique_ptr<LinePump> pump_;         // made at the first opening and kept across reopenings
  std::string pathWithoutDriverSettings_;  // the last device that had no serial driver settings
};

}  // namespace kivocom
