// SPDX-License-Identifier: MIT
// Exchanges whose control or client code misbehaves: every call still ends by its own rules,
// never raises, and leaves AutoClose as it found it.
#include <gtest/gtest.h>

#include "comport/continue_on_error.h"
#include "kivocom/kivocom.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

// A device that streams characters faster than they can be read, never sending an LF.
class EndlessStream : public MemorySerialControl {
 public:
  using MemorySerialControl::MemorySerialControl;
  int32_t InBufferCount() override { return PortOpen() ? 1 : 0; }
  std::string Input() override {
    clock->Advance(1);
    return "x";
  }
  std::shared_ptr<VirtualClock> clock;
};

class ThrowingPump : public MessagePump {
 public:
  void ProcessPending() override { throw std::runtime_error("handler failed"); }
};

class ExchangeFaultsTest : public MemoryLineTest {
 protected:
  ExchangeFaultsTest() {
    port.port(3);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_9600);
    port.TimeOut(500);
    port.Retries(2);
    InstallThreadProgressWindowFactory([]() -> std::unique_ptr<ProgressWindow> { return nullptr; });
  }
  ~ExchangeFaultsTest() override { InstallThreadProgressWindowFactory(nullptr); }
  void ReplyAfterEachCommand(const std::string& reply) {
    control->OnOutput([this, reply](const std::string& sent) {
      if (sent != "\r") control->QueueInputAfter(5, reply);
    });
  }
  CCOMPort port;
  ECOMError err = CE_NONE;
};

TEST_F(ExchangeFaultsTest, InputFailingWhileCharactersWaitEndsByTheTimeOut) {
  ReplyAfterEachCommand("12\r\n");
  control->FailOn("Input?", Error(kErrUnexpected, "SerialControl - Input", "read failed"));
  EXPECT_EQ(port.ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_LT(clock->NowMs(), 2 * 500 + 100);
  EXPECT_EQ(port.Download(false, err, "DL"), "");
  EXPECT_EQ(err, CE_TIMEOUT) << "no piece ever came";
  EXPECT_TRUE(port.AutoClose());
}

TEST_F(ExchangeFaultsTest, CharactersThatNeverStopWithoutALineFeedStillTimeOut) {
  auto stream = std::make_shared<EndlessStream>(clock);
  stream->clock = clock;
  InstallThreadSerialControl(stream);
  CCOMPort streaming;
  streaming.port(3);
  streaming.TimeOut(200);
  streaming.Retries(1);
  const std::string reply = streaming.ReadPort(err, "PV");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_GE(reply.size(), 200u);
  EXPECT_LT(reply.size(), 300u) << "the deadline counts from the attempt's start";
}

TEST_F(ExchangeFaultsTest, ClientHandlersThatThrowDoNotEndADownload) {
  ReplyAfterEachCommand("r1\r\n");
  InstallThreadMessagePump(std::make_shared<ThrowingPump>());
  EXPECT_EQ(port.Download(false, err, "DL"), "r1\r\n");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_TRUE(port.AutoClose());
  EXPECT_FALSE(control->PortOpen());
}

}  // namespace
}  // namespace kivocom
