// SPDX-License-Identifier: MIT
// One whole exchange on the shared line for one client: route the switch, send the command as the
// port frames it, and hand the reply to that client as it arrives until the reply is complete.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "kivocom/comport.h"
#include "lineserver/framed_command.h"

namespace kivocom {

enum class ReplyKind {
  Reply,        // ends at the first LF, or at the time-out
  Acknowledgement,  // a CS_OMEGA set: ends at ACK, NAK or LF, or at the time-out
  Download      // ends when the line has been silent for the time-out after data came
};

enum class ExchangeEnd {
  Complete,  // the reply ended by its rule (or the time-out passed; the client judges what came)
  LineLost,  // the line failed or went away; the port is closed again
  Stopped    // the server is stopping
};

// Runs one exchange on `port` (left open and routed afterwards). `deliver` gets the reply's bytes
// piece by piece; `stopping` ends the wait early. A lost line's reason lands in `loss`.
ExchangeEnd RunExchange(CCOMPort& port, const FramedCommand& command, const std::string& switchPort, ReplyKind kind,
                        const std::function<void(std::string_view)>& deliver, const std::atomic<bool>& stopping,
                        std::string& loss);

// The line handed to one client alone: its bytes go to the line as they are, the line's bytes to
// it, until `leaving` (polled) says it left.
ExchangeEnd PassThrough(CCOMPort& port, const std::function<std::string()>& takeFromClient,
                        const std::function<void(std::string_view)>& deliver, const std::function<bool()>& leaving,
                        const std::atomic<bool>& stopping, std::string& loss);

}  // namespace kivocom
