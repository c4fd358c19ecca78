// SPDX-License-Identifier: MIT
// Simulated instruments inside the process: map a port to "sim://STYLE?OPTION=VALUE&..." and its
// openings reach instruments played in this process, on the caller's thread, with no device, no
// pseudo-terminal and no helper program, on every system (the README lists the options). These
// functions show what the instruments heard, so a program can check the bytes it sent.
#pragma once

#include <cstddef>
#include <string>

namespace kivocom {

// Bytes of what the instruments of one sim:// device heard that are kept: the most recent ones.
inline constexpr std::size_t kSimulatedLineHeardKept = std::size_t{1} << 20;

// The bytes the instruments of the sim:// device `device` (the mapping's text, exactly) heard
// since its first opening or the last ClearSimulatedLineHeard, in order, switch commands
// included; the last kSimulatedLineHeardKept of them. Empty for a device never opened.
std::string SimulatedLineHeard(const std::string& device);

// Forgets the bytes the instruments of `device` heard so far.
void ClearSimulatedLineHeard(const std::string& device);

}  // namespace kivocom
