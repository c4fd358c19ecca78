// SPDX-License-Identifier: MIT
// The simulated instruments the simulate and demo commands set up, and how to describe them.
#pragma once

#include <string>

#include "kivocom/enums.h"
#include "kivocom/simulator.h"

namespace kivotool {

// The style named kivo, omega, azonix or xsys.
kivocom::EControllerStyle StyleByName(const std::string& name);
// The smart switch model named bb4, bb8 or bt528.
kivocom::ESmartSwitchStyle SwitchModelByName(const std::string& name);
// The name bb4, bb8 or bt528 of `model` ("switch" for a model outside the enumeration).
std::string SwitchModelName(kivocom::ESmartSwitchStyle model);
// The name of switch port `n` (1-based) of `model`: A, B, ... or 1, 2, ...
std::string SwitchPortName(kivocom::ESmartSwitchStyle model, int n);

// The reading instrument `n` answers to "PV".
std::string DemoReading(int n);

// What `kivocom simulate` prints: the device, how to map it, and commands to try (a download of
// the `readings` stored readings, binary ones counted as such).
std::string DescribeSimulator(const kivocom::InstrumentSimulator& sim, const std::string& style,
                              const std::string& address, const std::string& switchModel, int instruments,
                              int readings, bool binary);

}  // namespace kivotool
