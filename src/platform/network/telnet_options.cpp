// SPDX-License-Identifier: MIT
// Telnet option negotiation: a two-state machine per option and side, with "asked" for requests
// this side sent and the server has not yet answered.
#include "platform/network/telnet_options.h"

#include "platform/network/telnet_reader.h"

namespace kivocom {
namespace {

bool WeOffer(uint8_t option) {
  return option == telnet::kComPort || option == telnet::kBinary || option == telnet::kSuppressGoAhead;
}

bool WeAccept(uint8_t option) { return option == telnet::kBinary || option == telnet::kSuppressGoAhead; }

}  // namespace

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
    ours_[option] = State::Asked;
    bytes += TelnetCommandBytes(telnet::kWill, option);
  }
  for (const uint8_t option : {telnet::kBinary, telnet::kSuppressGoAhead}) {
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
  const auto it = ours_.find(telnet::kComPort);
  return it != ours_.end() && it->second == State::Yes;
}

bool TelnetOptions::ComPortRefused() const { return comPortRefused_; }

}  // namespace kivocom
