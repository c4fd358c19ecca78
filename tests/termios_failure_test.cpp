// The termios serial line when things go wrong: the far end vanishing mid-use, another program
// holding the port, devices that are missing, refused or not serial at all.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kivocom/error.h"
#include "kivocom/port_devices.h"
#include "kivocom/serial_control.h"
#include "platform/posix/termios_errors.h"
#include "support/child_process.h"
#include "support/pty_pair.h"

namespace kivocom {
namespace {

constexpr int32_t kPort = 202;

// The error a call raises; a default record when it raises none.
ErrorRecord ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Record();
  }
  return {};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A pipe the test and a child process signal each other through.
struct Signal {
  Signal() {
    if (pipe(ends) != 0) ends[0] = ends[1] = -1;
  }
  ~Signal() {
    for (int fd : ends)
      if (fd >= 0) close(fd);
  }
  void Send(const std::string& text) { (void)!write(ends[1], text.data(), text.size()); }
  // The text sent, or empty when none came within five seconds.
  std::string Receive() {
    pollfd readable{ends[0], POLLIN, 0};
    if (poll(&readable, 1, 5000) <= 0) return {};
    char buffer[64];
    const ssize_t n = read(ends[0], buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }
  int ends[2];
};

class TermiosFailureTest : public ::testing::Test {
 protected:
  TermiosFailureTest() {
    MapPortToDevice(kPort, pty.SlavePath());
    control->CommPort(kPort);
  }
  ~TermiosFailureTest() override { MapPortToDevice(kPort, ""); }

  PtyPair pty;
  std::shared_ptr<SerialControl> control = CreatePlatformSerialControl();
};

TEST_F(TermiosFailureTest, FarEndClosingMidUseRaises8020AndTheLineReadsClosed) {
  control->PortOpen(true);
  control->Output("*RST\r");
  pty.CloseMaster();

  const ErrorRecord error = ErrorOf([&] { control->WaitForInput(10000); });
  EXPECT_EQ(error.number, kErrReadingDevice);
  EXPECT_EQ(error.source, "SerialControl - WaitForInput");
  EXPECT_TRUE(Contains(error.description, pty.SlavePath())) << error.description;
  EXPECT_TRUE(Contains(error.description, "hung up")) << error.description;
  EXPECT_FALSE(control->PortOpen());

  const std::vector<std::pair<const char*, std::function<void()>>> later = {
      {"Input", [&] { control->Input(); }},
      {"InBufferCount", [&] { control->InBufferCount(); }},
      {"OutBufferCount", [&] { control->OutBufferCount(0); }},
      {"Output", [&] { control->Output("x"); }},
  };
  for (const auto& [name, call] : later) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ErrorOf(call).number, kErrReadingDevice);
  }

  control->PortOpen(false);
  EXPECT_EQ(ErrorOf([&] { control->Input(); }).number, kErrPortNotOpen);
}

TEST_F(TermiosFailureTest, ALineThatVanishedWhileIdleReadsClosedAndOpensAgain) {
  control->PortOpen(true);
  pty.CloseMaster();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (control->PortOpen() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(control->PortOpen());
  EXPECT_EQ(ErrorOf([&] { control->Output("x"); }).number, kErrReadingDevice);

  PtyPair replugged;
  MapPortToDevice(kPort, replugged.SlavePath());
  control->PortOpen(true);
  control->Output("back");
  EXPECT_EQ(replugged.Read(4), "back");
  control->PortOpen(false);
}

TEST_F(TermiosFailureTest, APortLockedByAnotherProgramIsRefusedWith8010) {
  Signal locked, release;
  const std::string device = pty.SlavePath();
  ChildProcess holder([&] {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool gotLock = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    locked.Send(gotLock ? std::to_string(getpid()) : "failed");
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
  EXPECT_TRUE(Contains(error.description, device)) << error.description;
  EXPECT_TRUE(Contains(error.description, "process " + holderPid)) << error.description;
  EXPECT_FALSE(control->PortOpen());
  control->PortOpen(true);
  EXPECT_TRUE(control->PortOpen());
}

// Another program cannot take the line while it is open here: neither through the lock nor,
// for an ordinary user, by opening it at all (exclusive mode).
TEST_F(TermiosFailureTest, AnOpenLineKeepsOtherProgramsOut) {
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0666), 0);
  control->PortOpen(true);
  const std::string device = pty.SlavePath();
  const auto tryToTake = [device] {
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

TEST_F(TermiosFailureTest, AMissingDeviceSaysSoWith8002) {
  MapPortToDevice(kPort, "/dev/kivocom-no-such-tty");
  const ErrorRecord error = ErrorOf([&] { control->PortOpen(true); });
  EXPECT_EQ(error.number, kErrInvalidPortNumber);
  EXPECT_TRUE(Contains(error.description, "COM202 is /dev/kivocom-no-such-tty, which has no device behind it"))
      << error.description;
  EXPECT_FALSE(control->PortOpen());
}

TEST_F(TermiosFailureTest, ADeviceThatIsNotSerialIsRefusedWith8012) {
  MapPortToDevice(kPort, "/dev/null");
  const ErrorRecord error = ErrorOf([&] { control->PortOpen(true); });
  EXPECT_EQ(error.number, kErrDeviceNotOpen);
  EXPECT_TRUE(Contains(error.description, "/dev/null) is not a serial device")) << error.description;
  EXPECT_FALSE(control->PortOpen());
}

TEST_F(TermiosFailureTest, PermissionDeniedNamesTheDeviceAndTheFix) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to try the device as another user";
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0600), 0);
  const std::string text = ChildProcess(
                               [] {
                                 const std::shared_ptr<SerialControl> other = CreatePlatformSerialControl();
                                 other->CommPort(kPort);
                                 const ErrorRecord error = ErrorOf([&] { other->PortOpen(true); });
                                 return std::to_string(error.number) + " " + error.description;
                               },
                               true)
                               .Finish();
  if (text == kCannotDropPrivileges) GTEST_SKIP() << text;
  EXPECT_TRUE(Contains(text, std::to_string(kErrDeviceNotOpen) + " ")) << text;
  EXPECT_TRUE(Contains(text, pty.SlavePath() + ") cannot be opened: Permission denied")) << text;
  EXPECT_TRUE(Contains(text, "access") || Contains(text, "group")) << text;
}

TEST(TermiosErrors, SystemErrorsBecomeTheControlsNumbers) {
  struct Row {
    int err;
    int32_t number;
    const char* says;
  };
  const Row rows[] = {
      {ENOENT, kErrInvalidPortNumber, "COM7 is /dev/ttyS6, which has no device behind it"},
      {ENXIO, kErrInvalidPortNumber, "no device behind it"},
      {ENODEV, kErrInvalidPortNumber, "no device behind it"},
      {EBUSY, kErrHardwareNotAvailable, "COM7 (/dev/ttyS6) is in use by"},
      {EWOULDBLOCK, kErrHardwareNotAvailable, "is in use by"},
      {EACCES, kErrDeviceNotOpen, "COM7 (/dev/ttyS6) cannot be opened: Permission denied"},
      {ENOTTY, kErrDeviceNotOpen, "is not a serial device"},
      {EMFILE, kErrDeviceNotOpen, "cannot be opened: Too many open files"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.says);
    const Error error = OpenError("SerialControl - PortOpen", 7, "/dev/ttyS6", row.err);
    EXPECT_EQ(error.Number(), row.number);
    EXPECT_EQ(error.Source(), "SerialControl - PortOpen");
    EXPECT_TRUE(Contains(error.Description(), row.says)) << error.Description();
  }
  EXPECT_TRUE(Contains(DeviceError("s", 7, "/dev/ttyUSB0", 0).Description(), "COM7 (/dev/ttyUSB0) hung up"));
  EXPECT_TRUE(Contains(DeviceError("s", 7, "/dev/ttyUSB0", EIO).Description(), "failed: Input/output error"));
  EXPECT_EQ(DeviceError("s", 7, "/dev/ttyUSB0", EIO).Number(), kErrReadingDevice);
}

}  // namespace
}  // namespace kivocom
