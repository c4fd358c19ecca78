// One command and reply exchange: send, collect the reply until it is complete, retry silent
// attempts, check and filter the reply.
#include <algorithm>

#include "comport/continue_on_error.h"
#include "comport/line_ends.h"
#include "kivocom/clock.h"
#include "kivocom/comport.h"
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {

enum class AttemptEnd { Complete, Retry, TimedOut };
enum class Take { Received, Silent, Failed };

// How long a pass rests when the control reports characters it then fails to hand over, so that
// such a control costs no more than a check every few milliseconds until the time-out.
constexpr int64_t kFailedTakeRestMs = 5;

// The attempts of one ReadPort call and the reply of the current attempt.
class ReplyExchange {
 public:
  explicit ReplyExchange(CCOMPort& port) : port_(port), line_(port.COMControl()), clock_(ThreadClock()) {}

  // Sends the command and collects replies until one is complete or the attempts are spent;
  // false when the port was not ready (`errorcode` then says CE_ABORTED).
  bool Run(ECOMError& errorcode, const std::string& cmd, const std::string& ssport, const std::string& address) {
    for (attempt_ = 1;; ++attempt_) {
      reply_.clear();
      checkedUpTo_ = 0;
      IgnoringErrors([&] { port_.WritePort(errorcode, cmd, ssport, address, ""); });
      if (errorcode != CE_NONE) return false;
      switch (Collect(clock_.NowMs())) {
        case AttemptEnd::Retry: continue;
        case AttemptEnd::TimedOut: errorcode = CE_TIMEOUT; return true;
        case AttemptEnd::Complete: return true;
      }
    }
  }

  std::string& Reply() { return reply_; }

 private:
  // An LF completes the reply at once; after the time-out, a reply holding a CR is complete too.
  // The time-out counts from the attempt's start and is checked on every pass, so characters that
  // keep arriving without an LF cannot hold the attempt open.
  AttemptEnd Collect(int64_t attemptStart) {
    for (;;) {
      const Take take = TakeWaitingInput();
      if (take == Take::Received && reply_.find('\n', checkedUpTo_) != std::string::npos) return Completed();
      checkedUpTo_ = reply_.size();
      const int64_t elapsed = clock_.NowMs() - attemptStart;
      if (elapsed > port_.TimeOut()) {
        if (reply_.find('\r') != std::string::npos) return Completed();
        if (attempt_ < port_.Retries()) {
          TraceTimeout();
          return AttemptEnd::Retry;
        }
        return AttemptEnd::TimedOut;
      }
      const int64_t remaining = port_.TimeOut() - elapsed + 1;
      if (take == Take::Silent) WaitForInput(remaining);
      if (take == Take::Failed) clock_.Sleep(std::min(remaining, kFailedTakeRestMs));
    }
  }

  // Appends the waiting characters to the reply. A control that reports characters but fails
  // to hand them over has given nothing: the pass goes on to the time-out check.
  Take TakeWaitingInput() {
    int32_t waiting = 0;
    IgnoringErrors([&] { waiting = line_.InBufferCount(); });
    if (waiting == 0) return Take::Silent;
    std::string piece;
    IgnoringErrors([&] { piece = line_.Input(); });
    reply_ += piece;
    return piece.empty() ? Take::Failed : Take::Received;
  }

  AttemptEnd Completed() {
    reply_ = TrimBlanks(reply_);
    return AttemptEnd::Complete;
  }

  void TraceTimeout() {
    IgnoringErrors([&] {
      if (port_.Debugging())
        port_.UpdateDebugFile("Timeout on COM port " + std::to_string(line_.CommPort()) + " (attempt " +
                              std::to_string(attempt_) + ")");
    });
  }

  // Blocks until input may be waiting or `ms` have passed. A control that cannot wait (its line
  // is not open after a failed send) counts as silent, and the time passes on the clock instead,
  // so the attempt still ends by its time-out without spinning.
  void WaitForInput(int64_t ms) {
    bool waited = false;
    IgnoringErrors([&] {
      line_.WaitForInput(ms);
      waited = true;
    });
    if (!waited) clock_.Sleep(ms);
  }

  CCOMPort& port_;
  SerialControl& line_;
  Clock& clock_;
  int16_t attempt_ = 0;
  std::string reply_;
  std::size_t checkedUpTo_ = 0;  // the reply before here holds no LF
};

}  // namespace

std::string CCOMPort::ReadPort(ECOMError& errorcode, const std::string& cmd, const std::string& ssport,
                               const std::string& Address) {
  const bool savedAutoClose = autoClose_;
  autoClose_ = false;
  errorcode = CE_NONE;
  ReplyExchange exchange(*this);
  std::string& reply = exchange.Reply();
  if (exchange.Run(errorcode, cmd, ssport, Address)) {
    IgnoringErrors([&] {
      if (debugging_)
        UpdateDebugFile("Received '" + reply + "' (raw) on COM port " + std::to_string(control_->CommPort()));
    });
    if (checkNonAscii_ && HasCharAbove128(reply)) errorcode = CE_INVALID_DATA;
    autoClose_ = savedAutoClose;
    if (autoClose_) IgnoringErrors([&] { ClosePort(); });
    if (stripCRLF_) reply = StripLineEnds(reply);
  } else {
    autoClose_ = savedAutoClose;
  }
  IgnoringErrors([&] {
    if (debugging_)
      UpdateDebugFile("Received '" + reply + "' (filtered) on COM port " + std::to_string(control_->CommPort()));
  });
  return reply;
}

}  // namespace kivocom
