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
#include "support/pty_pair.h"

namespace kivocom {
namespace {

using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

constexpr int32_t kPort = 201;

// Collects what the line receives until `count` bytes came or `timeoutMs` passed.
std::string Receive(SerialControl& control, std::size_t count, int timeoutMs = 2000) {
  const auto deadline = Steady::now() + milliseconds(timeoutMs);
  std::string received;
  while (received.size() < count && Steady::now() < deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Steady::now()).count();
    if (control.WaitForInput(left)) received += control.Input();
  }
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

std::string AllByteValues() {
  std::string bytes;
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  return bytes;
}

class TermiosLineTest : public ::testing::Test {
 protected:
  TermiosLineTest() {
    MapPortToDevice(kPort, pty.SlavePath());
    control->CommPort(kPort);
  }
  ~TermiosLineTest() override { MapPortToDevice(kPort, ""); }

  // A descriptor of the test's own on the slave side, to look at the line's attributes.
  int OpenProbe() {
    probe = FileDescriptorGuard(::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    return probe.fd;
  }
  termios ProbeAttributes() {
    termios attributes{};
    EXPECT_EQ(tcgetattr(probe.fd, &attributes), 0);
    return attributes;
  }
  speed_t ProbeSpeed() {
    const termios attributes = ProbeAttributes();
    return cfgetospeed(&attributes);
  }

  struct FileDescriptorGuard {
    explicit FileDescriptorGuard(int f = -1) : fd(f) {}
    FileDescriptorGuard& operator=(FileDescriptorGuard&& other) noexcept {
      std::swap(fd, other.fd);
      return *this;
    }
    ~FileDescriptorGuard() {
      if (fd >= 0) ::close(fd);
    }
    int fd;
  };

  PtyPair pty;
  FileDescriptorGuard probe;
  std::shared_ptr<SerialControl> control = CreatePlatformSerialControl();
};

TEST_F(TermiosLineTest, BytesTravelBothWaysWithTheGivenSettings) {
  control->Settings("19200,E,7,1");
  control->PortOpen(true);
  ASSERT_TRUE(control->PortOpen());
  EXPECT_EQ(control->Settings(), "19200,E,7,1");

  control->Output("*IDN?\r");
  EXPECT_EQ(pty.Read(6), "*IDN?\r");
  pty.Write("KIVO 4711,V2.1\r\n");
  EXPECT_EQ(Receive(*control, 16), "KIVO 4711,V2.1\r\n");
  EXPECT_EQ(control->InBufferCount(), 0);
  EXPECT_EQ(control->Input(), "");
}

// Control characters (interrupt, end of file, XON/XOFF) and CR/LF pass untouched, and nothing
// is echoed back to the instrument.
TEST_F(TermiosLineTest, TheLineIsRawBothWays) {
  control->PortOpen(true);
  const std::string every = AllByteValues();
  pty.Write(every);
  EXPECT_EQ(Receive(*control, every.size()), every);
  control->Output(every);
  EXPECT_EQ(pty.Read(every.size()), every);
  EXPECT_EQ(pty.Read(1, 50), "");
}

TEST_F(TermiosLineTest, SettingsApplyAtOpenAndAtOnceWhileOpen) {
  OpenProbe();
  control->Settings("2400,N,8,1");
  EXPECT_NE(ProbeSpeed(), B2400);
  control->PortOpen(true);
  termios atOpen = ProbeAttributes();
  EXPECT_EQ(cfgetospeed(&atOpen), B2400);
  EXPECT_EQ(atOpen.c_lflag & (ICANON | ECHO | ISIG), 0u);

  control->Settings("115200,O,7,2");
  EXPECT_EQ(ProbeSpeed(), B115200);
  EXPECT_EQ(control->Settings(), "115200,O,7,2");
}

TEST_F(TermiosLineTest, RefusedSettingsKeepTheOldOnes) {
  OpenProbe();
  control->Settings("4800,N,8,1");
  struct Row {
    const char* text;
    int32_t number;
  };
  const Row rows[] = {{"4800,N,8", kErrInvalidPropertyValue},
                      {"4801,N,8,1", kErrInvalidPropertyValue},
                      {"9600,N,4,1", kErrCannotSetCommState},
                      {"9600,N,7,1.5", kErrCannotSetCommState}};
  for (bool open : {false, true}) {
    control->PortOpen(open);
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.text) + (open ? " while open" : " while closed"));
      EXPECT_EQ(ErrorNumberOf([&] { control->Settings(row.text); }), row.number);
      EXPECT_EQ(control->Settings(), "4800,N,8,1");
    }
  }
  EXPECT_EQ(ProbeSpeed(), B4800);
}

TEST_F(TermiosLineTest, ClosingRestoresTheAttributesTheDeviceHadBefore) {
  OpenProbe();
  termios before = ProbeAttributes();
  before.c_lflag |= ICANON | ECHO;
  before.c_iflag |= ICRNL;
  cfsetospeed(&before, B1200);
  cfsetispeed(&before, B1200);
  ASSERT_EQ(tcsetattr(probe.fd, TCSANOW, &before), 0);
  before = ProbeAttributes();

  control->Settings("57600,N,8,1");
  control->PortOpen(true);
  EXPECT_EQ(ProbeAttributes().c_lflag & ICANON, 0u);
  control->PortOpen(false);

  const termios after = ProbeAttributes();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(cfgetospeed(&after), B1200);
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
}

// The instrument side does not read, so what the pseudo-terminal cannot take stays queued in
// the control; discarding drops that and what the device holds.
TEST_F(TermiosLineTest, AssigningZeroDiscardsBytesNotYetSent) {
  control->PortOpen(true);
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
}

// On a pseudo-terminal every byte written has already reached the far end's input; discarding
// the output must not take it back from there.
TEST_F(TermiosLineTest, DiscardingOutputLeavesWhatAlreadyReachedTheFarEnd) {
  control->PortOpen(true);
  std::string sent;
  for (int command = 0; command < 20; ++command) {
    const std::string frame = "\rPV" + std::to_string(command) + "\r";
    control->Output(frame);
    sent += frame;
    control->OutBufferCount(0);
    EXPECT_EQ(control->OutBufferCount(), 0);
  }
  EXPECT_EQ(pty.Read(sent.size()), sent);
}

TEST_F(TermiosLineTest, OnlyZeroCanBeAssignedToTheCounts) {
  control->PortOpen(true);
  EXPECT_EQ(ErrorNumberOf([&] { control->InBufferCount(3); }), kErrInvalidPropertyValue);
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
  EXPECT_EQ(Receive(*control, 4), "ping");
  EXPECT_FALSE(control->WaitForInput(-1));
}

// One second at 921,600 baud is 92,160 bytes, far more than the kernel's tty buffer holds. The
// instrument side must get every byte out within that second (a pseudo-terminal makes a writer
// wait rather than drop), and the client must then read all of them, in order.
TEST_F(TermiosLineTest, HoldsASecondOfTrafficAt921600WhileTheClientSleeps) {
  control->Settings("921600,N,8,1");
  control->PortOpen(true);
  constexpr std::size_t kSecond = 92160;
  constexpr std::size_t kBursts = 10;
  std::string traffic(kSecond, '\0');
  for (std::size_t i = 0; i < traffic.size(); ++i) traffic[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);

  std::atomic<bool> allSent{false};
  std::thread instrument([&] {
    std::size_t sent = 0;
    for (std::size_t burst = 0; burst < kBursts; ++burst) {
      const std::size_t size = kSecond / kBursts;
      if (pty.Write(std::string_view(traffic).substr(sent, size), 900) != size) return;
      sent += size;
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

TEST_F(TermiosLineTest, MembersThatNeedTheLineRaise8018WhileClosed) {
  const std::vector<std::pair<const char*, std::function<void()>>> members = {
      {"Output", [&] { control->Output("x"); }},
      {"OutBufferCount", [&] { control->OutBufferCount(); }},
      {"OutBufferCount", [&] { control->OutBufferCount(0); }},
      {"InBufferCount", [&] { control->InBufferCount(); }},
      {"InBufferCount", [&] { control->InBufferCount(0); }},
      {"Input", [&] { control->Input(); }},
      {"DTREnable", [&] { control->DTREnable(true); }},
      {"RTSEnable", [&] { control->RTSEnable(true); }},
      {"WaitForInput", [&] { control->WaitForInput(10); }},
      {"WaitForDrain", [&] { control->WaitForDrain(10); }},
  };
  for (const auto& [name, call] : members) {
    SCOPED_TRACE(name);
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrPortNotOpen);
      EXPECT_EQ(e.Source(), std::string("SerialControl - ") + name);
    }
  }
}

TEST_F(TermiosLineTest, PortNumberAndOpeningFollowTheLineState) {
  EXPECT_EQ(ErrorNumberOf([&] { control->CommPort(0); }), kErrInvalidPortNumber);
  EXPECT_EQ(ErrorNumberOf([&] { control->CommPort(-1); }), kErrInvalidPortNumber);
  EXPECT_EQ(control->CommPort(), kPort);
  control->PortOpen(false);

  control->PortOpen(true);
  EXPECT_EQ(ErrorNumberOf([&] { control->PortOpen(true); }), kErrPortAlreadyOpen);
  EXPECT_EQ(ErrorNumberOf([&] { control->CommPort(kPort + 1); }), kErrPortAlreadyOpen);
  EXPECT_EQ(control->CommPort(), kPort);
  control->Output("still here");
  EXPECT_EQ(pty.Read(10), "still here");

  control->PortOpen(false);
  control->PortOpen(false);
  EXPECT_FALSE(control->PortOpen());
  control->PortOpen(true);
  EXPECT_TRUE(control->PortOpen());
}

TEST_F(TermiosLineTest, ModemLinesRaiseOnAPseudoTerminalAndTheLineGoesOn) {
  control->PortOpen(true);
  for (auto [name, call] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"DTREnable", [&] { control->DTREnable(true); }}, {"RTSEnable", [&] { control->RTSEnable(false); }}}) {
    SCOPED_TRACE(name);
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrCannotSetCommState);
      EXPECT_NE(e.Description().find("no modem lines"), std::string::npos) << e.Description();
      EXPECT_NE(e.Description().find(pty.SlavePath()), std::string::npos) << e.Description();
    }
  }
  EXPECT_TRUE(control->PortOpen());
  control->Output("ok");
  EXPECT_EQ(pty.Read(2), "ok");
}

}  // namespace
}  // namespace kivocom
