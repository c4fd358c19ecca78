// SPDX-License-Identifier: MIT
// The Win32 serial line on a real COM port under Wine: the port is linked to a pseudo-terminal
// whose far end, a small program on Wine's Unix side, echoes what it gets and hangs up on "!".
// Skipped where no Unix side runs (on Windows itself).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "kivocom/error.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {

namespace fs = std::filesystem;

// The far end makes itself the pseudo-terminal's controlling process, so that its hang-up
// signals it and not the Wine server, and keeps its own end of the slave open so that the master
// does not read as hung up before Wine opens the port. Wine gives no handle to a Unix process, so
// the test tells it to end by removing the ready file it made.
constexpr const char* kFarEndScript = R"(import os, pty, select, signal, sys, fcntl, termios, tty
signal.signal(signal.SIGHUP, signal.SIG_IGN)
os.setsid()
master, slave = pty.openpty()
tty.setraw(slave)
fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
prefix = os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")
link = os.path.join(prefix, "dosdevices", "com" + sys.argv[1])
if os.path.lexists(link): os.unlink(link)
name = os.ttyname(slave)
os.symlink(name, link)
open(sys.argv[2], "w").close()
try:
    while os.path.exists(sys.argv[2]):
        if not select.select([master], [], [], 0.2)[0]: continue
        data = os.read(master, 4096)
        if b"!" in data: break
        os.write(master, data)
except OSError:
    pass
os.close(master)
if os.path.realpath(link) == name: os.unlink(link)
)";

constexpr int32_t kPort = 181;
const fs::path kPython = "Z:\\usr\\bin\\python3";

class FarEnd {
 public:
  FarEnd() {
    if (!fs::exists(kPython)) return;
    static int made = 0;
    const std::string stem =
        "/tmp/kivocom-far-end-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made);
    script_ = "Z:" + stem + ".py";
    ready_ = "Z:" + stem + ".ready";
    fs::remove(ready_);
    std::ofstream(script_) << kFarEndScript;
    std::wstring command = L"Z:\\usr\\bin\\python3 " + fs::path(stem + ".py").wstring() + L" " +
                           std::to_wstring(kPort) + L" " + fs::path(stem + ".ready").wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return;
    // Waits for the link, which the far end makes within a fraction of a second.
    for (int i = 0; i < 500 && !fs::exists(ready_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Removing the ready file tells the far end to end.
  ~FarEnd() {
    std::error_code ignored;
    fs::remove(script_, ignored);
    fs::remove(ready_, ignored);
  }
  bool Ready() const { return fs::exists(ready_); }

 private:
  fs::path script_, ready_;
};

class Win32SerialLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!far_.Ready()) GTEST_SKIP() << "needs Wine's Unix side for a pseudo-terminal behind COM" << kPort;
    MapPortToDevice(kPort, "");
    line_->CommPort(kPort);
    line_->Settings("115200,N,8,1");
    line_->PortOpen(true);
  }

  // Everything received until `count` bytes are in or a wait of two seconds finds nothing.
  std::string Receive(std::size_t count) {
    std::string received;
    while (received.size() < count && line_->WaitForInput(2000)) received += line_->Input();
    return received;
  }

  FarEnd far_;
  std::shared_ptr<SerialControl> line_ = CreatePlatformSerialControl();
};

TEST_F(Win32SerialLineTest, WaitsEndOnDataAndOnTheDeadline) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(line_->WaitForInput(150));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));

  line_->Output("ping\r\n");
  EXPECT_TRUE(line_->WaitForDrain(2000));
  EXPECT_EQ(line_->OutBufferCount(), 0);
  EXPECT_EQ(Receive(6), "ping\r\n");
  EXPECT_EQ(line_->InBufferCount(), 0);

  line_->Output("late");
  ASSERT_TRUE(line_->WaitForInput(2000));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  line_->InBufferCount(0);
  EXPECT_EQ(line_->InBufferCount(), 0);
  EXPECT_EQ(line_->Input(), "");
  line_->Output("next");
  EXPECT_EQ(Receive(4), "next");
}

// Under Wine a read that the line woke for, and whose bytes a discard then purged, ends with
// ERROR_BROKEN_PIPE, the same error as a hung-up line. Discarding while echoes arrive must leave
// the line open and working.
TEST_F(Win32SerialLineTest, DiscardsWhileBytesArriveLeaveTheLineOpen) {
  for (int round = 0; round < 400; ++round) {
    line_->Output("ab");
    for (int discard = 0; discard < 20; ++discard) line_->InBufferCount(0);
  }
  ASSERT_TRUE(line_->PortOpen());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  line_->InBufferCount(0);
  line_->Output("whole");
  EXPECT_EQ(Receive(5), "whole");
}

// The pseudo-terminal keeps 8 data bits without parity whatever it is asked. Once the line holds
// everything else the settings ask for, its driver refuses 7 data bits with parity as a whole
// request; the line is used with its own format, as on the first open, and not refused.
TEST_F(Win32SerialLineTest, AVirtualLineTakesSevenBitsWithParityEveryTime) {
  for (const char* settings : {"9600,E,7,1", "9600,E,7,1", "19200,O,7,2", "115200,E,7,1"}) {
    SCOPED_TRACE(settings);
    line_->Settings(settings);
    line_->Output("set");
    EXPECT_EQ(Receive(3), "set");
  }
  for (int open = 0; open < 3; ++open) {
    SCOPED_TRACE(open);
    line_->PortOpen(false);
    line_->PortOpen(true);
    EXPECT_EQ(line_->Settings(), "115200,E,7,1");
    line_->Output("again");
    EXPECT_EQ(Receive(5), "again");
  }
}

TEST_F(Win32SerialLineTest, ModemLinesOfAVirtualLineAreRefused) {
  try {
    line_->DTREnable(true);
    SUCCEED() << "this line has modem lines";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrCannotSetCommState);
    EXPECT_NE(e.Description().find("COM" + std::to_string(kPort)), std::string::npos) << e.Description();
  }
  line_->Output("still");
  EXPECT_EQ(Receive(5), "still");
}

TEST_F(Win32SerialLineTest, ARemovedPortReadsAsClosedUntilOpenedAgain) {
  line_->Output("!");
  const auto readsAsRemoved = [&](const std::function<void()>& call) {
    try {
      call();
      ADD_FAILURE() << "a removed port was used";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrReadingDevice);
      EXPECT_NE(e.Description().find("COM" + std::to_string(kPort)), std::string::npos) << e.Description();
      EXPECT_NE(e.Description().find("open it again"), std::string::npos) << e.Description();
    }
  };
  readsAsRemoved([&] { line_->WaitForInput(5000); });
  EXPECT_FALSE(line_->PortOpen());
  readsAsRemoved([&] { line_->InBufferCount(); });
  readsAsRemoved([&] { line_->Output("x"); });
  line_->PortOpen(false);
  try {
    line_->InBufferCount();
    ADD_FAILURE() << "a closed port was read";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrPortNotOpen);
  }
}

// Wine names the linked port nowhere but in the prefix's dosdevices folder (no serial map entry, no
// DOS device name until a program opens it); the probe still lists it, so the pick list and the
// tool's --port offer the port that OpenPort opens.
TEST(Win32SerialPorts, APortLinkedOnlyInDosdevicesIsPresent) {
  FarEnd farEnd;
  if (!farEnd.Ready()) GTEST_SKIP() << "needs Wine's Unix side for a pseudo-terminal behind COM" << kPort;
  MapPortToDevice(kPort, "");
  EXPECT_EQ(CreateSystemPortProbe()->IsCOMPortAvailable(kPort), kPortAvailable);
}

TEST(Win32SerialPorts, AMissingPortNamesItselfAndWhatToDo) {
  constexpr int32_t kMissing = 187;
  MapPortToDevice(kMissing, "");
  EXPECT_EQ(PortDevicePath(kMissing), "\\\\.\\COM187");
  MapPortToDevice(kMissing, "\\\\.\\COM9");
  EXPECT_EQ(PortDevicePath(kMissing), "\\\\.\\COM9");
  MapPortToDevice(kMissing, "");
  const std::shared_ptr<SerialControl> line = CreatePlatformSerialControl();
  line->CommPort(kMissing);
  try {
    line->PortOpen(true);
    ADD_FAILURE() << "COM187 opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrInvalidPortNumber);
    EXPECT_EQ(e.Source(), "SerialControl - PortOpen");
    EXPECT_NE(e.Description().find("COM187"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find("KIVOCOM_COM187"), std::string::npos) << e.Description();
  }
  EXPECT_FALSE(line->PortOpen());
}

}  // namespace
}  // namespace kivocom
