// SPDX-License-Identifier: MIT
// Building COM-port requests and reading the server's replies.
#include "platform/network/com_port_option.h"

#include "platform/network/telnet_options.h"
#include "platform/network/telnet_reader.h"

namespace kivocom {
namespace {

std::string Byte(uint8_t value) { return std::string(1, static_cast<char>(value)); }

std::string BigEndian32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

uint32_t ReadBigEndian32(const std::string& bytes) {
  uint32_t value = 0;
  for (const char c : bytes) value = (value << 8) | static_cast<uint8_t>(c);
  return value;
}

uint8_t ParityCode(char parity) {
  switch (parity) {
    case 'O': return 2;
    case 'E': return 3;
    case 'M': return 4;
    case 'S': return 5;
    default: return 1;
  }
}

uint8_t StopCode(StopBits stopBits) {
  switch (stopBits) {
    case StopBits::Two: return 2;
    case StopBits::OneAndHalf: return 3;
    default: return 1;
  }
}

const char* ParityName(uint8_t code) {
  static const char* const names[] = {"(none asked)", "NONE", "ODD", "EVEN", "MARK", "SPACE"};
  return code < 6 ? names[code] : "unknown";
}

const char* StopName(uint8_t code) {
  static const char* const names[] = {"(none asked)", "1", "2", "1.5"};
  return code < 4 ? names[code] : "unknown";
}

}  // namespace

std::vector<ComPortRequest> SettingsRequests(const LineSettings& settings) {
  const uint8_t parity = ParityCode(settings.parity);
  const uint8_t stop = StopCode(settings.stopBits);
  return {
      {comport::kSetBaudRate, BigEndian32(static_cast<uint32_t>(settings.baud)),
       "the rate " + std::to_string(settings.baud)},
      {comport::kSetDataSize, Byte(static_cast<uint8_t>(settings.dataBits)),
       std::to_string(settings.dataBits) + " data bits"},
      {comport::kSetParity, Byte(parity), std::string("parity ") + ParityName(parity)},
      {comport::kSetStopSize, Byte(stop), std::string(StopName(stop)) + " stop bits"},
      {comport::kSetControl, Byte(comport::kControlNoFlow), "no flow control"},
  };
}

ComPortRequest ModemLineRequest(const std::string& line, bool on) {
  const bool dtr = line == "DTR";
  const uint8_t value = dtr ? (on ? comport::kControlDtrOn : comport::kControlDtrOff)
                            : (on ? comport::kControlRtsOn : comport::kControlRtsOff);
  return {comport::kSetControl, Byte(value), line + (on ? " on" : " off")};
}

ComPortRequest PurgeRequest(uint8_t buffer) {
  const char* what = buffer == comport::kPurgeReceive    ? "a receive purge"
                     : buffer == comport::kPurgeTransmit ? "a transmit purge"
                                                         : "a purge of both buffers";
  return {comport::kPurgeData, Byte(buffer), what};
}

std::string ComPortBytes(const ComPortRequest& request) {
  return Byte(telnet::kIac) + Byte(telnet::kSb) + Byte(telnet::kComPort) +
         TelnetEscaped(Byte(request.command) + request.value) + Byte(telnet::kIac) + Byte(telnet::kSe);
}

std::optional<ComPortReply> ReadComPortReply(const std::string& payload) {
  if (payload.size() < 2) return std::nullopt;
  const auto code = static_cast<uint8_t>(payload[0]);
  if (code < comport::kServerOffset) return std::nullopt;
  const auto command = static_cast<uint8_t>(code - comport::kServerOffset);
  const bool reply = (command >= comport::kSetBaudRate && command <= comport::kSetControl) ||
                     command == comport::kPurgeData;
  if (!reply) return std::nullopt;
  return ComPortReply{command, payload.substr(1)};
}

std::string ReplyValueText(uint8_t command, const std::string& value) {
  const uint8_t first = value.empty() ? 0 : static_cast<uint8_t>(value[0]);
  switch (command) {
    case comport::kSetBaudRate: return "the rate " + std::to_string(ReadBigEndian32(value));
    case comport::kSetDataSize: return std::to_string(first) + " data bits";
    case comport::kSetParity: return std::string("parity ") + ParityName(first);
    case comport::kSetStopSize: return std::string(StopName(first)) + " stop bits";
    default: return "the value " + std::to_string(first);
  }
}

}  // namespace kivocom
