// SPDX-License-Identifier: MIT
// A serial line and its smart switch shared over the network, one whole exchange at a time.
//
// Every switch port (or the port itself, with no switch) gets an endpoint: the first at
// `firstPort`, the next ones above it in the switch's port order, and one more above the last
// that hands the whole line to one client alone. Each endpoint speaks RFC 2217 and plain TCP (a
// client whose first byte is not a Telnet IAC is a plain one). A command a client sends, framed
// by the port's controller style, is queued; when the line is free the server routes the switch
// to the client's port, sends it through the port object and streams the reply to that client
// only, until the reply ends by its rule: the first LF (ACK or NAK for a CS_OMEGA set), the time
// of silence of a download, or the port's time-out.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kivocom/comport.h"

namespace kivocom {

struct ServeSettings {
  std::string host = "127.0.0.1";       // where the endpoints listen (loopback unless told)
  int firstPort = 7000;                 // the first endpoint's TCP port
  ESmartSwitchStyle switchModel = SSS_BB4PORT;  // the port's switch, when it uses one
  std::vector<std::string> switchPorts; // in the switch's order; empty: no switch, one endpoint
  std::vector<std::string> downloads;   // commands whose reply is a download (ends at silence)
  std::size_t mostClients = 16;         // connections beyond are refused
  std::size_t longestCommand = 256;     // a longer command refuses its client
  std::size_t mostWaitingCommands = 4;  // per client; more are dropped
};

// Receives one line per event (connections, refusals, losses), without a line end.
using ServeLog = std::function<void(const std::string&)>;
// Makes the served port on the server's line thread, which then owns it.
using PortMaker = std::function<std::unique_ptr<CCOMPort>()>;

class LineServer {
 public:
  LineServer(PortMaker makePort, ServeSettings settings, ServeLog log);
  ~LineServer();
  LineServer(const LineServer&) = delete;
  LineServer& operator=(const LineServer&) = delete;

  // Makes the port, binds every endpoint and starts serving. Raises Error (8012) naming the
  // endpoint that cannot be bound, or the port maker's error.
  void Start();
  // Closes every connection (clients see the close), lets the exchange under way end, releases the
  // switch and closes the line. Also done on destruction.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kivocom
