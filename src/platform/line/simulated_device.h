// SPDX-License-Identifier: MIT
// Simulated instruments as a device: a port mapped to "sim://STYLE?OPTION=VALUE&..." leads to
// instruments played inside the process, with no line at all:
//   STYLE          kivo, omega, azonix or xsys
//   address=01     the instruments' address (omega style; default 01)
//   switch=MODEL   the instruments stand behind a smart switch: bb4, bb8 or bt528
//   instruments=N  how many stand behind the switch, on its ports A, B, ... (bt528: 1, 2, ...);
//                  1 to 8, default 2
//   readings=N     readings each stores for download, command DL (0 to 9999, default 20)
//   delay=MS       milliseconds from a command's CR to its answer (default: 10 ms or two
//                  character times, whichever is longer)
// Instrument n answers as SampleInstrument describes. Letters in the scheme, style and option
// names may be in any case.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "kivocom/enums.h"
#include "kivocom/instrument_bench.h"

namespace kivocom {

// What a sim:// device text asks for.
struct SimulatedDevice {
  EControllerStyle style = CS_KIVO;
  std::string address = "01";
  std::optional<ESmartSwitchStyle> smartSwitch;
  int32_t instruments = 2;
  int32_t readings = 20;
  std::optional<std::chrono::milliseconds> replyDelay;
};

// True when `devicePath` starts with sim:// (letters in any case).
bool IsSimulatedDevice(const std::string& devicePath);

// Reads a sim:// device text. Empty, with `problem` saying why, when it is not a well-formed one.
std::optional<SimulatedDevice> ReadSimulatedDevice(const std::string& devicePath, std::string& problem);

// Puts the instruments and the switch `device` asks for on `bench`.
void PlaceInstruments(InstrumentBench& bench, const SimulatedDevice& device);

}  // namespace kivocom
