// SPDX-License-Identifier: MIT
// The driver of this system's own serial devices (termios on POSIX, the Win32 comm API on
// Windows); each system's line file defines it. One lives as long as its control and serves
// every opening of a local device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/line/line_driver.h"
#include "platform/line/serial_settings_text.h"

namespace kivocom {

class LocalLine : public LineDriver {
 public:
  // Opens `path`, the device of port `port`, at `settings` (the text `text`). Raises
  // kivocom::Error with `source`: 8002 (no device), 8010 (held by another program), 8012 (cannot
  // open) or 8015 (settings refused).
  virtual void Open(int32_t port, const std::string& path, const LineSettings& settings, const std::string& text,
                    const std::string& source) = 0;
  // Lets the device go; its attributes are put back.
  virtual void Close() = 0;
  // Raises kivocom::Error 8015 with `source` when this system cannot use `settings` at all.
  virtual void Check(const LineSettings& settings, const std::string& text, const std::string& source) = 0;
};

// A new driver for the local serial devices of this system, with no device open.
std::unique_ptr<LocalLine> CreateLocalLine();

}  // namespace kivocom
