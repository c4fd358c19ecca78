// SPDX-License-Identifier: MIT
// The Telnet COM-port control option (RFC 2217): the requests that set a server's serial port
// and the reading of the server's replies and notifications.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/line/serial_settings_text.h"

namespace kivocom {

// Client command numbers; the server answers each with the number plus 100.
namespace comport {
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kPurgeData = 12;
inline constexpr uint8_t kServerOffset = 100;

inline constexpr uint8_t kControlNoFlow = 1;
inline constexpr uint8_t kControlDtrOn = 8;
inline constexpr uint8_t kControlDtrOff = 9;
inline constexpr uint8_t kControlRtsOn = 11;
inline constexpr uint8_t kControlRtsOff = 12;

inline constexpr uint8_t kPurgeReceive = 1;
inline constexpr uint8_t kPurgeTransmit = 2;
inline constexpr uint8_t kPurgeBoth = 3;
}  // namespace comport

// One COM-port request: the command and its value, and what it sets, in words.
struct ComPortRequest {
  uint8_t command = 0;
  std::string value;  // the value bytes, unescaped
  std::string what;   // for descriptions: "the rate 9600", "DTR on"
};

// The requests that set a server's port to `settings` with no flow control, in order.
std::vector<ComPortRequest> SettingsRequests(const LineSettings& settings);
// The request that sets a modem line: `line` is "DTR" or "RTS".
ComPortRequest ModemLineRequest(const std::string& line, bool on);
// The request that purges the server's receive or transmit buffer (comport::kPurge...).
ComPortRequest PurgeRequest(uint8_t buffer);

// The whole subnegotiation that carries `request`, 0xFF doubled.
std::string ComPortBytes(const ComPortRequest& request);

// A server's COM-port subnegotiation payload read as a reply: the client command it answers and
// the value. Empty for notifications (line state, modem state, flow suspend and resume) and for
// payloads too short to be a reply.
struct ComPortReply {
  uint8_t command = 0;
  std::string value;
};
std::optional<ComPortReply> ReadComPortReply(const std::string& payload);

// The value a reply carries, in words ("parity MARK", "the rate 4800"), for descriptions.
std::string ReplyValueText(uint8_t command, const std::string& value);

}  // namespace kivocom
