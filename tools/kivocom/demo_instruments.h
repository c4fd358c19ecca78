// SPDX-License-Identifier: MIT
// The instruments the demo talks to, mapped to a COM number: on POSIX a simulator on a
// pseudo-terminal, on Windows instruments simulated in the process (sim:// devices). Each
// system's file in posix/ or windows/ defines it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "kivocom/enums.h"

namespace kivotool {

class DemoInstruments {
 public:
  // One instrument, CS_KIVO at address 01, storing `readings` readings, mapped to port `port`.
  DemoInstruments(int port, int readings);
  // Removes the port's mapping.
  ~DemoInstruments();
  DemoInstruments(const DemoInstruments&) = delete;
  DemoInstruments& operator=(const DemoInstruments&) = delete;

  // Where the instruments play, as the demo's first line tells it ("on /dev/pts/3").
  std::string Where() const;
  // The instrument speaks `style` from now on.
  void UseStyle(kivocom::EControllerStyle style);
  // Instruments 1 and 2 behind a switch of `model`, on its first two ports, in place of the lone one.
  void UseSwitch(kivocom::ESmartSwitchStyle model);
  // Back to the lone instrument, CS_KIVO.
  void RemoveSwitch();
  // The bytes the instruments heard since the last ClearHeard.
  std::string Heard() const;
  void ClearHeard();
  // Waits until `sequence` is among the bytes heard, or `timeout` passes.
  void WaitForHeard(const std::string& sequence, std::chrono::milliseconds timeout) const;
  // The bytes a download of the lone instrument's readings brings.
  std::string StoredStream() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace kivotool
