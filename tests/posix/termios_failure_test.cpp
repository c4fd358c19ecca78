// SPDX-License-Identifier: MIT
// The termios serial line when things go wrong: the far end vanishing mid-use, another program
// holding the port, devices that are missing, refused or not serial at all.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>

#include "kivocom/error.h"
#include "kivocom/port_devices.h"
#include "kivocom/serial_control.h"
#include "platform/line/posix/termios_errors.h"
#include "support/posix/child_process.h"
#include "support/posix/pty_pair.h"

namespace kivocom {
namespace {

constexpr int32_t kPort = 202;

// The error a call raises; an empty record when it raises none.
ErrorRecord ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Record();
  }
  return {};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A pipe through which the test and a child process signal each other.
struct Signal {
  Signal() { EXPECT_EQ(pipe(ends), 0); }
  ~Signal() {
    close(ends[0]);
    close(ends[1]);
  }
  void Send(const std::string& text) { EXPECT_EQ(write(ends[1], text.data(), text.size()), ssize_t(text.size())); }
  // The text sent, or empty when none came within five seconds.
  std::string Receive() {
    pollfd readable{ends[0], POLLIN, 0};
    char buffer[64];
    const ssize_t n = poll(&readable, 1, 5000) > 0 ? read(ends[0], buffer, sizeof buffer) : 0;
    return std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  }
  int ends[2] = {-1, -1};
};

class TermiosFailureTest : public ::testing::Test {
 protected:
  TermiosFailureTest() {
    MapPortToDevice(kPort, pty.SlavePath());
    control->CommPort(kPort);
  }
  ~TermiosFailureTest() override { MapPortToDevice(kPort, ""); }

  TestPtyPair pty;
  std::shared_ptr<SerialControl> control = CreatePlatformSerialControl();
};

TEST_F(TermiosFailureTest, FarEndClosingMidUseRaises8020UntilTheLineIsOpenedAgain) {
  control->PortOpen(true);
  control->Output("*RST\r");
  pty.CloseMaster();

  const ErrorRecord error = ErrorOf([&] { control->WaitForInput(10000); });
  EXPECT_EQ(error.number, kErrReadingDevice);
  EXPECT_EQ(error.source, "SerialControl - WaitForInput");
  EXPECT_TRUE(Contains(error.description, pty.SlavePath() + ") hung up")) << error.description;
  EXPECT_FALSE(control->PortOpen());
  EXPECT_EQ(ErrorOf([&] { control->Input(); }).number, kErrReadingDevice);
  EXPECT_EQ(ErrorOf([&] { control->Output("x"); }).number, kErrReadingDevice);

  TestPtyPair replugged;
  MapPortToDevice(kPort, replugged.SlavePath());
  control->PortOpen(true);
  control->Output("back");
  EXPECT_EQ(replugged.Read(4), "back");
}

TEST_F(TermiosFailureTest, APortLockedByAnotherProgramIsRefusedWith8010NamingIt) {
  Signal locked, release;
  const std::string device = pty.SlavePath();
  ChildProcess holder([&] {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    locked.Send(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? std::to_string(getpid()) : "failed");
    release.Receive();
    return std::string();
  });
  const std::string holderPid = locked.Receive();
  ASSERT_FALSE(holderPid.empty() || holderPid == "failed") << "the child could not take the lock";
  const ErrorRecord error = ErrorOf([&] { control->PortOpen(true); });
  release.Send("go");
  holder.Finish();

  EXPECT_EQ(error.number, kErrHardwareNotAvailable);
  EXPECT_EQ(error.source, "SerialControl - PortOpen");
  EXPECT_TRUE(Contains(error.description, device + ") is in use by")) << error.description;
  EXPECT_TRUE(Contains(error.description, "process " + holderPid)) << error.description;
  EXPECT_FALSE(control->PortOpen());
}

// Neither through the lock nor, for an ordinary user, by opening at all (exclusive mode).
TEST_F(TermiosFailureTest, AnOpenLineKeepsOtherProgramsOut) {
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0666), 0);
  control->PortOpen(true);
  const auto tryToTake = [device = pty.SlavePath()] {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::string(errno == EBUSY ? "refused at open" : "open failed");
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return std::string(locked ? "taken" : "refused by the lock");
  };
  EXPECT_EQ(ChildProcess(tryToTake).Finish(), "refused by the lock");
  const std::string ordinaryUser = ChildProcess(tryToTake, true).Finish();
  if (ordinaryUser != kCannotDropPrivileges) {
    EXPECT_EQ(ordinaryUser, "refused at open");
  }
  const std::shared_ptr<SerialControl> second = CreatePlatformSerialControl();
  second->CommPort(kPort);
  const ErrorRecord error = ErrorOf([&] { second->PortOpen(true); });
  EXPECT_EQ(error.number, kErrHardwareNotAvailable);
  EXPECT_TRUE(Contains(error.description, "this program")) << error.description;
}

TEST_F(TermiosFailureTest, DevicesThatCannotServeSayWhy) {
  struct Row {
    const char* device;
    int32_t number;
    const char* says;
  };
  const Row rows[] = {
      {"/dev/kivocom-no-such-tty", kErrInvalidPortNumber,
       "COM202 is /dev/kivocom-no-such-tty, which has no device behind it (No such file or directory)"},
      {"/dev/null", kErrDeviceNotOpen, "COM202 (/dev/null) is not a serial device"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.device);
    MapPortToDevice(kPort, row.device);
    const ErrorRecord error = ErrorOf([&] { control->PortOpen(true); });
    EXPECT_EQ(error.number, row.number);
    EXPECT_TRUE(Contains(error.description, row.says)) << error.description;
    EXPECT_FALSE(control->PortOpen());
  }
  EXPECT_EQ(OpenError("s", 7, "/dev/ttyS6", ENXIO).Number(), kErrInvalidPortNumber);
  EXPECT_EQ(OpenError("s", 7, "/dev/ttyS6", EBUSY).Number(), kErrHardwareNotAvailable);
  EXPECT_TRUE(Contains(OpenError("s", 7, "/dev/ttyS6", EMFILE).Description(), "Too many open files"));
}

TEST_F(TermiosFailureTest, PermissionDeniedNamesTheDeviceAndTheFix) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to try the device as another user";
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0600), 0);
  const auto openAsOrdinaryUser = [] {
    const std::shared_ptr<SerialControl> other = CreatePlatformSerialControl();
    other->CommPort(kPort);
    const ErrorRecord error = ErrorOf([&] { other->PortOpen(true); });
    return std::to_string(error.number) + " " + error.description;
  };
  const std::string text = ChildProcess(openAsOrdinaryUser, true).Finish();
  if (text == kCannotDropPrivileges) GTEST_SKIP() << text;
  EXPECT_TRUE(Contains(text, std::to_string(kErrDeviceNotOpen) + " COM202 (" + pty.SlavePath() +
                                 ") cannot be opened: Permission denied"))
      << text;
  EXPECT_TRUE(Contains(text, "access") || Contains(text, "group")) << text;
}

}  // namespace
}  // namespace kivocom
