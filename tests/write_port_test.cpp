// SPDX-License-Identifier: MIT
// Sending commands: what reaches the line, in which order, and what the caller is told.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

using Calls = std::vector<std::string>;

class WritePortTest : public MemoryLineTest {
 protected:
  WritePortTest() {
    port.port(3);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_9600);
  }
  TraceCapture trace;
  CCOMPort port;
  ECOMError err = CE_TIMEOUT;
};

TEST_F(WritePortTest, LoneCrThenCommandWithClearingsAroundThenClose) {
  port.WritePort(err, "PV");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(control->Calls(),
            (Calls{"CommPort=3", "Settings=9600,N,8,1", "PortOpen=True", "OutBufferCount=0", "InBufferCount=0",
                   "Output=\r", "OutBufferCount=0", "InBufferCount=0", "Output=PV\r", "OutBufferCount=0",
                   "DiscardInputBeforeLastOutput", "PortOpen=False"}))
      << "the last clearing keeps what came after the command";
}

TEST_F(WritePortTest, EmptyCommandAndUnknownStyleSendTwoCrs) {
  port.WritePort(err, "");
  EXPECT_EQ(control->Sent(), "\r\r");
  control->ClearRecord();
  port.ControllerStyle(static_cast<EControllerStyle>(8));
  port.Debugging(true);
  port.WritePort(err, "PV");
  EXPECT_EQ(control->Sent(), "\r\r");
  EXPECT_EQ(trace.Texts().at(1), "Sending '' on COM port 3");
}

TEST_F(WritePortTest, TraceShowsTheUntrimmedCommandAndTheLineTheTrimmedOne) {
  port.Debugging(true);
  port.WritePort(err, " PV ");
  EXPECT_EQ(control->Sent(), "\rPV\r");
  EXPECT_EQ(trace.Texts(), (Calls{"Opening COM port 3 with settings 9600,N,8,1", "Sending ' PV ' on COM port 3",
                                  "Closed COM port 3"}));
}

TEST_F(WritePortTest, OmegaWorkedExamplesOnTheLine) {
  port.ControllerStyle(CS_OMEGA);
  port.WritePort(err, "PV", "", "01");
  EXPECT_EQ(control->Sent(), "\r\x04" "0011PV\x05\r");
  control->ClearRecord();
  port.WritePort(err, "SL", "", "01", "100.0");
  EXPECT_EQ(control->Sent(), "\r\x04" "0011\x02SL100.0\x03\x33\r");
}

TEST_F(WritePortTest, NoPortChosenAbortsWithoutSendingOrTracing) {
  CCOMPort unset;
  unset.Debugging(true);
  ECOMError e = CE_INVALID_DATA;
  unset.WritePort(e, "PV");
  EXPECT_EQ(e, CE_ABORTED);
  EXPECT_TRUE(control->Calls().empty());
  EXPECT_TRUE(trace.Texts().empty());
}

TEST_F(WritePortTest, AutoCloseOffLeavesTheLineOpen) {
  port.AutoClose(false);
  port.WritePort(err, "PV");
  EXPECT_TRUE(control->PortOpen());
}

TEST_F(WritePortTest, OpeningFailureIsRaisedAndNothingIsSent) {
  control->FailOn("PortOpen=True", Error(8012, "SerialControl - PortOpen", "gone"));
  try {
    port.WritePort(err, "PV");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80040033));
    EXPECT_EQ(e.Description(), "Cannot open COM port 3");
  }
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(control->Sent(), "");
}

TEST_F(WritePortTest, ATransmitBufferThatNeverDrainsRaisesInsteadOfHanging) {
  port.AutoClose(false);
  control->HoldOutput(true);
  try {
    port.WritePort(err, "PV");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrDrainTimeout);
    EXPECT_EQ(e.Source(), "CCOMPort - WritePort");
  }
  EXPECT_GE(clock->NowMs(), 1000);
  EXPECT_LT(clock->NowMs(), 2000) << "bounded by the line time plus a margin";
  EXPECT_TRUE(control->PortOpen()) << "a control error leaves the port as it was";
}

}  // namespace
}  // namespace kivocom
