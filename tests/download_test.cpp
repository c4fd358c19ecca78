// SPDX-License-Identifier: MIT
// Bulk download on the in-memory line with a virtual clock: pieces, counting, the silence rule,
// retries, cancel and the progress window's calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "comport/download_counting.h"
#include "kivocom/kivocom.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

using Calls = std::vector<std::string>;

// Records the window's calls; cancels at the report numbered `cancelAt` (0: never).
class RecordingWindow : public ProgressWindow {
 public:
  RecordingWindow(Calls& calls, int cancelAt) : calls_(calls), cancelAt_(cancelAt) {}
  void SetMessage(const std::string& text, int32_t a, int32_t b) override {
    calls_.push_back("SetMessage(" + text + "," + std::to_string(a) + "," + std::to_string(b) + ")");
  }
  void SetVisible(bool visible) override { calls_.push_back(visible ? "SetVisible(True)" : "SetVisible(False)"); }
  bool ReportProgress(int32_t total, int32_t done, int32_t style) override {
    calls_.push_back("ReportProgress(" + std::to_string(total) + "," + std::to_string(done) + "," +
                     std::to_string(style) + ")");
    return ++reports_ != cancelAt_;
  }
  void CloseWindow() override { calls_.push_back("CloseWindow"); }

 private:
  Calls& calls_;
  int cancelAt_;
  int reports_ = 0;
};

class DownloadTest : public MemoryLineTest {
 protected:
  DownloadTest() {
    port.port(3);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_115200);
    UseWindow(0);
  }
  ~DownloadTest() override { InstallThreadProgressWindowFactory(nullptr); }

  void UseWindow(int cancelAt) {
    InstallThreadProgressWindowFactory([this, cancelAt] { return std::make_unique<RecordingWindow>(window, cancelAt); });
  }
  // The instrument streams `pieces` after each command, the first `firstMs` after it, then one
  // every `gapMs`.
  void StreamOnCommand(Calls pieces, int64_t firstMs = 20, int64_t gapMs = 100) {
    control->OnOutput([this, pieces, firstMs, gapMs](const std::string& sent) {
      if (sent == "\r") return;
      ++commands;
      int64_t at = firstMs;
      for (const auto& piece : pieces) {
        control->QueueInputAfter(at, piece);
        at += gapMs;
      }
    });
  }

  TraceCapture trace;
  CCOMPort port;
  Calls window;
  ECOMError err = CE_NONE;
  int commands = 0;
};

TEST_F(DownloadTest, ThreeBinaryRecordsInOnePieceThenSilence) {
  const std::string data = "HDR1" "0000000001" "0000000002" "0000000003";
  StreamOnCommand({data});
  EXPECT_EQ(port.Download(true, err, "DL", "", "", 3), data);
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(window, (Calls{"SetMessage(Downloading...,0,0)", "SetVisible(True)", "ReportProgress(3,0,-2)",
                           "ReportProgress(3,3,-2)", "CloseWindow"}));
  EXPECT_GT(clock->NowMs(), 20 + 1000 + 3000) << "one-second gather, then TimeOut of silence";
  EXPECT_LT(clock->NowMs(), 20 + 1000 + 3000 + 50);
  EXPECT_FALSE(control->PortOpen());
}

TEST_F(DownloadTest, TextReadingsAreCountedByLineFeedsPerPiece) {
  StreamOnCommand({"r1\r\nr2\r", "\nr3\r\n"}, 20, 1500);
  EXPECT_EQ(port.Download(false, err, "DL", "", "", 3), "r1\r\nr2\r\nr3\r\n");
  EXPECT_EQ(window[3], "ReportProgress(3,1,-2)") << "r2's LF arrives in the next piece";
  EXPECT_EQ(window[4], "ReportProgress(3,3,-2)");
}

TEST_F(DownloadTest, PiecesEvery800MsKeepTheDownloadGoingPastTheExpectedCount) {
  Calls pieces(10, "reading\r\n");
  StreamOnCommand(pieces, 20, 800);
  const std::string result = port.Download(false, err, "DL", "", "", 2);
  EXPECT_EQ(result.size(), 10 * std::string("reading\r\n").size());
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(commands, 1);
  EXPECT_EQ(window[window.size() - 2], "ReportProgress(2,10,-2)") << "progress passes the total";
}

TEST_F(DownloadTest, NoAnswerCostsRetriesTransmissionsAndTimesOut) {
  port.Debugging(true);
  StreamOnCommand({});
  EXPECT_EQ(port.Download(true, err, "DL"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(commands, 5);
  EXPECT_GE(clock->NowMs(), 5 * 3000);
  EXPECT_LT(clock->NowMs(), 5 * 3000 + 100);
  EXPECT_EQ(window, (Calls{"SetMessage(Downloading...,0,0)", "SetVisible(True)", "ReportProgress(1,0,-2)",
                           "CloseWindow"}))
      << "one window for all attempts";
  EXPECT_TRUE(messages->boxes.empty());
  EXPECT_EQ(trace.Texts().back(), "Downloaded from COM port 3: \r");
}

TEST_F(DownloadTest, CancelShowsTheMessageAndReturnsThePartialData) {
  UseWindow(3);
  StreamOnCommand({"aaaa\r\n", "bbbb\r\n", "cccc\r\n"}, 20, 1200);
  EXPECT_EQ(port.Download(false, err, "DL", "", "", 3), "aaaa\r\nbbbb\r\n");
  EXPECT_EQ(err, CE_ABORTED);
  ASSERT_EQ(messages->boxes.size(), 1u);
  EXPECT_EQ(messages->boxes[0].prompt, "Download cancelled.");
  EXPECT_EQ(messages->boxes[0].title, "Kivometrix");
  EXPECT_EQ(messages->boxes[0].flags, 0x40);
  EXPECT_FALSE(control->PortOpen()) << "AutoClose was True";
  EXPECT_TRUE(port.AutoClose());
}

TEST_F(DownloadTest, CancelRequestFromTheProgramActsLikeTheWindowsCancel) {
  StreamOnCommand({"aaaa\r\n", "bbbb\r\n"}, 20, 1200);
  clock->At(1500, [] { RequestDownloadCancel(); });
  port.AutoClose(false);
  EXPECT_EQ(port.Download(false, err, "DL"), "aaaa\r\nbbbb\r\n");
  EXPECT_EQ(err, CE_ABORTED);
  EXPECT_TRUE(control->PortOpen());
  EXPECT_FALSE(TakeDownloadCancelRequest()) << "the request was used up";
}

TEST_F(DownloadTest, AStaleCancelRequestDoesNotCancelTheNextDownload) {
  RequestDownloadCancel();
  StreamOnCommand({"x\r\n"});
  port.Download(false, err, "DL");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(DownloadTest, AWindowThatCannotBeMadeNeverReadsAsACancel) {
  StreamOnCommand({"x\r\n"});
  InstallThreadProgressWindowFactory([]() -> std::unique_ptr<ProgressWindow> { return nullptr; });
  EXPECT_EQ(port.Download(false, err, "DL"), "x\r\n");
  EXPECT_EQ(err, CE_NONE);
  InstallThreadProgressWindowFactory([]() -> std::unique_ptr<ProgressWindow> { throw Error(1, "ProgressWindow", "no display"); });
  EXPECT_EQ(port.Download(false, err, "DL"), "x\r\n");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(DownloadTest, PortNotReadyAbortsQuietlyButStillTraces) {
  CCOMPort unset;
  unset.Debugging(true);
  EXPECT_EQ(unset.Download(false, err, "DL"), "");
  EXPECT_EQ(err, CE_ABORTED);
  EXPECT_TRUE(window.empty()) << "no window before the command went out";
  EXPECT_TRUE(messages->boxes.empty());
  EXPECT_EQ(trace.Texts(), (Calls{"Downloaded from COM port 1: \r"}));
}

TEST_F(DownloadTest, TraceHoldsTheWholeDownload) {
  port.Debugging(true);
  StreamOnCommand({"r1\r\n"});
  port.Download(false, err, "DL");
  EXPECT_EQ(trace.Texts().back(), "Downloaded from COM port 3: \rr1\r\n");
}

// A client handler that raises in every pass of the pump must not end the one-second gather early.
TEST_F(DownloadTest, RaisingPumpLetsTheGatherLastItsSecond) {
  struct RaisingPump : MessagePump {
    void ProcessPending() override { throw std::runtime_error("handler failed"); }
  };
  InstallThreadMessagePump(std::make_shared<RaisingPump>());
  StreamOnCommand({"r1\r\n", "r2\r\n", "r3\r\n"}, 20, 440);  // at 20, 460 and 900 ms
  EXPECT_EQ(port.Download(false, err, "DL", "", "", 3), "r1\r\nr2\r\nr3\r\n");
  EXPECT_EQ(window, (Calls{"SetMessage(Downloading...,0,0)", "SetVisible(True)", "ReportProgress(3,0,-2)",
                           "ReportProgress(3,3,-2)", "CloseWindow"}))
      << "one report for the three pieces";
}

// A lost line is no silence: the download ends at once, keeps its data and is not a success.
TEST_F(DownloadTest, UnpluggedMidDownloadEndsAtOnceWithWhatArrivedAndSaysSo) {
  port.Debugging(true);
  StreamOnCommand({"aaaa\r\n"});
  clock->At(2000, [this] { control->Unplug(); });
  EXPECT_EQ(port.Download(false, err, "DL"), "aaaa\r\n");
  EXPECT_EQ(err, CE_ABORTED);
  EXPECT_EQ(port.LineError().number, kErrReadingDevice);
  EXPECT_LT(clock->NowMs(), 2100) << "no silence waited out";
  EXPECT_TRUE(messages->boxes.empty()) << "not reported as the user's cancel";
  const auto texts = trace.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Line lost on COM port 3 after 6 bytes: The device has been removed."),
            texts.end());
  port.Download(false, err, "DL");
  EXPECT_EQ(port.LineError().number, 0) << "the next download starts afresh";
}

TEST(DownloadCounting, BinaryRecordsRoundHalfToEven) {
  struct Span {
    std::size_t from, to;
    int32_t readings;
  };
  for (const Span s : {Span{0, 9, 0}, Span{10, 18, 1}, Span{19, 29, 2}, Span{30, 38, 3}, Span{39, 39, 4}})
    for (std::size_t length = s.from; length <= s.to; ++length) EXPECT_EQ(BinaryReadingsIn(length), s.readings) << length;
  EXPECT_EQ(TextReadingsIn("a\nb\r\n\n"), 3);
}

}  // namespace
}  // namespace kivocom
