// SPDX-License-Identifier: MIT
// Exchanges on a real line with instruments that answer at once, echo what they hear, or go away
// mid-transfer: no answer is thrown away, no echo is taken for an answer, no reply reaches
// another exchange, and no lost line reads as success. The same on every system's line.
#include <gtest/gtest.h>

#include "support/real_line.h"

namespace kivocom {
namespace {

class QuickAnswerLineTest : public RealLineTest {
 protected:
  ~QuickAnswerLineTest() override { InstallThreadProgressWindowFactory(nullptr); }
  static SimulatedInstrument AtOnce() {
    SimulatedInstrument i;
    i.replies["PV"] = "+0023.45";
    i.behaviour.replyDelay = std::chrono::microseconds(0);
    i.behaviour.paced = false;
    return i;
  }
  ECOMError err = CE_NONE;
};

// With one transmission and a long time-out, one reply cleared away would show as a time-out. A
// line that clears the answer away loses most of them; the soak benchmark makes 10,000.
TEST_F(QuickAnswerLineTest, InstrumentWithNoDelayNeverCostsATimeOut) {
  sim.AddInstrument(AtOnce());
  port.Retries(1);
  port.TimeOut(2000);
  int wrong = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string reply = port.ReadPort(err, "PV");
    if (err != CE_NONE || reply != "+0023.45") ++wrong;
    if (i == 200) port.AutoClose(false);
  }
  port.ClosePort();
  EXPECT_EQ(wrong, 0);
}

// Every exchange opens the line anew (AutoClose True): each gets its own reply, once.
TEST_F(QuickAnswerLineTest, EachReopeningGetsItsOwnReplyOnce) {
  SimulatedInstrument instrument = AtOnce();
  for (int i = 0; i < 4; ++i) instrument.replies["Q" + std::to_string(i)] = "answer " + std::to_string(i);
  sim.AddInstrument(instrument);
  port.Retries(1);
  port.TimeOut(2000);
  for (int i = 0; i < 40; ++i) {
    const std::string reply = port.ReadPort(err, "Q" + std::to_string(i % 4));
    ASSERT_EQ(err, CE_NONE) << "exchange " << i;
    ASSERT_EQ(reply, "answer " + std::to_string(i % 4)) << "exchange " << i;
  }
}

TEST_F(QuickAnswerLineTest, EchoingLineStillYieldsTheReply) {
  SimulatedInstrument instrument = AtOnce();
  instrument.behaviour.echo = true;
  instrument.style = CS_OMEGA;
  instrument.address = "01";
  instrument.download = StoredReadings{"DL", 3, false, 0, std::chrono::milliseconds(0)};
  sim.AddInstrument(instrument);
  port.ControllerStyle(CS_OMEGA);
  port.BaudRate(BAUD_115200);
  port.Retries(1);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(port.ReadPort(err, "PV", "", "01"), "+0023.45") << "exchange " << i;
    ASSERT_EQ(err, CE_NONE);
  }
  port.TimeOut(100);
  EXPECT_EQ(port.Download(false, err, "DL", "", "01"), StoredReadingsStream(instrument.download));
  EXPECT_EQ(err, CE_NONE);
}

// The kernel may drop the bytes still in flight when a pseudo-terminal hangs up, as an adapter
// pulled out does: the bytes sent well before the unplugging must all be there.
TEST_F(QuickAnswerLineTest, DeviceGoneMidDownloadEndsAtOnceWithTheDataSoFar) {
  SimulatedInstrument instrument;
  instrument.download = StoredReadings{"DL", 20, false, 2, std::chrono::milliseconds(50)};
  instrument.behaviour.unplugAfter = 45;
  sim.AddInstrument(instrument);
  InstallThreadProgressWindowFactory([]() -> std::unique_ptr<ProgressWindow> { return nullptr; });
  port.TimeOut(3000);
  std::string data;
  const int64_t ms = MillisecondsOf([&] { data = port.Download(false, err, "DL"); });
  EXPECT_EQ(err, CE_ABORTED);
  const std::string sent = StoredReadingsStream(instrument.download).substr(0, 45);
  EXPECT_EQ(data, sent.substr(0, data.size()));
  EXPECT_GE(data.size(), 40u) << "two pieces of two readings came 50 ms before the unplugging";
  EXPECT_EQ(port.LineError().number, kErrReadingDevice);
  EXPECT_LT(ms, 2500) << "the gather's second, and no silence waited out";
}

TEST_F(QuickAnswerLineTest, DeviceGoneMidReplyIsNotWaitedOutAttemptByAttempt) {
  SimulatedInstrument instrument = AtOnce();
  instrument.behaviour.pieceSize = 2;
  instrument.behaviour.pieceGap = std::chrono::milliseconds(50);
  instrument.behaviour.unplugAfter = 3;
  sim.AddInstrument(instrument);
  port.Retries(5);
  port.TimeOut(3000);
  std::string reply;
  const int64_t ms = MillisecondsOf([&] { reply = port.ReadPort(err, "PV"); });
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_TRUE(reply == "+0" || reply == "+00") << reply << ": what came before the unplugging";
  EXPECT_EQ(port.LineError().number, kErrCannotOpenPort) << "the device could not be opened again";
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(sim.Received(), "\rPV\r") << "sent once";
}

}  // namespace
}  // namespace kivocom
