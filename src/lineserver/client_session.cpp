// SPDX-License-Identifier: MIT
#include "lineserver/client_session.h"

#include "kivocom/version.h"
#include "platform/network/com_port_answer.h"

namespace kivocom {

ClientSession::ClientSession(ESmartSwitchStyle switchModel, LineSettings inForce, std::size_t longestCommand)
    : switch_(switchModel), inForce_(inForce), longestCommand_(longestCommand) {}

// A Telnet client opens with a negotiation, so its first byte is IAC; any other first byte makes
// a plain TCP client, whose bytes then travel as they are, 0xFF included.
ClientSession::Heard ClientSession::Feed(std::string_view bytes) {
  Heard heard;
  if (bytes.empty()) return heard;
  if (kind_ == Kind::Unknown) {
    kind_ = static_cast<uint8_t>(bytes[0]) == telnet::kIac ? Kind::Telnet : Kind::Plain;
    if (kind_ == Kind::Telnet) heard.answer = options_.Opening();
  }
  if (kind_ == Kind::Plain) {
    TakeData(std::string(bytes), heard);
    return heard;
  }
  std::string data;
  std::vector<TelnetCommand> commands;
  reader_.Feed(bytes, data, commands);
  for (const TelnetCommand& command : commands) TakeTelnetCommand(command, heard);
  TakeData(data, heard);
  return heard;
}

std::string ClientSession::ToClient(std::string_view lineBytes) const {
  return kind_ == Kind::Telnet ? TelnetEscaped(lineBytes) : std::string(lineBytes);
}

void ClientSession::TakeData(const std::string& data, Heard& heard) {
  heard.rawData += data;
  for (const char byte : data) {
    for (const char passed : switch_.Feed(byte).passOn) {
      ++pending_;
      if (auto command = assembler_.Feed(passed)) {
        pending_ = 0;
        if (!command->empty()) heard.commands.push_back(std::move(*command));
      } else if (pending_ > longestCommand_) {
        heard.refusal = "a command longer than " + std::to_string(longestCommand_) + " bytes";
        return;
      }
    }
  }
}

void ClientSession::TakeTelnetCommand(const TelnetCommand& command, Heard& heard) {
  if (command.verb != telnet::kSb) {
    heard.answer += options_.Answer(command.verb, command.option);
    return;
  }
  if (command.option != telnet::kComPort) return;
  const ComPortAnswer answer = AnswerComPortRequest(command.payload, inForce_, std::string("kivocom ") + Version());
  heard.answer += answer.bytes;
  if (!answer.refused.empty()) heard.notes.push_back("asked for " + answer.refused + "; told the settings in force");
  if (answer.action == ComPortAction::PurgeTransmit || answer.action == ComPortAction::PurgeBoth) {
    assembler_.Reset();
    pending_ = 0;
    heard.purgeCommands = true;
  }
}

}  // namespace kivocom
