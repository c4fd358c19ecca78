// SPDX-License-Identifier: MIT
// Translation of Windows errors on a serial line into kivocom::Error, in one place. Every
// description names the port and its device, keeps the system's own text and says what to do.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "kivocom/error.h"
#include "platform/line/line_rules.h"

namespace kivocom {

// The error for a device that could not be opened; `err` is the Windows error. Missing devices
// give 8002, devices held by another program 8010, everything else 8012.
Error OpenError(const std::string& source, int32_t port, const std::string& device, DWORD err);

// The error for a device that failed while open (8020): removed, hung up or broken.
Error DeviceError(const std::string& source, int32_t port, const std::string& device, DWORD err);

// The error for a device that refused line settings or a modem-line change (8015).
Error SettingError(const std::string& source, int32_t port, const std::string& device, const std::string& what,
                   const std::string& reason);

}  // namespace kivocom
