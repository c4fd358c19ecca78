// SPDX-License-Identifier: MIT
// The port probe on this system: pseudo-terminals mapped to port numbers, free, held by other
// processes and never opened by the probe; paths that are no port; and device trees and kernel
// tables prepared in a folder around a real device node.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "kivocom/comport.h"
#include "kivocom/pick_list_controls.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "platform/ports/posix/port_probe_linux.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kPtyPort = 241;
constexpr int32_t kOtherPort = 242;

// A pseudo-terminal whose slave nobody has opened: the instrument side holds only the master.
class Pty {
 public:
  Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = ptsname(master_);
  }
  ~Pty() { close(master_); }
  const std::string& Slave() const { return slave_; }
  // Whether the master saw a hang-up, which follows when an opened slave is closed again.
  bool MasterSawHangUp() const {
    pollfd p{master_, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
  }

 private:
  int master_;
  std::string slave_;
};

// Another process that holds `path` open, with an exclusive lock when `lock`, until it ends.
class HoldingProcess {
 public:
  HoldingProcess(const std::string& path, bool lock) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]), close(release[1]);
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = (fd >= 0 && (!lock || flock(fd, LOCK_EX | LOCK_NB) == 0)) ? 'y' : 'n';
      char byte;
      if (write(ready[1], &ok, 1) == 1)
        while (read(release[0], &byte, 1) > 0) {
        }
      _exit(0);
    }
    close(ready[1]), close(release[0]);
    release_ = release[1];
    pollfd p{ready[0], POLLIN, 0};
    char ok = 'n';
    holding_ = poll(&p, 1, 2000) == 1 && read(ready[0], &ok, 1) == 1 && ok == 'y';
    close(ready[0]);
  }
  ~HoldingProcess() {
    close(release_);
    waitpid(pid_, nullptr, 0);
  }
  bool Holding() const { return holding_; }
  int32_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool holding_ = false;
};

std::optional<PortInfo> Listed(int32_t port) {
  for (const PortInfo& info : ListSerialPorts())
    if (info.number == port) return info;
  return std::nullopt;
}

// The image of `port`'s item after FillCOMPortsCombo through the system probe; 0 for no item.
int32_t ImageInPickList(int32_t port, int16_t current = 0) {
  struct Combo : ImageCombo, ComboItems, ComboItem {
    ComboItems& Items() override { return *this; }
    void Clear() override {}
    ComboItem& Add(const std::string& key, const std::string&, int32_t image) override {
      if (key == std::to_string(wanted) + " COM" + std::to_string(wanted)) found = image;
      return *this;
    }
    void Tag(const std::string&) override {}
    void Selected(bool) override {}
    int32_t wanted = 0, found = 0;
  } combo;
  combo.wanted = port;
  CCOMPort().FillCOMPortsCombo(combo, current);
  return combo.found;
}

class PortProbeSystemTest : public MemoryLineTest {
 protected:
  ~PortProbeSystemTest() override {
    MapPortToDevice(kPtyPort, "");
    MapPortToDevice(kOtherPort, "");
  }
};

// Listed as free, and never opened: no open or close reaches the slave's node, and the master
// sees no hang-up. Opening the slave once at the end shows that both signs do catch an open.
TEST_F(PortProbeSystemTest, MappedPseudoTerminalIsListedAsFreeWithoutBeingOpened) {
  Pty pty;
  ASSERT_FALSE(pty.Slave().empty());
  MapPortToDevice(kPtyPort, pty.Slave());
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, pty.Slave().c_str(), IN_OPEN | IN_CLOSE), 0);
  char events[4096];

  EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortAvailable);
  const std::optional<PortInfo> info = Listed(kPtyPort);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->devicePath, pty.Slave());
  EXPECT_EQ(info->deviceNode, pty.Slave());
  EXPECT_EQ(info->state, PortState::Free);
  EXPECT_EQ(info->holderPid, 0);
  EXPECT_FALSE(info->usb.has_value());
  EXPECT_EQ(ImageInPickList(kPtyPort), 3);
  EXPECT_EQ(ImageInPickList(kPtyPort, kPtyPort), 2);

  EXPECT_LT(read(watch, events, sizeof events), 0) << "the probe opened the device";
  EXPECT_FALSE(pty.MasterSawHangUp()) << "the slave was opened and closed";
  close(open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  EXPECT_GT(read(watch, events, sizeof events), 0);
  EXPECT_TRUE(pty.MasterSawHangUp());
  close(watch);
}

// A lock shows in the kernel's lock table, a plain open only among open files. This process's
// own open files and locks do not count.
TEST_F(PortProbeSystemTest, DeviceHeldByAnotherProcessIsInUse) {
  std::string ownProgram;
  std::getline(std::ifstream("/proc/self/comm"), ownProgram);
  for (bool lock : {true, false}) {
    SCOPED_TRACE(lock ? "locked" : "only open");
    Pty pty;
    MapPortToDevice(kPtyPort, pty.Slave());
    {
      HoldingProcess holder(pty.Slave(), lock);
      ASSERT_TRUE(holder.Holding());
      EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortInUse);
      const std::optional<PortInfo> info = Listed(kPtyPort);
      ASSERT_TRUE(info.has_value());
      EXPECT_EQ(info->state, PortState::InUse);
      EXPECT_EQ(info->holderPid, holder.Pid());
      EXPECT_EQ(info->holderProgram, ownProgram) << "a forked child runs this program";
      EXPECT_EQ(ImageInPickList(kPtyPort), 1);
    }
    const int own = open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(flock(own, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortAvailable);
    close(own);
  }
}

TEST_F(PortProbeSystemTest, PathsThatAreNoSerialDeviceAreNotPorts) {
  for (const char* path : {"/nonexistent/kivocom-probe/ttyUSB9", "/dev/null", "/tmp"}) {
    SCOPED_TRACE(path);
    MapPortToDevice(kOtherPort, path);
    EXPECT_EQ(IsCOMPortAvailable(kOtherPort), kPortNotFound);
    EXPECT_FALSE(Listed(kOtherPort).has_value());
  }
}

// The kernel makes ttyS nodes for UART slots with no hardware (type 0); none may be listed.
TEST_F(PortProbeSystemTest, PlaceholderUartsOfThisMachineAreNotListed) {
  int checked = 0;
  for (int index = 0; index < 256; ++index) {
    std::string type;
    std::ifstream("/sys/class/tty/ttyS" + std::to_string(index) + "/type") >> type;
    if (type != "0" || PortDevicePath(index + 1) != "/dev/ttyS" + std::to_string(index)) continue;
    EXPECT_EQ(IsCOMPortAvailable(index + 1), kPortNotFound) << "ttyS" << index;
    ++checked;
  }
  RecordProperty("placeholder_uarts_checked", checked);
}

// Without a lock table (no /proc) the probe has to open the device; it still sees a lock.
TEST_F(PortProbeSystemTest, WithoutALockTableTheDeviceIsOpenedAsALastResort) {
  char folder[] = "/tmp/kivocom-probe-XXXXXX";
  const probe::SystemPaths noProc{"/sys", mkdtemp(folder), {}};
  Pty pty;
  MapPortToDevice(kPtyPort, pty.Slave());
  EXPECT_EQ(probe::LinuxPortProbe(noProc).IsCOMPortAvailable(kPtyPort), kPortAvailable);
  EXPECT_TRUE(pty.MasterSawHangUp()) << "the device was opened";
  HoldingProcess holder(pty.Slave(), true);
  ASSERT_TRUE(holder.Holding());
  EXPECT_EQ(probe::LinuxPortProbe(noProc).IsCOMPortAvailable(kPtyPort), kPortInUse);
  fs::remove_all(folder);
}

// A device tree and kernel tables in a temporary folder. /dev/tty stands in for the serial
// device: it exists everywhere, and the prepared driver table says a serial driver serves it.
class PreparedSystemTest : public PortProbeSystemTest {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/kivocom-probe-XXXXXX";
    root_ = mkdtemp(folder);
    ASSERT_EQ(stat("/dev/tty", &node), 0);
    Write("proc/tty/drivers", "fake /dev/tty " + std::to_string(major(node.st_rdev)) + " " +
                                  std::to_string(minor(node.st_rdev)) + " serial\n");
    Write("proc/locks", "");
    fs::create_directories(root_ / "lock");
    MapPortToDevice(kOtherPort, "/dev/tty");
  }
  ~PreparedSystemTest() override { fs::remove_all(root_); }

  std::optional<PortInfo> Inspect() {
    const probe::SystemPaths paths{root_ / "sys", root_ / "proc", {(root_ / "lock").string()}};
    return probe::LinuxPortProbe(paths).Inspect(kOtherPort);
  }
  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << text;
  }
  void Link(const std::string& relative, const std::string& targetRelative) {
    fs::remove(root_ / relative);
    fs::create_directories((root_ / relative).parent_path());
    fs::create_directory_symlink(root_ / targetRelative, root_ / relative);
  }
  // Places the tty at `ttyPath` below sys/devices, its hardware at `hardwarePath`.
  void AddTty(const std::string& ttyPath, const std::string& hardwarePath) {
    fs::create_directories(root_ / "sys/devices" / ttyPath);
    Link("sys/dev/char/" + std::to_string(major(node.st_rdev)) + ":" +
             std::to_string(minor(node.st_rdev)),
         "sys/devices/" + ttyPath);
    Link("sys/devices/" + ttyPath + "/device", "sys/devices/" + hardwarePath);
  }

  struct stat node{};
  fs::path root_;
};

TEST_F(PreparedSystemTest, UartPlaceholdersAreNotPorts) {
  struct Row {
    const char* name;
    const char* type;    // nullptr: no type attribute
    const char* driver;  // the driver bound to the hardware
    bool port;
  };
  const Row rows[] = {
      {"type 0", "0\n", "port", false},
      {"type 4, a 16550A", "4\n", "port", true},
      {"legacy platform device without type", nullptr, "serial8250", false},
  };
  const std::string hardware = "platform/serial8250/serial8250:0/serial8250:0.3";
  AddTty(hardware + "/tty/ttyS3", hardware);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(root_ / "sys/devices" / hardware / "tty/ttyS3/type");
    if (row.type) Write("sys/devices/" + hardware + "/tty/ttyS3/type", row.type);
    Link("sys/devices/" + hardware + "/driver", std::string("sys/bus/drivers/") + row.driver);
    EXPECT_EQ(Inspect().has_value(), row.port);
  }
}

// A serial line the kernel writes its console to (console=ttyS0) is no port to offer.
TEST_F(PreparedSystemTest, ConsolesAreNotPorts) {
  const std::string hardware = "platform/serial8250/serial8250:0/serial8250:0.0";
  AddTty(hardware + "/tty/ttyS0", hardware);
  Write("sys/devices/" + hardware + "/tty/ttyS0/type", "4\n");
  Link("sys/devices/" + hardware + "/driver", "sys/bus/drivers/port");
  ASSERT_TRUE(Inspect().has_value());
  Write("proc/consoles", "tty                  -W- (EC p a)    5:0\n");
  EXPECT_FALSE(Inspect().has_value()) << "listed in /proc/consoles";
  Write("proc/consoles", "");
  Write("sys/class/tty/console/active", "tty0 tty\n");
  EXPECT_FALSE(Inspect().has_value()) << "named by the active consoles";
}

TEST_F(PreparedSystemTest, UsbAdapterDetailsComeFromTheDeviceTree) {
  const std::string usb = "pci0000:00/0000:00:14.0/usb1/1-2";
  Write("sys/devices/" + usb + "/idVendor", "0403\n");
  Write("sys/devices/" + usb + "/idProduct", "6001\n");
  Write("sys/devices/" + usb + "/serial", "A50285BI\n");
  Write("sys/devices/" + usb + "/manufacturer", "FTDI\n");
  Write("sys/devices/" + usb + "/product", "FT232R USB UART\n");
  AddTty(usb + "/1-2:1.0/ttyUSB0/tty/ttyUSB0", usb + "/1-2:1.0/ttyUSB0");
  const std::optional<PortInfo> info = Inspect();
  ASSERT_TRUE(info.has_value() && info->usb.has_value());
  EXPECT_EQ(info->usb->vendorId, 0x0403);
  EXPECT_EQ(info->usb->productId, 0x6001);
  EXPECT_EQ(info->usb->serialNumber, "A50285BI");
  EXPECT_EQ(info->usb->manufacturer, "FTDI");
  EXPECT_EQ(info->usb->product, "FT232R USB UART");
}

TEST_F(PreparedSystemTest, LockTableAloneMarksThePortHeld) {
  char line[128];
  std::snprintf(line, sizeof line, "1: FLOCK  ADVISORY  WRITE 4242 %02x:%02x:%llu 0 EOF\n",
                major(node.st_dev), minor(node.st_dev),
                static_cast<unsigned long long>(node.st_ino));
  Write("proc/locks", line);
  const std::optional<PortInfo> info = Inspect();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->state, PortState::InUse);
  EXPECT_EQ(info->holderPid, 4242);
}

// A pipe left in the lock folder must not block the probe.
TEST_F(PreparedSystemTest, LockFilesCountOnlyWithARunningOwner) {
  ASSERT_EQ(mkfifo((root_ / "lock/LCK..fifo").c_str(), 0666), 0);
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  HoldingProcess running("/dev/null", false);
  const std::pair<int32_t, PortState> rows[] = {
      {running.Pid(), PortState::InUse}, {gone, PortState::Free}, {getpid(), PortState::Free}};
  for (const auto& [pid, state] : rows) {
    SCOPED_TRACE(pid);
    char content[16];
    std::snprintf(content, sizeof content, "%10d\n", pid);
    Write("lock/LCK..tty", content);
    const std::optional<PortInfo> info = Inspect();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->state, state);
  }
}

}  // namespace
}  // namespace kivocom
