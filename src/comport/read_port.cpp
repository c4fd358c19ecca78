// One command and reply exchange: send, collect the reply until it is complete, retry silent
// attempts, check and filter the reply.
#include "comport/continue_on_error.h"
#include "comport/line_ends.h"
#include "kivocom/clock.h"
#include "kivocom/comport.h"
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {

enum class AttemptEnd { Complete, Retry, TimedOut };

// Blocks until input may be waiting or `ms` have passed. A control that cannot wait (its line is
// not open after a failed send) is treated as silent, and the time passes on the clock instead,
// so the attempt still ends by its time-out without spinning.
void WaitForReplyInput(SerialControl& control, int64_t ms) {
  bool waited = false;
  IgnoringErrors([&] {
    control.WaitForInput(ms);
    waited = true;
  });
  if (!waited) ThreadClock().Sleep(ms);
}

}  // namespace

std::string CCOMPort::ReadPort(ECOMError& errorcode, const std::string& cmd, const std::string& ssport,
                               const std::string& Address) {
  std::string reply;
  const bool savedAutoClose = autoClose_;
  autoClose_ = false;
  errorcode = CE_NONE;
  Clock& clock = ThreadClock();
  int16_t attempt = 0;

  auto collect = [&](int64_t attemptStart) {
    for (;;) {
      int32_t waiting = 0;
      IgnoringErrors([&] { waiting = control_->InBufferCount(); });
      if (waiting != 0) {
        IgnoringErrors([&] { reply += control_->Input(); });
        if (reply.find('\n') != std::string::npos) {
          reply = TrimBlanks(reply);
          return AttemptEnd::Complete;
        }
        continue;
      }
      const int64_t elapsed = clock.NowMs() - attemptStart;
      if (elapsed > timeOut_) {
        if (reply.find('\r') != std::string::npos) {
          reply = TrimBlanks(reply);
          return AttemptEnd::Complete;
        }
        if (attempt < retries_) {
          IgnoringErrors([&] {
            if (debugging_)
              UpdateDebugFile("Timeout on COM port " + std::to_string(control_->CommPort()) + " (attempt " +
                              std::to_string(attempt) + ")");
          });
          return AttemptEnd::Retry;
        }
        errorcode = CE_TIMEOUT;
        return AttemptEnd::TimedOut;
      }
      WaitForReplyInput(*control_, timeOut_ - elapsed + 1);
    }
  };

  bool sent = true;
  for (;;) {
    ++attempt;
    reply.clear();
    IgnoringErrors([&] { WritePort(errorcode, cmd, ssport, Address, ""); });
    if (errorcode != CE_NONE) {
      autoClose_ = savedAutoClose;
      sent = false;
      break;
    }
    if (collect(clock.NowMs()) != AttemptEnd::Retry) break;
  }

  if (sent) {
    IgnoringErrors([&] {
      if (debugging_)
        UpdateDebugFile("Received '" + reply + "' (raw) on COM port " + std::to_string(control_->CommPort()));
    });
    if (checkNonAscii_ && HasCharAbove128(reply)) errorcode = CE_INVALID_DATA;
    autoClose_ = savedAutoClose;
    if (autoClose_) IgnoringErrors([&] { ClosePort(); });
    if (stripCRLF_) reply = StripLineEnds(reply);
  }
  IgnoringErrors([&] {
    if (debugging_)
      UpdateDebugFile("Received '" + reply + "' (filtered) on COM port " + std::to_string(control_->CommPort()));
  });
  return reply;
}

}  // namespace kivocom
