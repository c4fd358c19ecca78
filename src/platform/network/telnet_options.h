// SPDX-License-Identifier: MIT
// Telnet option negotiation for a serial line shared over the network. The client side offers the
// COM-port control option, the server side asks for it; both want binary transmission both ways
// and suppress-go-ahead, and refuse everything else (echo above all, which would send the
// instrument's own bytes back to it).
// Every answer follows the rule that an option already in the asked state is not acknowledged
// again, so two sides never loop on each other.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace kivocom {

class TelnetOptions {
 public:
  enum class Side { Client, Server };
  explicit TelnetOptions(Side side = Side::Client) : side_(side) {}

  // The requests this side opens with: WILL (client) or DO (server) COM-PORT-OPTION, WILL and DO
  // BINARY, WILL and DO SUPPRESS-GO-AHEAD. They are marked as asked, so the other side's
  // agreement is not answered.
  std::string Opening();
  // The answer to the other side's WILL, WONT, DO or DONT for `option`; empty when none is due.
  std::string Answer(uint8_t verb, uint8_t option);
  // True once the other side agreed that the client controls the server's port.
  bool ComPortAccepted() const;
  // True once the server refused (DONT) the COM-port control option.
  bool ComPortRefused() const;

 private:
  enum class State { No, Yes, Asked };
  bool WeOffer(uint8_t option) const;
  bool WeAccept(uint8_t option) const;
  std::string OnRequestToEnable(std::map<uint8_t, State>& side, uint8_t option, bool wanted, uint8_t yes,
                                uint8_t no);
  std::string OnRequestToDisable(std::map<uint8_t, State>& side, uint8_t option, uint8_t no);

  std::map<uint8_t, State> ours_;    // options this side performs (answered with WILL/WONT)
  std::map<uint8_t, State> theirs_;  // options the server performs (answered with DO/DONT)
  bool comPortRefused_ = false;
  Side side_;
};

// IAC `verb` `option`.
std::string TelnetCommandBytes(uint8_t verb, uint8_t option);
// `data` with every 0xFF doubled, as Telnet carries it.
std::string TelnetEscaped(std::string_view data);

}  // namespace kivocom
