// SPDX-License-Identifier: MIT
// Telnet option negotiation: a two-state machine per option and side, with "asked" for requests
// this side sent and the server has not yet answered.
#include "platform/network/telnet_options.h"

#include "platform/network/telnet_reader.h"

namespace kivocom {

// The client performs the COM-port option (it controls the port); the server accepts it.
bool TelnetOptions::WeOffer(uint8_t option) const {
  return (option == telnet::kComPort && side_ == Side::Client) || option == telnet::kBinary ||
         option == telnet::kSuppressGoAhead;
}

bool TelnetOptions::WeAccept(uint8_t option) const {
  return (option == telnet::kComPort && side_ == Side::Server) || option == telnet::kBinary ||
         option == telnet::kSuppressGoAhead;
}

std::string TelnetCommandBytes(uint8_t verb, uint8_t option) {
  return {static_cast<char>(telnet::kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string TelnetEscaped(std::string_view data) {
  std::string escaped;
  escaped.reserve(data.size());
  for (const char c : data) {
    escaped += c;
    if (static_cast<uint8_t>(c) == telnet::kIac) escaped += c;
  }
  return escaped;
}

std::string TelnetOptions::Opening() {
  std::string bytes;
  for (const uint8_t option : {telnet::kComPort, telnet::kBinary, telnet::kSuppressGoAhead}) {
    if (!WeOffer(option)) continue;
    ours_[option] = State::Asked;
    bytes += TelnetCommandBytes(telnet::kWill, option);
  }
  for (const uint8_t option : {telnet::kComPort, telnet::kBinary, telnet::kSuppressGoAhead}) {
    if (!WeAccept(option)) continue;
    theirs_[option] = State::Asked;
    bytes += TelnetCommandBytes(telnet::kDo, option);
  }
  return bytes;
}

std::string TelnetOptions::Answer(uint8_t verb, uint8_t option) {
  switch (verb) {
    case telnet::kDo:
      return OnRequestToEnable(ours_, option, WeOffer(option), telnet::kWill, telnet::kWont);
    case telnet::kDont:
      if (option == telnet::kComPort) comPortRefused_ = true;
      return OnRequestToDisable(ours_, option, telnet::kWont);
    case telnet::kWill:
      return OnRequestToEnable(theirs_, option, WeAccept(option), telnet::kDo, telnet::kDont);
    case telnet::kWont:
      return OnRequestToDisable(theirs_, option, telnet::kDont);
    default:
      return {};
  }
}

// Agreement to an option this side asked for, or one already on, needs no answer. A wanted
// option is turned on and agreed to; an unwanted one is refused each time it is asked for.
std::string TelnetOptions::OnRequestToEnable(std::map<uint8_t, State>& side, uint8_t option, bool wanted,
                                             uint8_t yes, uint8_t no) {
  State& state = side[option];
  if (!wanted) {
    state = State::No;
    return TelnetCommandBytes(no, option);
  }
  const bool answer = state == State::No;
  state = State::Yes;
  return answer ? TelnetCommandBytes(yes, option) : std::string();
}

// A refusal of this side's request, or of an option already off, needs no answer; turning off an
// option that was on is acknowledged.
std::string TelnetOptions::OnRequestToDisable(std::map<uint8_t, State>& side, uint8_t option, uint8_t no) {
  State& state = side[option];
  const bool answer = state == State::Yes;
  state = State::No;
  return answer ? TelnetCommandBytes(no, option) : std::string();
}

bool TelnetOptions::ComPortAccepted() const {
  const auto& side = side_ == Side::Client ? ours_ : theirs_;
  const auto it = side.find(telnet::kComPort);
  return it != side.end() && it->second == State::Yes;
}

bool TelnetOptions::ComPortRefused() const { return comPortRefused_; }

}  // namespace kivocom
