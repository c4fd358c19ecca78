// SPDX-License-Identifier: MIT
// Who holds a serial device: read from the system's lock table and open-file lists, for the
// "in use" message. Only what the system lets this program see is found.
#pragma once

#include <string>

namespace kivocom {

// The programs that hold `device` locked or open, as "minicom (process 4242)"; empty when none
// can be seen.
std::string DeviceHolder(const std::string& device);

}  // namespace kivocom
