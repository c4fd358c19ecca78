// SPDX-License-Identifier: MIT
// How exchanges end when the far end misbehaves or the port cannot be opened: a flood stops at
// the reply's or the download's bound, a port that cannot be opened ends the call at once, and a
// download that began only after a resend is not reported as plain success. LineError says why.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

// A far end that sends `chunk` bytes of 0xFF at every look and never stops.
class Flood : public MemorySerialControl {
 public:
  Flood(std::shared_ptr<VirtualClock> clock, std::size_t chunk) : MemorySerialControl(clock), chunk_(chunk) {}
  int32_t InBufferCount() override { return PortOpen() ? static_cast<int32_t>(chunk_) : 0; }
  std::string Input() override {
    sent += chunk_;
    return std::string(chunk_, '\xff');
  }
  bool WaitForInput(int64_t) override { return true; }
  std::size_t sent = 0;

 private:
  std::size_t chunk_;
};

class ExchangeEndsTest : public MemoryLineTest {
 protected:
  ExchangeEndsTest() {
    InstallThreadProgressWindowFactory([]() -> std::unique_ptr<ProgressWindow> { return nullptr; });
  }
  ~ExchangeEndsTest() override { InstallThreadProgressWindowFactory(nullptr); }
  // A port on the thread's current line; the line is chosen before the port is made.
  std::unique_ptr<CCOMPort> MakePort() {
    auto port = std::make_unique<CCOMPort>();
    port->port(3);
    port->MaxBaudRate(BAUD_921600);
    port->BaudRate(BAUD_9600);
    port->TimeOut(500);
    port->Retries(3);
    return port;
  }
  void CountCommands() {
    control->OnOutput([this](const std::string& sent) { commands += sent != "\r"; });
  }
  ECOMError err = CE_NONE;
  int commands = 0;
};

TEST_F(ExchangeEndsTest, AFloodingFarEndEndsTheReplyAtItsBound) {
  auto flood = std::make_shared<Flood>(clock, 4096);
  InstallThreadSerialControl(flood);
  auto port = MakePort();
  port->CheckNonAscii(false);
  const std::string reply = port->ReadPort(err, "PV");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(reply.size(), CCOMPort::kMaxReplyBytes);
  EXPECT_LE(flood->sent, CCOMPort::kMaxReplyBytes + 4096) << "no more read than the bound needs";
  EXPECT_EQ(port->LineError().number, kErrTooMuchData);
  EXPECT_NE(port->LineError().description.find("65536 bytes"), std::string::npos) << port->LineError().description;
  EXPECT_EQ(clock->NowMs(), 0) << "no time-out waited, no resend";
  port->CheckNonAscii(true);
  port->ReadPort(err, "PV");
  EXPECT_EQ(err, CE_INVALID_DATA) << "the check still runs on what came";
}

TEST_F(ExchangeEndsTest, AFloodingFarEndEndsTheDownloadPastItsBoundKeepingWhatCame) {
  constexpr std::size_t kPiece = 1 << 20;
  auto flood = std::make_shared<Flood>(clock, kPiece);
  InstallThreadSerialControl(flood);
  auto port = MakePort();
  const std::string data = port->Download(false, err, "DL");
  EXPECT_EQ(err, CE_ABORTED);
  EXPECT_GT(data.size(), CCOMPort::kMaxDownloadBytes);
  EXPECT_LE(data.size(), CCOMPort::kMaxDownloadBytes + kPiece);
  EXPECT_EQ(data.size(), flood->sent) << "every byte taken is kept";
  EXPECT_EQ(port->LineError().number, kErrTooMuchData);
}

TEST_F(ExchangeEndsTest, APortThatCannotBeOpenedEndsTheCallAtOnceAndSaysWhy) {
  auto port = MakePort();
  CountCommands();
  control->FailOn("PortOpen=True", Error(kErrDeviceNotOpen, "SerialControl - PortOpen", "COM3 (x) cannot be opened."));
  EXPECT_EQ(port->ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(port->LineError().number, kErrCannotOpenPort);
  EXPECT_EQ(port->LineError().description, "COM3 (x) cannot be opened.");
  EXPECT_EQ(port->Download(false, err, "DL"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(port->LineError().description, "COM3 (x) cannot be opened.");
  EXPECT_EQ(clock->NowMs(), 0) << "no attempt waited out";
  EXPECT_EQ(commands, 0);
  control->ClearFailures();
  port->ReadPort(err, "PV");
  EXPECT_EQ(port->LineError().number, 0) << "the next call starts afresh";
}

TEST_F(ExchangeEndsTest, DataThatBeganAfterAResendIsKeptButNotAPlainSuccess) {
  auto port = MakePort();
  // The instrument takes 700 ms to start answering each command: the first answer arrives after
  // the second sending.
  control->OnOutput([this](const std::string& sent) {
    if (sent == "\r") return;
    ++commands;
    control->QueueInputAfter(700, "r" + std::to_string(commands) + "\r\n");
  });
  const std::string data = port->Download(false, err, "DL");
  EXPECT_EQ(err, CE_INVALID_DATA);
  EXPECT_EQ(commands, 2);
  EXPECT_EQ(data, "r1\r\nr2\r\n") << "both answers are kept, as they came";
  EXPECT_EQ(port->LineError().number, kErrDataAfterResend);
  EXPECT_NE(port->LineError().description.find("attempt 2 of 3"), std::string::npos) << port->LineError().description;

  port->TimeOut(1000);
  commands = 0;
  EXPECT_EQ(port->Download(false, err, "DL"), "r1\r\n");
  EXPECT_EQ(err, CE_NONE) << "an answer to the first sending is a plain success";
  EXPECT_EQ(port->LineError().number, 0);
}

}  // namespace
}  // namespace kivocom
