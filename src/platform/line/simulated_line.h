// SPDX-License-Identifier: MIT
// The driver of a sim:// device: the instruments play inside the process, on the caller's thread,
// with no line, pseudo-terminal or helper process. Time does the work of a wire: a byte sent
// reaches the instruments one character time after the one before it, and their answers arrive
// when the instruments' schedule says, so exchanges see what a real line shows them: no echo,
// answers only after the command, downloads in pieces with the silence between them.
//
// The instruments of a device text live as long as the process: a value an omega set frame
// stores stays for the next opening, and answers planned while the line is closed wait for it, as
// they would in a device's buffer. One opening at a time holds a device text; another raises 8010.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "kivocom/instrument_bench.h"
#include "platform/line/line_driver.h"
#include "platform/line/received_bytes.h"

namespace kivocom {

class SimulatedLine : public LineDriver {
 public:
  // Opens `device` (a sim:// text), the device of port `port`, at `settings`. Raises
  // kivocom::Error with `source`: 8012 for a text that is not well formed, 8010 while another
  // opening holds it.
  SimulatedLine(int32_t port, const std::string& device, const LineSettings& settings, const std::string& source);
  // Lets the device go for the next opening.
  ~SimulatedLine() override;
  SimulatedLine(const SimulatedLine&) = delete;
  SimulatedLine& operator=(const SimulatedLine&) = delete;

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
  using Clock = InstrumentBench::Clock;

  void Advance();
  std::optional<Clock::time_point> NextEvent() const;
  void Deliver(Clock::time_point at);

  std::string device_;
  std::shared_ptr<InstrumentBench> bench_;
  std::chrono::nanoseconds byteTime_{};
  std::string unheard_;                // sent bytes still on their way to the instruments
  Clock::time_point nextArrival_{};    // when the first of them reaches the instruments
  ReceivedBytes received_;
};

}  // namespace kivocom
