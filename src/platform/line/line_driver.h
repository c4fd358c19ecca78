// SPDX-License-Identifier: MIT
// What one kind of line (a termios device, a Win32 COM port, a network port) does on an open
// line, in its system's own way. The line core holds every rule around these steps: the open and
// closed checks, what a loss keeps, which bytes a clearing discards, the drain before closing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/line/serial_settings_text.h"

namespace kivocom {

// A modem control line a program raises or drops.
enum class ModemLine { Dtr, Rts };

// Why an open line ended: the error number members raise from then on, and its description.
struct LineLoss {
  int32_t number = 0;
  std::string description;
};

class LineDriver {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  virtual ~LineDriver() = default;

  // Puts `settings` (the text `text`) in force on the open line at once; raises kivocom::Error
  // with `source` and keeps the old ones when the line refuses them.
  virtual void Apply(const LineSettings& settings, const std::string& text, const std::string& source) = 0;
  // Hands `data` to the line; the bytes received up to this moment are marked as older than it.
  virtual void Send(std::string_view data) = 0;
  // Bytes handed to Send and not yet on the wire.
  virtual std::size_t PendingOutput() = 0;
  // Discards every byte not yet on the wire.
  virtual void DiscardOutput() = 0;
  // Received bytes waiting to be taken.
  virtual std::size_t PendingInput() = 0;
  // Returns and removes every waiting received byte; also after a loss, the bytes that came before.
  virtual std::string TakeInput() = 0;
  // Discards every received byte not yet taken, here and wherever the line still holds some.
  virtual void DiscardInput() = 0;
  // Discards the received bytes that arrived before the last Send; later ones stay.
  virtual void DiscardInputBeforeLastSend() = 0;
  // Sleeps until received bytes wait, the line is lost or `deadline` passes; true when bytes wait.
  virtual bool WaitForInput(Deadline deadline) = 0;
  // Sleeps until every byte sent is on the wire, the line is lost or `deadline` passes; true when
  // all are. `byteTime` is how long one byte takes on the wire.
  virtual bool WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) = 0;
  // Raises or drops a modem line at once; raises kivocom::Error with `source` where it cannot.
  virtual void SetModemLine(ModemLine line, bool raised, const std::string& source) = 0;
  // Empty while the line works; once it is lost (unplugged, hung up, the connection ended), why.
  virtual std::optional<LineLoss> Loss() = 0;
};

}  // namespace kivocom
