// SPDX-License-Identifier: MIT
// The far end of a simulated line without the line: instruments, optionally behind a smart
// switch, that hear the bytes a program sends and plan their answers on a schedule. The library's
// in-process simulated lines (sim:// devices) and the pseudo-terminal simulator both play their
// instruments through one. Not locked: its owner guards it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kivocom/enums.h"
#include "kivocom/simulated_instrument.h"

namespace kivocom {

class InstrumentBench {
 public:
  using Clock = std::chrono::steady_clock;

  // What is due to go on the line at a moment.
  struct Due {
    std::string bytes;    // answer bytes, in order
    bool unplug = false;  // after the bytes, the far end closes (an instrument's `unplugAfter`)
  };

  // No instrument, no switch, 9600 baud.
  InstrumentBench();
  ~InstrumentBench();
  InstrumentBench(const InstrumentBench&) = delete;
  InstrumentBench& operator=(const InstrumentBench&) = delete;

  // The line's rate in bits per second, for pacing and the default reply delay; raises
  // kivocom::Error 380 with `source` for a rate below 1.
  void SetBaudRate(int32_t bitsPerSecond, const std::string& source);
  // The line's rate in bits per second.
  int32_t BaudRate() const;

  // Puts `instrument` on switch port `switchPort` (empty: directly on the line); returns its id.
  std::size_t AddInstrument(SimulatedInstrument instrument, const std::string& switchPort);
  // Runs `change` on instrument `id`; raises kivocom::Error 380 with `source` for an unknown id.
  void ChangeInstrument(std::size_t id, const std::function<void(SimulatedInstrument&)>& change,
                        const std::string& source);
  // Instrument `id` as it is now; raises kivocom::Error 380 with `source` for an unknown id.
  const SimulatedInstrument& Instrument(std::size_t id, const std::string& source) const;

  // Puts a switch of `model` in front of the instruments, no port connected; no value takes it
  // away. Half-heard commands and planned answers are dropped.
  void SetSmartSwitch(std::optional<ESmartSwitchStyle> model);
  // The switch port connected now; empty when none is or there is no switch.
  std::string ConnectedSwitchPort() const;

  // The instruments hear `bytes`, which reached them at `at`; their answers are planned.
  void Hear(std::string_view bytes, Clock::time_point at);
  // When the next planned answer byte is due; no value when nothing is planned.
  std::optional<Clock::time_point> NextDue() const;
  // Takes every answer byte due at `now`, up to and including an unplugging.
  Due TakeDue(Clock::time_point now);
  // Puts back what the line could not take, to go first.
  void PutBack(Due rest);
  // Drops every planned answer (the far end closed).
  void ClearPlanned();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kivocom
