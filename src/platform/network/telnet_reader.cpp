// SPDX-License-Identifier: MIT
// Reading a Telnet stream byte by byte, one state per place a byte can stand.
#include "platform/network/telnet_reader.h"

namespace kivocom {

void TelnetReader::Feed(std::string_view bytes, std::string& data, std::vector<TelnetCommand>& commands) {
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    switch (state_) {
      case State::Data:
        if (byte == telnet::kIac)
          state_ = State::Iac;
        else
          data += c;
        break;
      case State::Iac:
        AfterIac(byte, data);
        break;
      case State::Verb:
        pending_.option = byte;
        commands.push_back(pending_);
        state_ = State::Data;
        break;
      case State::SubOption:
        pending_.option = byte;
        state_ = State::Sub;
        break;
      case State::Sub:
        InSubnegotiation(byte);
        break;
      case State::SubIac:
        AfterSubIac(byte, commands);
        break;
    }
  }
}

// IAC IAC is a data byte 0xFF; the four negotiation verbs take an option byte; SB opens a
// subnegotiation; every other command (NOP, go-ahead, a stray SE) carries nothing for the line.
void TelnetReader::AfterIac(uint8_t byte, std::string& data) {
  state_ = State::Data;
  if (byte == telnet::kIac) {
    data += static_cast<char>(byte);
  } else if (byte == telnet::kSb) {
    pending_ = TelnetCommand{telnet::kSb, 0, {}};
    state_ = State::SubOption;
  } else if (byte >= telnet::kWill) {
    pending_ = TelnetCommand{byte, 0, {}};
    state_ = State::Verb;
  }
}

void TelnetReader::InSubnegotiation(uint8_t byte) {
  if (byte == telnet::kIac)
    state_ = State::SubIac;
  else if (pending_.payload.size() < kLongestPayload)
    pending_.payload += static_cast<char>(byte);
}

// Inside a subnegotiation IAC IAC is a payload byte 0xFF and IAC SE ends it. Any other command
// there is a server's mistake: the subnegotiation is dropped and the command read as usual.
void TelnetReader::AfterSubIac(uint8_t byte, std::vector<TelnetCommand>& commands) {
  if (byte == telnet::kIac) {
    if (pending_.payload.size() < kLongestPayload) pending_.payload += static_cast<char>(byte);
    state_ = State::Sub;
  } else if (byte == telnet::kSe) {
    commands.push_back(pending_);
    state_ = State::Data;
  } else {
    std::string ignored;
    AfterIac(byte, ignored);
  }
}

}  // namespace kivocom
