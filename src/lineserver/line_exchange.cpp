// SPDX-License-Identifier: MIT
// The send is the port object's own WritePort (framing, switch routing, the lone CR, clearing);
// the reply is read straight from its serial control so that it can be streamed to the client.
#include "lineserver/line_exchange.h"

#include <algorithm>

#include "kivocom/clock.h"
#include "kivocom/error.h"
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {

constexpr char kAck = 0x06, kNak = 0x15;
// How long a wait lasts at most, so that a stop request is seen promptly.
constexpr int64_t kLongestWaitMs = 50;
constexpr int64_t kPassThroughPollMs = 2;

bool Ends(ReplyKind kind, std::string_view piece) {
  if (kind == ReplyKind::Reply) return piece.find('\n') != std::string_view::npos;
  if (kind == ReplyKind::Acknowledgement) return piece.find_first_of(std::string{'\n', kAck, kNak}) != std::string_view::npos;
  return false;
}

// A reply's time-out counts from the send, a download's from the last piece; a download is
// complete at silence only after data came, but one that never starts ends at the time-out too,
// since the client's retry is a new command.
ExchangeEnd Collect(CCOMPort& port, ReplyKind kind, const std::function<void(std::string_view)>& deliver,
                    const std::atomic<bool>& stopping) {
  SerialControl& line = port.COMControl();
  Clock& clock = ThreadClock();
  int64_t since = clock.NowMs();
  while (!stopping) {
    if (line.InBufferCount() > 0) {
      const std::string piece = line.Input();
      deliver(piece);
      if (Ends(kind, piece)) return ExchangeEnd::Complete;
      if (kind == ReplyKind::Download) since = clock.NowMs();
      continue;
    }
    const int64_t left = port.TimeOut() - (clock.NowMs() - since);
    if (left < 0) return ExchangeEnd::Complete;
    line.WaitForInput(std::min(left + 1, kLongestWaitMs));
  }
  return ExchangeEnd::Stopped;
}

// A failed line is closed (through the port, which releases the switch when it can), so that the
// next exchange opens it again.
ExchangeEnd Lost(CCOMPort& port, std::string& loss, std::string reason) {
  loss = std::move(reason);
  try {
    port.ClosePort();
  } catch (const std::exception&) {
    try {
      port.COMControl().PortOpen(false);
    } catch (const std::exception&) {
    }
  }
  return ExchangeEnd::LineLost;
}

}  // namespace

ExchangeEnd RunExchange(CCOMPort& port, const FramedCommand& command, const std::string& switchPort, ReplyKind kind,
                        const std::function<void(std::string_view)>& deliver, const std::atomic<bool>& stopping,
                        std::string& loss) {
  try {
    ECOMError outcome = CE_NONE;
    port.WritePort(outcome, command.cmd, switchPort, command.address, command.setStr);
    if (outcome != CE_NONE) return Lost(port, loss, "no port chosen");
    return Collect(port, kind, deliver, stopping);
  } catch (const std::exception& e) {
    return Lost(port, loss, e.what());
  }
}

ExchangeEnd PassThrough(CCOMPort& port, const std::function<std::string()>& takeFromClient,
                        const std::function<void(std::string_view)>& deliver, const std::function<bool()>& leaving,
                        const std::atomic<bool>& stopping, std::string& loss) {
  try {
    port.ClosePort();
    if (!port.OpenPort()) return Lost(port, loss, "no port chosen");
    SerialControl& line = port.COMControl();
    while (!stopping && !leaving()) {
      if (const std::string bytes = takeFromClient(); !bytes.empty()) line.Output(bytes);
      if (line.InBufferCount() > 0) deliver(line.Input());
      line.WaitForInput(kPassThroughPollMs);
    }
    return stopping ? ExchangeEnd::Stopped : ExchangeEnd::Complete;
  } catch (const std::exception& e) {
    return Lost(port, loss, e.what());
  }
}

}  // namespace kivocom
