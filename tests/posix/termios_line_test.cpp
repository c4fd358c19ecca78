// SPDX-License-Identifier: MIT
// The termios serial line against pseudo-terminals: bytes both ways on a raw line, settings at
// open and while open, restored attributes, cleared buffers, waits, and a second of traffic at
// 921,600 baud taken in while the client's thread sleeps.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kivocom/error.h"
#include "kivocom/port_devices.h"
#include "kivocom/serial_control.h"
#include "support/posix/pty_pair.h"

namespace kivocom {
namespace {

using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;
using Members = std::vector<std::pair<const char*, std::function<void()>>>;

constexpr int32_t kPort = 201;

// Collects what the line receives until `count` bytes came or `timeoutMs` passed.
std::string Receive(SerialControl& control, std::size_t count, int timeoutMs = 2000) {
  const auto deadline = Steady::now() + milliseconds(timeoutMs);
  std::string received;
  while (received.size() < count && Steady::now() < deadline)
    if (control.WaitForInput(std::chrono::duration_cast<milliseconds>(deadline - Steady::now()).count()))
      received += control.Input();
  return received;
}

int32_t ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

class TermiosLineTest : public ::testing::Test {
 protected:
  TermiosLineTest() {
    MapPortToDevice(kPort, pty.SlavePath());
    control->CommPort(kPort);
  }
  ~TermiosLineTest() override {
    if (probe >= 0) close(probe);
    MapPortToDevice(kPort, "");
  }

  // The slave side's attributes, seen through a descriptor of the test's own.
  termios Attributes() {
    if (probe < 0) probe = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios attributes{};
    EXPECT_EQ(tcgetattr(probe, &attributes), 0);
    return attributes;
  }
  speed_t Speed() {
    const termios attributes = Attributes();
    return cfgetospeed(&attributes);
  }

  TestPtyPair pty;
  int probe = -1;
  std::shared_ptr<SerialControl> control = CreatePlatformSerialControl();
};

// Every byte value passes untouched both ways (CR/LF, interrupt, end of file, XON/XOFF among
// them), and nothing is echoed back to the instrument.
TEST_F(TermiosLineTest, BytesTravelBothWaysOnARawLine) {
  control->Settings("19200,E,7,1");
  control->PortOpen(true);
  ASSERT_TRUE(control->PortOpen());
  control->Output("*IDN?\r");
  EXPECT_EQ(pty.Read(6), "*IDN?\r");
  pty.Write("KIVO 4711\r\n");
  EXPECT_EQ(Receive(*control, 11), "KIVO 4711\r\n");

  std::string every;
  for (int value = 0; value < 256; ++value) every += static_cast<char>(value);
  pty.Write(every);
  EXPECT_EQ(Receive(*control, every.size()), every);
  control->Output(every);
  EXPECT_EQ(pty.Read(every.size()), every);
  EXPECT_EQ(pty.Read(1, 50), "") << "echo";
}

TEST_F(TermiosLineTest, SettingsApplyAtOpenAtOnceWhileOpenAndRefusalsKeepTheOld) {
  control->Settings("2400,N,8,1");
  EXPECT_NE(Speed(), B2400);
  control->PortOpen(true);
  EXPECT_EQ(Speed(), B2400);
  control->Settings("115200,O,7,2");
  EXPECT_EQ(Speed(), B115200);

  for (bool open : {false, true}) {
    control->PortOpen(open);
    EXPECT_EQ(ErrorNumberOf([&] { control->Settings("4801,N,8,1"); }), kErrInvalidPropertyValue);
    EXPECT_EQ(ErrorNumberOf([&] { control->Settings("9600,N,4,1"); }), kErrCannotSetCommState);
    EXPECT_EQ(control->Settings(), "115200,O,7,2");
  }
}

TEST_F(TermiosLineTest, ClosingRestoresTheAttributesTheDeviceHadBefore) {
  termios before = Attributes();
  before.c_lflag |= ICANON | ECHO;
  before.c_iflag |= ICRNL;
  cfsetspeed(&before, B1200);
  ASSERT_EQ(tcsetattr(probe, TCSANOW, &before), 0);
  before = Attributes();

  control->Settings("57600,N,8,1");
  control->PortOpen(true);
  EXPECT_EQ(Attributes().c_lflag & (ICANON | ECHO), 0u);
  control->PortOpen(false);

  const termios after = Attributes();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(Speed(), B1200);
}

TEST_F(TermiosLineTest, AssigningZeroDiscardsReceivedBytes) {
  control->PortOpen(true);
  pty.Write("stale reply\r\n");
  ASSERT_TRUE(control->WaitForInput(2000));
  EXPECT_GT(control->InBufferCount(), 0);
  control->InBufferCount(0);
  EXPECT_EQ(control->InBufferCount(), 0);
  EXPECT_EQ(control->Input(), "");
  pty.Write("fresh\r\n");
  EXPECT_EQ(Receive(*control, 7), "fresh\r\n");
  EXPECT_EQ(ErrorNumberOf([&] { control->InBufferCount(3); }), kErrInvalidPropertyValue);
}

// The instrument side does not read, so what the pseudo-terminal cannot take stays queued in the
// control and is discarded; what the pseudo-terminal took has reached the far end and stays.
TEST_F(TermiosLineTest, AssigningZeroDiscardsOnlyBytesNotYetSent) {
  control->PortOpen(true);
  std::string sent;
  for (int command = 0; command < 20; ++command) {
    const std::string frame = "\rPV" + std::to_string(command) + "\r";
    control->Output(frame);
    control->OutBufferCount(0);
    sent += frame;
  }
  EXPECT_EQ(pty.Read(sent.size()), sent);

  const std::string big(256 * 1024, 'x');
  control->Output(big);
  EXPECT_GT(control->OutBufferCount(), 0);
  EXPECT_FALSE(control->WaitForDrain(20));
  control->OutBufferCount(0);
  EXPECT_EQ(control->OutBufferCount(), 0);
  EXPECT_TRUE(control->WaitForDrain(0));
  control->Output("END");
  const std::string arrived = pty.Read(big.size() + 3, 300);
  EXPECT_LT(arrived.size(), big.size());
  EXPECT_EQ(arrived.substr(arrived.size() - 3), "END");
  EXPECT_EQ(ErrorNumberOf([&] { control->OutBufferCount(-1); }), kErrInvalidPropertyValue);
}

TEST_F(TermiosLineTest, WaitForInputWakesWhenBytesArriveAndTimesOutOnSilence) {
  control->PortOpen(true);
  auto start = Steady::now();
  EXPECT_FALSE(control->WaitForInput(50));
  EXPECT_GE(Steady::now() - start, milliseconds(50));

  std::thread instrument([&] {
    std::this_thread::sleep_for(milliseconds(20));
    pty.Write("ping");
  });
  start = Steady::now();
  const bool arrived = control->WaitForInput(10000);
  const auto waited = Steady::now() - start;
  instrument.join();
  EXPECT_TRUE(arrived);
  EXPECT_LT(waited, milliseconds(5000));
  EXPECT_TRUE(control->WaitForInput(std::numeric_limits<int64_t>::max())) << "bytes already wait";
}

// The receive machinery outlives each closing. Every opening gets exactly the bytes sent to it,
// once, whether the client reads them at once or the pump's thread took them in while the client
// slept; bytes that reached the device while it was closed are not among them.
TEST_F(TermiosLineTest, EachReopeningGetsItsOwnBytesOnce) {
  termios raw = Attributes();  // the test's own descriptor keeps the device open between the openings
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(probe, TCSANOW, &raw), 0);  // and echoes nothing
  for (int i = 0; i < 40; ++i) {
    SCOPED_TRACE(i);
    pty.Write("stale " + std::to_string(i));
    control->PortOpen(true);
    const std::string ask = "ask " + std::to_string(i) + "\r";
    control->Output(ask);
    ASSERT_EQ(pty.Read(ask.size()), ask);
    const std::string answer = "answer " + std::to_string(i) + "\r\n";
    pty.Write(answer);
    if (i % 4 == 3) std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(Receive(*control, answer.size()), answer);
    EXPECT_EQ(Receive(*control, 1, 10), "");
    control->PortOpen(false);
  }
}

// One second at 921,600 baud is 92,160 bytes, far more than the kernel's tty buffer holds. The
// instrument side must get every byte out within that second (a pseudo-terminal makes a writer
// wait rather than drop), and the client must then read all of them, in order. The line was
// opened and closed before, so the pump serving it is one that served an earlier opening.
TEST_F(TermiosLineTest, HoldsASecondOfTrafficAt921600WhileTheClientSleeps) {
  control->Settings("921600,N,8,1");
  control->PortOpen(true);
  control->PortOpen(false);
  control->PortOpen(true);
  constexpr std::size_t kSecond = 92160, kBursts = 10;
  std::string traffic(kSecond, '\0');
  for (std::size_t i = 0; i < traffic.size(); ++i) traffic[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);

  std::atomic<bool> allSent{false};
  std::thread instrument([&] {
    for (std::size_t sent = 0; sent < kSecond; sent += kSecond / kBursts) {
      if (pty.Write(std::string_view(traffic).substr(sent, kSecond / kBursts), 900) != kSecond / kBursts) return;
      std::this_thread::sleep_for(milliseconds(40));
    }
    allSent = true;
  });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const bool sentWhileAsleep = allSent;
  const std::string received = Receive(*control, kSecond, 5000);
  instrument.join();

  EXPECT_TRUE(sentWhileAsleep) << "the instrument side was held up: the line stopped draining";
  ASSERT_EQ(received.size(), kSecond);
  EXPECT_TRUE(received == traffic) << "bytes were lost or reordered";
}

TEST_F(TermiosLineTest, EachMemberKeepsToTheLineState) {
  const Members needTheLine = {
      {"Output", [&] { control->Output("x"); }},         {"OutBufferCount", [&] { control->OutBufferCount(); }},
      {"InBufferCount", [&] { control->InBufferCount(0); }}, {"Input", [&] { control->Input(); }},
      {"DTREnable", [&] { control->DTREnable(true); }},  {"WaitForInput", [&] { control->WaitForInput(10); }},
      {"WaitForDrain", [&] { control->WaitForDrain(10); }},
  };
  for (const auto& [name, call] : needTheLine) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ErrorNumberOf(call), kErrPortNotOpen);
  }
  EXPECT_EQ(ErrorNumberOf([&] { control->CommPort(0); }), kErrInvalidPortNumber);
  EXPECT_EQ(control->CommPort(), kPort);

  control->PortOpen(true);
  EXPECT_EQ(ErrorNumberOf([&] { control->PortOpen(true); }), kErrPortAlreadyOpen);
  EXPECT_EQ(ErrorNumberOf([&] { control->CommPort(kPort + 1); }), kErrPortAlreadyOpen);
  EXPECT_EQ(control->CommPort(), kPort);
  // A pseudo-terminal has no modem lines: only the members that need them raise.
  EXPECT_EQ(ErrorNumberOf([&] { control->DTREnable(true); }), kErrCannotSetCommState);
  EXPECT_EQ(ErrorNumberOf([&] { control->RTSEnable(false); }), kErrCannotSetCommState);
  control->Output("still here");
  EXPECT_EQ(pty.Read(10), "still here");
  control->PortOpen(false);
  control->PortOpen(false);
  EXPECT_FALSE(control->PortOpen());
}

}  // namespace
}  // namespace kivocom
