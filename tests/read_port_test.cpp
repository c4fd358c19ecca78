// SPDX-License-Identifier: MIT
// Command and reply exchanges on the in-memory line with a virtual clock: completion rules,
// retries, checks, filtering and every result code.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

using Lines = std::vector<std::string>;

class ReadPortTest : public MemoryLineTest {
 protected:
  ReadPortTest() {
    port.port(3);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_9600);
    port.TimeOut(500);
  }
  // The instrument answers every command (not the lone CR) with `pieces`, `gapMs` apart.
  void AnswerWith(std::vector<std::string> pieces, int64_t gapMs = 5) {
    control->OnOutput([this, pieces, gapMs](const std::string& sent) {
      if (sent == "\r") return;
      ++commands;
      int64_t at = gapMs;
      for (const auto& piece : pieces) {
        control->QueueInputAfter(at, piece);
        at += gapMs;
      }
    });
  }
  void CountCommands() {
    control->OnOutput([this](const std::string& sent) {
      if (sent != "\r") ++commands;
    });
  }
  TraceCapture trace;
  CCOMPort port;
  ECOMError err = CE_NONE;
  int commands = 0;
};

TEST_F(ReadPortTest, LineFeedCompletesAtOnce) {
  AnswerWith({"+0023.45\r\n"});
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_LT(clock->NowMs(), 100) << "no waiting for the time-out";
}

TEST_F(ReadPortTest, WithoutStrippingTheLineEndStaysAndInnerBlanksBeforeCrToo) {
  port.StripCRLF(false);
  AnswerWith({"  12.5  \r\n"});
  EXPECT_EQ(port.ReadPort(err, "PV"), "12.5  \r\n");
}

TEST_F(ReadPortTest, CarriageReturnAloneCompletesOnlyAfterTheTimeOut) {
  AnswerWith({"OK\r"});
  EXPECT_EQ(port.ReadPort(err, "PV"), "OK");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_GT(clock->NowMs(), 500);
  EXPECT_EQ(commands, 1);
}

TEST_F(ReadPortTest, PiecesAreJoinedInArrivalOrder) {
  AnswerWith({"+00", "23.", "45\r", "\n"}, 40);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
}

TEST_F(ReadPortTest, TwoLinesBecomeTwoBlanksBetween) {
  AnswerWith({"A\r\nB\r\n"});
  EXPECT_EQ(port.ReadPort(err, "PV"), "A  B");
}

TEST_F(ReadPortTest, SilentInstrumentCostsRetriesTransmissionsThenTimesOut) {
  port.Retries(3);
  port.Debugging(true);
  CountCommands();
  EXPECT_EQ(port.ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(commands, 3);
  EXPECT_EQ(trace.Texts(),
            (Lines{"Opening COM port 3 with settings 9600,N,8,1", "Sending 'PV' on COM port 3",
                   "Timeout on COM port 3 (attempt 1)", "Opening COM port 3 with settings 9600,N,8,1",
                   "Sending 'PV' on COM port 3", "Timeout on COM port 3 (attempt 2)",
                   "Opening COM port 3 with settings 9600,N,8,1", "Sending 'PV' on COM port 3",
                   "Received '' (raw) on COM port 3", "Closed COM port 3", "Received '' (filtered) on COM port 3"}));
}

TEST_F(ReadPortTest, RetriesZeroMeansOneTransmission) {
  port.Retries(0);
  port.Debugging(true);
  CountCommands();
  port.ReadPort(err, "PV");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(commands, 1);
  for (const auto& line : trace.Texts()) EXPECT_EQ(line.find("Timeout"), std::string::npos) << line;
}

TEST_F(ReadPortTest, PartialReplyOfTheLastAttemptIsReturnedUntrimmed) {
  port.Retries(2);
  port.StripCRLF(false);
  AnswerWith({" 12"});
  EXPECT_EQ(port.ReadPort(err, "PV"), " 12") << "only the last attempt's characters";
  EXPECT_EQ(err, CE_TIMEOUT);
}

TEST_F(ReadPortTest, CharacterCheckPasses128AndFlagsAbove) {
  AnswerWith({"A\x80\r\n"});
  EXPECT_EQ(port.ReadPort(err, "PV"), "A\x80");
  EXPECT_EQ(err, CE_NONE);
  AnswerWith({"A\x81\r\n"});
  EXPECT_EQ(port.ReadPort(err, "PV"), "A\x81") << "the reply is still returned";
  EXPECT_EQ(err, CE_INVALID_DATA);
  port.CheckNonAscii(false);
  port.ReadPort(err, "PV");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(ReadPortTest, TimeOutWithInvalidPartialReplyReportsInvalidData) {
  port.Retries(1);
  AnswerWith({"\xff"});
  port.ReadPort(err, "PV");
  EXPECT_EQ(err, CE_INVALID_DATA);
}

TEST_F(ReadPortTest, AutoCloseIsRestoredAndDecidesTheClose) {
  AnswerWith({"1\r\n"});
  port.ReadPort(err, "PV");
  EXPECT_TRUE(port.AutoClose());
  EXPECT_FALSE(control->PortOpen());
  port.AutoClose(false);
  port.ReadPort(err, "PV");
  EXPECT_FALSE(port.AutoClose());
  EXPECT_TRUE(control->PortOpen());
}

TEST_F(ReadPortTest, NoPortChosenAbortsWithOnlyTheFilteredLine) {
  CCOMPort unset;
  unset.Debugging(true);
  EXPECT_EQ(unset.ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_ABORTED);
  EXPECT_TRUE(unset.AutoClose());
  EXPECT_EQ(trace.Texts(), (Lines{"Received '' (filtered) on COM port 1"}));
}

TEST_F(ReadPortTest, DeviceUnpluggedMidReplyEndsByTheTimeOutRule) {
  port.Retries(1);
  control->OnOutput([this](const std::string& sent) {
    if (sent == "\r") return;
    control->QueueInputAfter(5, "12");
    clock->After(20, [this] { control->Unplug(); });
  });
  EXPECT_EQ(port.ReadPort(err, "PV"), "12");
  EXPECT_EQ(err, CE_TIMEOUT);
}

TEST_F(ReadPortTest, RouteThroughTheSwitchOnEveryAttempt) {
  port.UsesSmartSwitch(true);
  port.Retries(2);
  CountCommands();
  port.ReadPort(err, "PV", "B");
  EXPECT_EQ(control->Sent(), "\x1b\x02\x02\x04\x1b\x02" "0B\r" "\r" "PV\r" "\r" "PV\r" "\x1b\x02\x02\x04")
      << "selected once (remembered), released at the close";
}

}  // namespace
}  // namespace kivocom
