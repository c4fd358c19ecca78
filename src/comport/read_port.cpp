// SPDX-License-Identifier: MIT
// One command and reply exchange: send, collect the reply until it is complete, retry silent
// attempts, check and filter the reply.
#include <algorithm>
#include <optional>

#include "comport/command_frame.h"
#include "comport/continue_on_error.h"
#include "comport/echo_filter.h"
#include "comport/line_ends.h"
#include "comport/line_loss.h"
#include "comport/opening_failure.h"
#include "kivocom/clock.h"
#include "kivocom/comport.h"
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {

enum class AttemptEnd { Complete, Retry, TimedOut, Lost, Flooded };
enum class Take { Received, Silent, Failed, Lost };

// How long a pass rests when the control fails to tell or hand over its characters, so that such
// a control costs no more than a check every few milliseconds until the time-out.
constexpr int64_t kFailedTakeRestMs = 5;

// The attempts of one ReadPort call and the reply of the current attempt.
class ReplyExchange {
 public:
  ReplyExchange(CCOMPort& port, std::string sentLine)
      : port_(port), line_(port.COMControl()), clock_(ThreadClock()), sentLine_(std::move(sentLine)) {}

  // Sends the command and collects replies until one is complete or the attempts are spent;
  // false when the port was not ready (`errorcode` then says CE_ABORTED).
  bool Run(ECOMError& errorcode, const std::string& cmd, const std::string& ssport, const std::string& address) {
    for (attempt_ = 1;; ++attempt_) {
      if (!Send(errorcode, cmd, ssport, address)) {
        errorcode = CE_TIMEOUT;
        return true;
      }
      if (errorcode != CE_NONE) return false;
      reply_.clear();
      checkedUpTo_ = 0;
      echo_ = EchoFilter(sentLine_);
      const AttemptEnd end = Collect(clock_.NowMs());
      if (end == AttemptEnd::Complete) return true;
      if (end == AttemptEnd::Retry || (end == AttemptEnd::Lost && MayComeBack(*failure_) && attempt_ < port_.Retries()))
        continue;
      errorcode = CE_TIMEOUT;
      return true;
    }
  }

  std::string& Reply() { return reply_; }
  // Why the exchange ended early, if it did: the port could not be opened, the line was lost and
  // did not come back, or the far end sent too much.
  const std::optional<ErrorRecord>& Failure() const { return failure_; }

 private:
  // Sends through WritePort, whose errors the exchange does not pass on, except a port that cannot
  // be opened: waiting out every attempt would only report the same failure later, so it ends the
  // call at once (false). After the line was lost any failed send means the device is gone; the
  // reply keeps what the lost attempt had received.
  bool Send(ECOMError& errorcode, const std::string& cmd, const std::string& ssport, const std::string& address) {
    std::optional<ErrorRecord> failure;
    ContinueOnError(failure, [&] { port_.WritePort(errorcode, cmd, ssport, address, ""); });
    const bool afterLoss = failure_.has_value();
    failure_.reset();
    if (!failure || (!afterLoss && failure->number != kErrCannotOpenPort)) return true;
    const std::string com = "COM" + std::to_string(line_.CommPort());
    failure_ = OpeningFailure(*failure, afterLoss ? com + " went away during the exchange and cannot be opened again" : "");
    Trace(failure_->description);
    return false;
  }

  // An LF completes the reply at once; after the time-out, a reply holding a CR is complete too.
  // The time-out counts from the attempt's start and is checked on every pass, so characters that
  // keep arriving without an LF cannot hold the attempt open. A lost line ends the attempt at once.
  AttemptEnd Collect(int64_t attemptStart) {
    for (;;) {
      const Take take = TakeWaitingInput();
      if (take == Take::Lost) return LineLost();
      if (reply_.size() > CCOMPort::kMaxReplyBytes) return Flooded();
      if (take == Take::Received && reply_.find('\n', checkedUpTo_) != std::string::npos) return Completed();
      checkedUpTo_ = reply_.size();
      const int64_t elapsed = clock_.NowMs() - attemptStart;
      if (elapsed > port_.TimeOut()) {
        reply_ += echo_.Release();
        if (reply_.find('\r') != std::string::npos) return Completed();
        if (attempt_ < port_.Retries()) {
          Trace("Timeout on COM port " + std::to_string(line_.CommPort()) + " (attempt " + std::to_string(attempt_) + ")");
          return AttemptEnd::Retry;
        }
        return AttemptEnd::TimedOut;
      }
      const int64_t remaining = port_.TimeOut() - elapsed + 1;
      if (take == Take::Silent && !WaitForInput(remaining)) return LineLost();
      if (take == Take::Failed) clock_.Sleep(std::min(remaining, kFailedTakeRestMs));
    }
  }

  // Appends the waiting characters to the reply. A control that fails to tell how many wait, or
  // reports characters but fails to hand them over, has given nothing: the pass rests, then goes
  // on to the time-out check.
  Take TakeWaitingInput() {
    int32_t waiting = 0;
    bool failed = false;
    if ((failure_ = LossDuring([&] { waiting = line_.InBufferCount(); }, &failed))) return Take::Lost;
    if (failed) return Take::Failed;
    if (waiting == 0) return Take::Silent;
    std::string piece;
    if ((failure_ = LossDuring([&] { piece = line_.Input(); }))) return Take::Lost;
    reply_ += echo_.Pass(piece);
    return piece.empty() ? Take::Failed : Take::Received;
  }

  AttemptEnd Completed() {
    reply_ = TrimBlanks(reply_);
    return AttemptEnd::Complete;
  }

  AttemptEnd LineLost() {
    reply_ += echo_.Release();
    Trace("Line lost on COM port " + std::to_string(line_.CommPort()) + " (attempt " + std::to_string(attempt_) +
          "): " + failure_->description);
    return AttemptEnd::Lost;
  }

  // A far end that keeps sending without ending its reply (a wrong baud rate, a device that
  // streams) would otherwise fill memory until the time-out: the call ends with what the bound
  // holds.
  AttemptEnd Flooded() {
    reply_.resize(CCOMPort::kMaxReplyBytes);
    failure_ = ErrorRecord{kErrTooMuchData, "CCOMPort - ReadPort",
                           "COM" + std::to_string(line_.CommPort()) + " sent more than " +
                               std::to_string(CCOMPort::kMaxReplyBytes) +
                               " bytes without ending its reply: the line floods (a wrong baud rate, or a device "
                               "that streams).",
                           "", 0};
    Trace(failure_->description);
    return AttemptEnd::Flooded;
  }

  void Trace(const std::string& text) {
    IgnoringErrors([&] {
      if (port_.Debugging()) port_.UpdateDebugFile(text);
    });
  }

  // Blocks until input may be waiting or `ms` have passed; false when the line was lost. A control
  // that cannot wait for another reason (its line is not open after a failed send) counts as
  // silent, and the time passes on the clock instead, so the attempt still ends by its time-out
  // without spinning.
  bool WaitForInput(int64_t ms) {
    bool failed = false;
    if ((failure_ = LossDuring([&] { line_.WaitForInput(ms); }, &failed))) return false;
    if (failed) clock_.Sleep(ms);
    return true;
  }

  CCOMPort& port_;
  SerialControl& line_;
  Clock& clock_;
  const std::string sentLine_;
  EchoFilter echo_;
  int16_t attempt_ = 0;
  std::string reply_;
  std::size_t checkedUpTo_ = 0;  // the reply before here holds no LF
  std::optional<ErrorRecord> failure_;
};

}  // namespace

std::string CCOMPort::ReadPort(ECOMError& errorcode, const std::string& cmd, const std::string& ssport,
                               const std::string& Address) {
  const bool savedAutoClose = autoClose_;
  autoClose_ = false;
  errorcode = CE_NONE;
  lineError_ = {};
  ReplyExchange exchange(*this, LineText(FrameCommand(controllerStyle_, cmd, Address, "")) + "\r");
  std::string& reply = exchange.Reply();
  const bool sent = exchange.Run(errorcode, cmd, ssport, Address);
  if (exchange.Failure()) lineError_ = *exchange.Failure();
  if (sent) {
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
