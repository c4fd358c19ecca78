// SPDX-License-Identifier: MIT
#include "spy_report.h"

#include <cstdio>
#include <ctime>

#include "instruments/session_record.h"
#include "visible_text.h"

namespace kivotool {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

// The wall time in UTC: "21:35:01.123Z", or with the date for JSON.
std::string WallTime(std::chrono::system_clock::time_point wall, bool withDate) {
  const auto since = wall.time_since_epoch();
  const std::time_t seconds = static_cast<std::time_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
  const int millis = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count() % 1000);
  std::tm utc{};
  if (const std::tm* broken = std::gmtime(&seconds)) utc = *broken;
  char text[48];
  std::strftime(text, sizeof text, withDate ? "%Y-%m-%dT%H:%M:%S" : "%H:%M:%S", &utc);
  char out[64];
  std::snprintf(out, sizeof out, "%s.%03dZ", text, millis);
  return out;
}

std::string JsonValue(const SpyFrame::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return JsonString(*text);
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  char number[32];
  std::snprintf(number, sizeof number, "%.3f", std::get<double>(value));
  return number;
}

std::string JsonFrame(const SpyFrame& frame) {
  std::string out = "{\"frame\":" + JsonString(frame.kind);
  for (const auto& [name, value] : frame.fields) out += "," + JsonString(name) + ":" + JsonValue(value);
  return out + ",\"summary\":" + JsonString(frame.summary) + "}";
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string SpyReport::Stamp(const SpyStamp& stamp) const {
  char text[96];
  std::snprintf(text, sizeof text, "%11.3f ms  %s", Milliseconds(stamp.at - start_.at).count(),
                WallTime(stamp.wall, false).c_str());
  return text;
}

std::string SpyReport::JsonStamp(const SpyStamp& stamp) const {
  char text[128];
  std::snprintf(text, sizeof text, "{\"ms\":%.3f,\"time\":\"%s\"", Milliseconds(stamp.at - start_.at).count(),
                WallTime(stamp.wall, true).c_str());
  return text;
}

std::string SpyReport::Ready(const std::string& programDevice, const std::string& device) const {
  if (json_) {
    return JsonStamp(start_) + ",\"event\":\"ready\",\"program_device\":" + JsonString(programDevice) +
           ",\"device\":" + JsonString(device) + "}\n";
  }
  return Stamp(start_) + "  spy   " + programDevice + " (program) <-> " + device + " (device)\n";
}

std::string SpyReport::Settings(const std::string& settings, const std::string& problem, const SpyStamp& stamp) const {
  if (json_) {
    return JsonStamp(stamp) + ",\"event\":\"settings\",\"settings\":" + JsonString(settings) +
           (problem.empty() ? "" : ",\"problem\":" + JsonString(problem)) + "}\n";
  }
  return Stamp(stamp) + "  line  " + settings + (problem.empty() ? "" : " (not on the device: " + problem + ")") + "\n";
}

std::string SpyReport::Traffic(bool fromProgram, const std::string& bytes, const std::vector<SpyFrame>& frames,
                               const SpyStamp& stamp) const {
  if (json_) {
    std::string out = JsonStamp(stamp) + ",\"from\":\"" + (fromProgram ? "program" : "device") +
                      "\",\"hex\":\"" + kivocom::HexBytes(bytes) + "\",\"text\":" + JsonString(Visible(bytes));
    if (!frames.empty()) {
      out += ",\"frames\":[";
      for (std::size_t i = 0; i < frames.size(); ++i) out += (i ? "," : "") + JsonFrame(frames[i]);
      out += "]";
    }
    return out + "}\n";
  }
  std::string out = Stamp(stamp) + (fromProgram ? "  >dev  " : "  <dev  ") + kivocom::HexBytes(bytes) + "  |" + Visible(bytes) + "|\n";
  for (const SpyFrame& frame : frames) out += std::string(34, ' ') + "= " + frame.summary + "\n";
  return out;
}

std::string SpyReport::DeviceLost(const std::string& device, const std::string& why, const SpyStamp& stamp) const {
  if (json_) {
    return JsonStamp(stamp) + ",\"event\":\"device-lost\",\"device\":" + JsonString(device) +
           ",\"why\":" + JsonString(why) + "}\n";
  }
  return Stamp(stamp) + "  lost  " + device + " went away (" + why + "); the program's end is hung up\n";
}

}  // namespace kivotool
