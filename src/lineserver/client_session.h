// SPDX-License-Identifier: MIT
// One network client of a shared line, as bytes: tells Telnet (RFC 2217) clients from plain TCP
// ones by their first byte, answers their Telnet negotiation and COM-port requests, and cuts the
// data they send into whole commands as the instruments' controller style frames them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kivocom/enums.h"
#include "platform/line/serial_settings_text.h"
#include "platform/network/telnet_options.h"
#include "platform/network/telnet_reader.h"
#include "instruments/command_assembler.h"
#include "instruments/switch_decoder.h"

namespace kivocom {

class ClientSession {
 public:
  // What one piece of the client's bytes asks of the server.
  struct Heard {
    std::string answer;                 // bytes to send back at once (Telnet answers)
    std::vector<std::string> commands;  // whole commands, as framed, without their final CR
    std::string rawData;                // the data bytes, as they are (for a client that holds the line)
    bool purgeCommands = false;         // the client purged: forget its commands not yet sent
    std::vector<std::string> notes;     // what was refused, for the log
    std::optional<std::string> refusal; // the client must be dropped, and why
  };

  // `switchModel` names the switch whose select and release commands a client may send out of
  // habit; they are taken out, since the endpoint decides the routing. Commands longer than
  // `longestCommand` bytes refuse the client.
  ClientSession(ESmartSwitchStyle switchModel, LineSettings inForce, std::size_t longestCommand);

  Heard Feed(std::string_view bytes);
  // The line's bytes as this client reads them (0xFF doubled for a Telnet client).
  std::string ToClient(std::string_view lineBytes) const;

 private:
  void TakeData(const std::string& data, Heard& heard);
  void TakeTelnetCommand(const TelnetCommand& command, Heard& heard);

  enum class Kind { Unknown, Telnet, Plain };
  Kind kind_ = Kind::Unknown;
  TelnetReader reader_;
  TelnetOptions options_{TelnetOptions::Side::Server};
  SwitchDecoder switch_;
  CommandAssembler assembler_;
  LineSettings inForce_;
  std::size_t longestCommand_;
  std::size_t pending_ = 0;  // bytes of the command being assembled
};

}  // namespace kivocom
