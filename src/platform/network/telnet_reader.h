// SPDX-License-Identifier: MIT
// The receiving half of a Telnet stream: splits what a server sends into the line's data bytes
// and the Telnet commands woven through them. Its state is kept between reads, so a command or a
// doubled 0xFF cut in two by the network is read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivocom {

// The Telnet bytes this library reads and writes.
namespace telnet {
inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kEcho = 1;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPort = 44;
}  // namespace telnet

// One negotiation or subnegotiation the server sent.
struct TelnetCommand {
  uint8_t verb = 0;       // telnet::kWill, kWont, kDo, kDont or kSb
  uint8_t option = 0;     // the option it concerns
  std::string payload;    // for kSb: the bytes after the option, 0xFF undoubled
};

class TelnetReader {
 public:
  // Subnegotiations longer than this are cut: no server option needs more, and a broken or
  // hostile server cannot make the reader grow without bound.
  static constexpr std::size_t kLongestPayload = 256;

  // Reads `bytes`: data bytes are appended to `data`, whole commands to `commands`.
  void Feed(std::string_view bytes, std::string& data, std::vector<TelnetCommand>& commands);

 private:
  enum class State { Data, Iac, Verb, SubOption, Sub, SubIac };
  void AfterIac(uint8_t byte, std::string& data);
  void InSubnegotiation(uint8_t byte);
  void AfterSubIac(uint8_t byte, std::vector<TelnetCommand>& commands);

  State state_ = State::Data;
  TelnetCommand pending_;
};

}  // namespace kivocom
