// SPDX-License-Identifier: MIT
// Where a line core's openings lead: the device a port number names, and the driver that serves
// that device for one opening.
#pragma once

#include <cstdint>
#include <string>

#include "platform/line/line_driver.h"
#include "platform/line/serial_settings_text.h"

namespace kivocom {

class LineSource {
 public:
  virtual ~LineSource() = default;

  // The device port `port` leads to, as errors name it.
  virtual std::string Device(int32_t port) = 0;
  // Raises kivocom::Error with `source` when the line of `port` could never use `settings` (the
  // text `text`); checked while the line is closed, before the settings are kept.
  virtual void Check(int32_t port, const LineSettings& settings, const std::string& text,
                     const std::string& source) = 0;
  // Opens the line of `port` at `settings` and returns its driver, valid until Close. Raises
  // kivocom::Error with `source` when it cannot be opened.
  virtual LineDriver& Open(int32_t port, const LineSettings& settings, const std::string& text,
                           const std::string& source) = 0;
  // Ends the opening: what is still unsent has had its chance, and a source may keep a network
  // connection for the opening that follows.
  virtual void Close() = 0;
};

}  // namespace kivocom
