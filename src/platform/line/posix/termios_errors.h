// SPDX-License-Identifier: MIT
// Translation of system errors on a serial device into kivocom::Error, in one place. Every
// description names the port and its device, keeps the system's own text and says what to do.
#pragma once

#include <cstdint>
#include <string>

#include "kivocom/error.h"
#include "platform/line/line_rules.h"

namespace kivocom {

// The error for a device that could not be opened or locked; `err` is the system's error number.
// Missing devices give 8002, devices held by another program 8010, everything else 8012.
Error OpenError(const std::string& source, int32_t port, const std::string& device, int err);

// The error for a device that failed while open (8020); `err` 0 means it hung up.
Error DeviceError(const std::string& source, int32_t port, const std::string& device, int err);

// The error for a device that refused line settings or a modem-line change (8015).
Error SettingError(const std::string& source, int32_t port, const std::string& device, const std::string& what,
                   const std::string& reason);

}  // namespace kivocom
