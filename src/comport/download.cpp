// SPDX-License-Identifier: MIT
// Bulk download: send the command that starts the transfer, gather the characters in pieces of
// about a second behind a progress window the user can cancel, and end at silence.
#include <algorithm>
#include <memory>
#include <optional>

#include "comport/command_frame.h"
#include "comport/continue_on_error.h"
#include "comport/download_counting.h"
#include "comport/echo_filter.h"
#include "comport/line_loss.h"
#include "comport/opening_failure.h"
#include "kivocom/clock.h"
#include "kivocom/comport.h"
#include "kivocom/progress_window.h"
#include "kivocom/serial_control.h"
#include "kivocom/support.h"

namespace kivocom {
namespace {

constexpr int32_t kGatherWaitMs = 1000;
// How often the silence wait lets the client's messages run.
constexpr int64_t kPumpIntervalMs = 10;
constexpr int32_t kProgressStyle = -2;

enum class AttemptEnd { Complete, Retry, TimedOut, Cancelled, Lost, Flooded };
enum class Piece { Taken, None, Cancelled, Lost, Flooded };

// One call of Download: its attempts, the data of the current attempt and the progress window.
class DownloadSession {
 public:
  DownloadSession(CCOMPort& port, bool binaryMode, int32_t readings, std::string sentLine)
      : port_(port), line_(port.COMControl()), binaryMode_(binaryMode), readings_(readings),
        sentLine_(std::move(sentLine)) {}

  ~DownloadSession() {
    if (window_) IgnoringErrors([&] { window_->CloseWindow(); });
  }

  // Runs attempts until data was followed by silence, the retries are spent, the user cancels,
  // the line is lost, the far end sends too much, or the port is not ready or cannot be opened.
  // The command's result lands in `errorcode`: a lost line or too much data, like a cancel, gives
  // CE_ABORTED with the data received so far; a port that cannot be opened gives CE_TIMEOUT at
  // once, since waiting out the attempts would only report the same failure later.
  void Run(ECOMError& errorcode, const std::string& cmd, const std::string& ssport, const std::string& address) {
    for (int16_t attempt = 1;; ++attempt) {
      std::optional<ErrorRecord> sendFailure;
      ContinueOnError(sendFailure, [&] { port_.WritePort(errorcode, cmd, ssport, address, ""); });
      if (errorcode != CE_NONE) return;
      if (sendFailure && sendFailure->number == kErrCannotOpenPort) {
        failure_ = OpeningFailure(*sendFailure);
        errorcode = CE_TIMEOUT;
        return;
      }
      StartAttempt();
      switch (Gather(attempt)) {
        case AttemptEnd::Retry: continue;
        case AttemptEnd::TimedOut: errorcode = CE_TIMEOUT; return;
        case AttemptEnd::Cancelled: errorcode = CE_ABORTED; return;
        case AttemptEnd::Lost: errorcode = CE_ABORTED; return;
        case AttemptEnd::Flooded: errorcode = CE_ABORTED; return;
        case AttemptEnd::Complete: return Completed(errorcode, attempt);
      }
    }
  }

  const std::string& Data() const { return data_; }
  // Why the download did not end as usual, if it did not: see CCOMPort::LineError.
  const std::optional<ErrorRecord>& Failure() const { return failure_; }

 private:
  // Data that began only after a resend may answer the first sending as well as the last: an
  // instrument slower to start than TimeOut then sends its block twice. The data is kept, but not
  // as a plain success.
  void Completed(ECOMError& errorcode, int16_t attempt) {
    if (attempt == 1) return;
    errorcode = CE_INVALID_DATA;
    failure_ = ErrorRecord{kErrDataAfterResend, "CCOMPort - Download",
                           "COM" + std::to_string(line_.CommPort()) + " began sending only after the command was sent " +
                               "again (attempt " + std::to_string(attempt) + " of " +
                               std::to_string(port_.Retries()) +
                               "), so the data may hold its answers to more than one sending. A TimeOut longer than " +
                               "the instrument takes to start answering avoids this.",
                           "", 0};
  }

  void StartAttempt() {
    lastActivity_ = ThreadClock().NowMs();
    data_.clear();
    echo_ = EchoFilter(sentLine_);
    readingsSoFar_ = 0;
    if (!windowMade_) OpenWindow();
  }

  // A window that cannot be made leaves the download without one; it never reads as a cancel.
  void OpenWindow() {
    windowMade_ = true;
    IgnoringErrors([&] { window_ = CreateProgressWindow(); });
    if (!window_) return;
    IgnoringErrors([&] { window_->SetMessage(LoadResString(107), 0, 0); });
    IgnoringErrors([&] { window_->SetVisible(true); });
    IgnoringErrors([&] { window_->ReportProgress(readings_, 0, kProgressStyle); });
  }

  AttemptEnd Gather(int16_t attempt) {
    Clock& clock = ThreadClock();
    for (;;) {
      int32_t waiting = 0;
      bool failed = false;
      if ((failure_ = LossDuring([&] { waiting = line_.InBufferCount(); }, &failed))) return LineLost();
      if (waiting != 0) {
        const Piece piece = TakePiece();
        if (piece == Piece::Cancelled) return AttemptEnd::Cancelled;
        if (piece == Piece::Lost) return LineLost();
        if (piece == Piece::Flooded) return AttemptEnd::Flooded;
        if (piece == Piece::Taken) continue;
      }
      const int64_t silent = clock.NowMs() - lastActivity_;
      if (silent > port_.TimeOut()) {
        data_ += echo_.Release();
        if (!data_.empty()) return AttemptEnd::Complete;
        if (attempt < port_.Retries()) return AttemptEnd::Retry;
        return AttemptEnd::TimedOut;
      }
      ProcessMessages();
      const int64_t wait = std::min<int64_t>(port_.TimeOut() - silent + 1, kPumpIntervalMs);
      if (failed)
        clock.Sleep(wait);
      else if (!WaitForInput(wait))
        return LineLost();
    }
  }

  // The data so far stays the caller's; the trace names the loss.
  AttemptEnd LineLost() {
    data_ += echo_.Release();
    IgnoringErrors([&] {
      if (port_.Debugging())
        port_.UpdateDebugFile("Line lost on COM port " + std::to_string(line_.CommPort()) + " after " +
                              std::to_string(data_.size()) + " bytes: " + failure_->description);
    });
    return AttemptEnd::Lost;
  }

  // Gathers about a second of traffic, counts it and reports it. A control that reported
  // characters but hands none over has given no piece: the silence rule goes on counting from
  // the last real one.
  Piece TakePiece() {
    IgnoringErrors([&] { WaitMilliseconds(kGatherWaitMs); });
    std::string piece;
    if ((failure_ = LossDuring([&] { piece = line_.Input(); }))) return Piece::Lost;
    if (piece.empty()) return Piece::None;
    data_ += echo_.Pass(piece);
    if (data_.size() > CCOMPort::kMaxDownloadBytes) return Flooded();
    readingsSoFar_ = binaryMode_ ? BinaryReadingsIn(data_.size()) : readingsSoFar_ + TextReadingsIn(piece);
    ProcessMessages();
    if (!ReportProgress()) {
      IgnoringErrors([&] { ShowInfoMessage(LoadResString(108), kMessageTitle, "", 0); });
      return Piece::Cancelled;
    }
    lastActivity_ = ThreadClock().NowMs();
    return Piece::Taken;
  }

  // A far end that never falls silent would otherwise grow the data without end: the download
  // stops past its bound and keeps what it took.
  Piece Flooded() {
    failure_ = ErrorRecord{kErrTooMuchData, "CCOMPort - Download",
                           "COM" + std::to_string(line_.CommPort()) + " sent more than " +
                               std::to_string(CCOMPort::kMaxDownloadBytes) +
                               " bytes, the most a download holds; the download stopped there.",
                           "", 0};
    IgnoringErrors([&] {
      if (port_.Debugging()) port_.UpdateDebugFile(failure_->description);
    });
    return Piece::Flooded;
  }

  // The client's handlers run here; whatever they raise is theirs and does not end the download.
  static void ProcessMessages() {
    IgnoringErrors([] { ThreadMessagePump().ProcessPending(); });
  }

  bool ReportProgress() {
    bool goOn = true;
    if (window_) {
      IgnoringErrors([&] { window_->ReportBytes(static_cast<int64_t>(data_.size())); });
      IgnoringErrors([&] { goOn = window_->ReportProgress(readings_, readingsSoFar_, kProgressStyle); });
    }
    return TakeDownloadCancelRequest() ? false : goOn;
  }

  // A control that cannot wait (its line is not open after a failed send) counts as silent; the
  // time then passes on the clock so that the silence rule still ends the attempt. False when the
  // line was lost.
  bool WaitForInput(int64_t ms) {
    bool failed = false;
    if ((failure_ = LossDuring([&] { line_.WaitForInput(ms); }, &failed))) return false;
    if (failed) ThreadClock().Sleep(ms);
    return true;
  }

  CCOMPort& port_;
  SerialControl& line_;
  const bool binaryMode_;
  const int32_t readings_;
  const std::string sentLine_;
  EchoFilter echo_;
  std::string data_;
  std::optional<ErrorRecord> failure_;
  int32_t readingsSoFar_ = 0;
  int64_t lastActivity_ = 0;
  bool windowMade_ = false;
  std::unique_ptr<ProgressWindow> window_;
};

}  // namespace

std::string CCOMPort::Download(bool BinaryMode, ECOMError& errorcode, const std::string& cmd,
                               const std::string& ssport, const std::string& Address, int32_t readings) {
  const bool savedAutoClose = autoClose_;
  autoClose_ = false;
  errorcode = CE_NONE;
  ClearDownloadCancelRequest();
  lineError_ = {};
  DownloadSession session(*this, BinaryMode, readings, LineText(FrameCommand(controllerStyle_, cmd, Address, "")) + "\r");
  session.Run(errorcode, cmd, ssport, Address);
  if (session.Failure()) lineError_ = *session.Failure();
  autoClose_ = savedAutoClose;
  if (autoClose_) IgnoringErrors([&] { ClosePort(); });
  const std::string result = session.Data();
  IgnoringErrors([&] {
    if (debugging_)
      UpdateDebugFile("Downloaded from COM port " + std::to_string(control_->CommPort()) + ": \r" + result);
  });
  return result;
}

}  // namespace kivocom
