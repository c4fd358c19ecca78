// SPDX-License-Identifier: MIT
// A line that goes away, or a control that misreports, during an exchange on the in-memory line:
// no lost line reads as success or as a silent instrument, and no failing control makes the
// exchange spin.
#include <gtest/gtest.h>

#include "comport/continue_on_error.h"
#include "kivocom/kivocom.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

class LostLineTest : public MemoryLineTest {
 protected:
  LostLineTest() {
    port.port(3);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_9600);
    port.TimeOut(3000);
    port.Retries(5);
  }
  // The instrument starts its reply, then its adapter is pulled out; with `gone` it stays out.
  void UnplugMidReply(bool gone) {
    control->OnOutput([this, gone](const std::string& sent) {
      if (sent == "\r") return;
      ++commands;
      if (commands > 1) return control->QueueInputAfter(5, "+0023.45\r\n");
      control->QueueInputAfter(5, "+00");
      clock->After(20, [this, gone] {
        control->Unplug();
        if (gone) control->FailOn("PortOpen=True", Error(kErrDeviceNotOpen, "SerialControl - PortOpen", "gone"));
      });
    });
  }
  CCOMPort port;
  ECOMError err = CE_NONE;
  int commands = 0;
};

TEST_F(LostLineTest, ReadPortStopsWhenTheLostDeviceCannotBeOpenedAgain) {
  UnplugMidReply(true);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+00") << "what the lost attempt received";
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(commands, 1) << "no resends to a device that is gone";
  EXPECT_LT(clock->NowMs(), 100) << "no time-out waited out";
  EXPECT_EQ(port.LineError().number, kErrCannotOpenPort);
}

TEST_F(LostLineTest, ReadPortGoesOnWhenTheLineComesBack) {
  UnplugMidReply(false);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(commands, 2);
  EXPECT_LT(clock->NowMs(), 100);
  EXPECT_EQ(port.LineError().number, 0) << "recovered";
}

TEST_F(LostLineTest, ReadPortLostOnItsLastAttemptNamesTheLoss) {
  port.Retries(1);
  UnplugMidReply(false);
  port.ReadPort(err, "PV");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(port.LineError().number, kErrReadingDevice);
}

// A control that cannot tell how many characters wait, while some do, would let the poll run
// without a pause; on the virtual clock such a loop never ends.
TEST_F(LostLineTest, FailingCharacterCountRestsBetweenPassesAndEndsByTheTimeOut) {
  control->OnOutput([this](const std::string& sent) {
    if (sent != "\r") control->QueueInputAfter(5, "12\r\n");
  });
  control->FailOn("InBufferCount?", Error(kErrUnexpected, "SerialControl - InBufferCount", "failed"));
  port.Retries(1);
  port.TimeOut(300);
  EXPECT_EQ(port.ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_GT(clock->NowMs(), 300);
  EXPECT_EQ(port.Download(false, err, "DL"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
}

// The instrument answers at once, before WritePort's last clearing: the answer is kept, and so
// is nothing that came before the command.
TEST_F(LostLineTest, AnswerThatArrivesBeforeTheLastClearingIsKept) {
  control->OnOutput([this](const std::string& sent) {
    if (sent != "\r") control->QueueInput("+0023.45\r\n");
  });
  port.Retries(1);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_LT(clock->NowMs(), 10);
  EXPECT_EQ(port.Download(false, err, "DL"), "+0023.45\r\n");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(LostLineTest, EchoOfTheLoneCrAndTheCommandIsNoPartOfTheReply) {
  control->OnOutput([this](const std::string& sent) {
    control->QueueInput(sent);
    if (sent != "\r") control->QueueInputAfter(2, "+0023.45\r\n");
  });
  port.ControllerStyle(CS_OMEGA);
  port.StripCRLF(false);
  EXPECT_EQ(port.ReadPort(err, "PV", "", "01"), "+0023.45\r\n");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(port.Download(false, err, "DL", "", "01"), "+0023.45\r\n");
}

TEST_F(LostLineTest, MarkSeparatesInputOlderThanTheLastOutput) {
  control->PortOpen(true);
  control->QueueInput("old");
  control->Output("X");
  control->QueueInput("new");
  control->DiscardInputBeforeLastOutput();
  EXPECT_EQ(control->Input(), "new");
  control->QueueInput("more");
  control->DiscardInputBeforeLastOutput();
  EXPECT_EQ(control->Input(), "more") << "what was taken is not counted twice";
}

}  // namespace
}  // namespace kivocom
