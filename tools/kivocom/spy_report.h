// SPDX-License-Identifier: MIT
// What the spy prints: a line per burst (time since the start, wall time, sender, hex and text),
// the frames named below it, and the settings and losses between; or, for tools, one JSON object a
// line with the same content.
#pragma once

#include <string>
#include <vector>

#include "spy_decoder.h"
#include "spy_relay.h"

namespace kivotool {

class SpyReport {
 public:
  // Reports times from `start`, as JSON lines when `json`.
  SpyReport(const SpyStamp& start, bool json) : start_(start), json_(json) {}

  // The relay runs with `programDevice` for the program, in front of `device`.
  std::string Ready(const std::string& programDevice, const std::string& device) const;
  std::string Settings(const std::string& settings, const std::string& problem, const SpyStamp& stamp) const;
  // One burst and the frames it completed (none when not decoding).
  std::string Traffic(bool fromProgram, const std::string& bytes, const std::vector<SpyFrame>& frames,
                      const SpyStamp& stamp) const;
  std::string DeviceLost(const std::string& device, const std::string& why, const SpyStamp& stamp) const;

 private:
  std::string Stamp(const SpyStamp& stamp) const;
  std::string JsonStamp(const SpyStamp& stamp) const;

  SpyStamp start_;
  bool json_;
};

// `text` as a JSON string, quotes included; bytes above 127 as \u00XX (one character per byte).
std::string JsonString(const std::string& text);

}  // namespace kivotool
