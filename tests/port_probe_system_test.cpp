// The port probe on this system: pseudo-terminals mapped to port numbers, held by other
// processes, missing paths, prepared device trees and kernel tables, and proof that probing
// does not open a free device.
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
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kivocom/comport.h"
#include "kivocom/pick_list_controls.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "platform/posix/port_probe_linux.h"
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
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slave_ = ptsname(master_);
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
  }
  const std::string& Slave() const { return slave_; }
  // Whether the master sees a hang-up: the slave was opened and closed again.
  bool MasterSawHangUp() const {
    pollfd p{master_, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
  }

 private:
  int master_;
  std::string slave_;
};

// Another process holding `path` open, with an exclusive advisory lock when `lock` is set, until
// the object ends.
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
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      char byte;
      while (read(release[0], &byte, 1) > 0) {
      }
      _exit(0);
    }
    close(ready[1]), close(release[0]);
    release_ = release[1];
    pollfd p{ready[0], POLLIN, 0};
    char ok = 'n';
    if (poll(&p, 1, 2000) == 1 && read(ready[0], &ok, 1) == 1) holding_ = (ok == 'y');
    close(ready[0]);
  }
  ~HoldingProcess() {
    if (release_ >= 0) close(release_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool Holding() const { return holding_; }
  int32_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool holding_ = false;
};

// Watches a path for opens and closes.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    watching_ = fd_ >= 0 && inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE) >= 0;
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  bool Watching() const { return watching_; }
  // Whether any open or close was seen since the last call.
  bool SawAccess() {
    char buffer[4096];
    bool seen = false;
    while (read(fd_, buffer, sizeof buffer) > 0) seen = true;
    return seen;
  }

 private:
  int fd_;
  bool watching_ = false;
};

std::optional<PortInfo> Listed(int32_t port) {
  for (const PortInfo& info : ListSerialPorts())
    if (info.number == port) return info;
  return std::nullopt;
}

std::string OwnProgramName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

struct Item : ComboItem {
  void Tag(const std::string& value) override { tag = value; }
  void Selected(bool) override {}
  std::string key, tag;
  int32_t image = 0;
};

class Combo : public ImageCombo, public ComboItems {
 public:
  ComboItems& Items() override { return *this; }
  void Clear() override { items.clear(); }
  ComboItem& Add(const std::string& key, const std::string&, int32_t image) override {
    items[key].key = key;
    items[key].image = image;
    return items[key];
  }
  std::map<std::string, Item> items;
};

class PortProbeSystemTest : public MemoryLineTest {
 protected:
  ~PortProbeSystemTest() override {
    MapPortToDevice(kPtyPort, "");
    MapPortToDevice(kOtherPort, "");
  }
};

TEST_F(PortProbeSystemTest, MappedPseudoTerminalIsListedAsFree) {
  Pty pty;
  ASSERT_FALSE(pty.Slave().empty());
  MapPortToDevice(kPtyPort, pty.Slave());

  EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortAvailable);
  const std::optional<PortInfo> info = Listed(kPtyPort);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->devicePath, pty.Slave());
  EXPECT_EQ(info->deviceNode, pty.Slave());
  EXPECT_EQ(info->state, PortState::Free);
  EXPECT_EQ(info->holderPid, 0);
  EXPECT_FALSE(info->usb.has_value());

  CCOMPort port;
  Combo combo;
  port.FillCOMPortsCombo(combo);
  const std::string key = std::to_string(kPtyPort) + " COM" + std::to_string(kPtyPort);
  ASSERT_TRUE(combo.items.contains(key));
  EXPECT_EQ(combo.items[key].image, 3);
  EXPECT_EQ(combo.items[key].tag, std::to_string(kPtyPort));
}

// An exclusive lock shows in the kernel's lock table; a plain open only among open files.
TEST_F(PortProbeSystemTest, DeviceHeldByAnotherProcessIsInUse) {
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
      EXPECT_EQ(info->holderProgram, OwnProgramName()) << "a forked child runs our program";

      CCOMPort port;
      Combo combo;
      port.FillCOMPortsCombo(combo);
      EXPECT_EQ(combo.items[std::to_string(kPtyPort) + " COM" + std::to_string(kPtyPort)].image, 1);
    }
    EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortAvailable) << "free again once the holder ends";
  }
}

TEST_F(PortProbeSystemTest, OwnOpenFilesDoNotMakeAPortHeld) {
  Pty pty;
  MapPortToDevice(kPtyPort, pty.Slave());
  const int fd = open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortAvailable);
  close(fd);
}

TEST_F(PortProbeSystemTest, PathsThatAreNoSerialDeviceAreNotPorts) {
  char fileTemplate[] = "/tmp/kivocom-probe-file-XXXXXX";
  const int fileFd = mkstemp(fileTemplate);
  ASSERT_GE(fileFd, 0);
  close(fileFd);
  const std::pair<const char*, std::string> rows[] = {
      {"missing path", "/nonexistent/kivocom-probe/ttyUSB9"},
      {"regular file", fileTemplate},
      {"a directory", "/tmp"},
      {"a character device that is no tty", "/dev/null"},
  };
  for (const auto& [name, path] : rows) {
    SCOPED_TRACE(name);
    MapPortToDevice(kOtherPort, path);
    EXPECT_EQ(IsCOMPortAvailable(kOtherPort), kPortNotFound);
    EXPECT_FALSE(Listed(kOtherPort).has_value());
  }
  std::remove(fileTemplate);
}

// The kernel creates ttyS nodes for UART slots with no hardware; none of them may be listed.
TEST_F(PortProbeSystemTest, PlaceholderUartsOfThisMachineAreNotListed) {
  int checked = 0;
  for (int index = 0; index < 256; ++index) {
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(index) + "/type");
    std::string value;
    if (!(type >> value) || value != "0") continue;
    if (PortDevicePath(index + 1) != "/dev/ttyS" + std::to_string(index)) continue;
    EXPECT_EQ(IsCOMPortAvailable(index + 1), kPortNotFound) << "ttyS" << index;
    EXPECT_FALSE(Listed(index + 1).has_value()) << "ttyS" << index;
    ++checked;
  }
  RecordProperty("placeholder_uarts_checked", checked);
}

// Evidence that probing leaves a free device alone: no open or close reaches the slave's node,
// and the master never sees the hang-up that closing an opened slave causes.
TEST_F(PortProbeSystemTest, ProbingDoesNotOpenAFreeDevice) {
  Pty pty;
  MapPortToDevice(kPtyPort, pty.Slave());
  OpenWatch watch(pty.Slave());
  ASSERT_TRUE(watch.Watching());

  EXPECT_EQ(IsCOMPortAvailable(kPtyPort), kPortAvailable);
  EXPECT_TRUE(Listed(kPtyPort).has_value());
  CCOMPort port;
  Combo combo;
  port.FillCOMPortsCombo(combo, kPtyPort);

  EXPECT_FALSE(watch.SawAccess()) << "the probe opened the device";
  EXPECT_FALSE(pty.MasterSawHangUp()) << "the slave was opened and closed";

  // The watch and the hang-up do catch an open: open and close the slave once.
  close(open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  EXPECT_TRUE(watch.SawAccess());
  EXPECT_TRUE(pty.MasterSawHangUp());
}

// A device tree and kernel tables prepared in a temporary folder, around a real device node.
class FakeSystem {
 public:
  FakeSystem() {
    char folder[] = "/tmp/kivocom-probe-XXXXXX";
    root_ = mkdtemp(folder);
    fs::create_directories(root_ / "sys/dev/char");
    fs::create_directories(root_ / "proc/tty");
    fs::create_directories(root_ / "lock");
    Write("proc/locks", "");
  }
  ~FakeSystem() { fs::remove_all(root_); }

  probe::SystemPaths Paths() const {
    return {root_ / "sys", root_ / "proc", {(root_ / "lock").string()}};
  }
  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << text;
  }
  void Link(const std::string& relative, const std::string& targetRelative) {
    fs::create_directories((root_ / relative).parent_path());
    fs::create_directory_symlink(root_ / targetRelative, root_ / relative);
  }
  // Places device `rdev` at `treePath` below sys/devices and returns that folder.
  std::string AddDevice(dev_t rdev, const std::string& treePath) {
    const std::string folder = "sys/devices/" + treePath;
    fs::create_directories(root_ / folder);
    Link("sys/dev/char/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev)), folder);
    return folder;
  }

 private:
  fs::path root_;
};

// /dev/tty stands in for a serial device: it exists everywhere, and the prepared driver table
// says a serial driver serves its number.
class PreparedSystemTest : public PortProbeSystemTest {
 protected:
  void SetUp() override {
    struct stat st{};
    ASSERT_EQ(stat("/dev/tty", &st), 0);
    rdev = st.st_rdev;
    MapPortToDevice(kOtherPort, "/dev/tty");
    Prepare(system);
  }
  void Prepare(FakeSystem& fake) const {
    fake.Write("proc/tty/drivers", "fake /dev/tty " + std::to_string(major(rdev)) + " " +
                                       std::to_string(minor(rdev)) + " serial\n");
  }
  static std::optional<PortInfo> Inspect(const FakeSystem& fake) {
    return probe::LinuxPortProbe(fake.Paths()).Inspect(kOtherPort);
  }
  std::optional<PortInfo> Inspect() const { return Inspect(system); }

  FakeSystem system;
  dev_t rdev = 0;
};

TEST_F(PreparedSystemTest, UartPlaceholdersAreNotPorts) {
  struct Row {
    const char* name;
    const char* type;    // nullptr: no type attribute
    const char* driver;  // the driver bound to the hardware folder
    bool port;
  };
  const Row rows[] = {
      {"type 0", "0\n", "port", false},
      {"type 4, a 16550A", "4\n", "port", true},
      {"legacy platform device without type", nullptr, "serial8250", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeSystem fake;
    Prepare(fake);
    const std::string hardware = "platform/serial8250/serial8250:0/serial8250:0.3";
    const std::string tty = fake.AddDevice(rdev, hardware + "/tty/ttyS3");
    if (row.type) fake.Write(tty + "/type", row.type);
    fake.Link(tty + "/device", "sys/devices/" + hardware);
    fake.Link("sys/devices/" + hardware + "/driver", std::string("sys/bus/serial/drivers/") + row.driver);
    EXPECT_EQ(Inspect(fake).has_value(), row.port);
  }
}

TEST_F(PreparedSystemTest, UsbAdapterDetailsComeFromTheDeviceTree) {
  const std::string usb = "pci0000:00/0000:00:14.0/usb1/1-2";
  for (const auto& [name, text] : std::map<std::string, std::string>{
           {"idVendor", "0403\n"}, {"idProduct", "6001\n"}, {"serial", "A50285BI\n"},
           {"manufacturer", "FTDI\n"}, {"product", "FT232R USB UART\n"}})
    system.Write("sys/devices/" + usb + "/" + name, text);
  const std::string port = usb + "/1-2:1.0/ttyUSB0";
  const std::string tty = system.AddDevice(rdev, port + "/tty/ttyUSB0");
  system.Link(tty + "/device", "sys/devices/" + port);

  const std::optional<PortInfo> info = Inspect();
  ASSERT_TRUE(info.has_value());
  ASSERT_TRUE(info->usb.has_value());
  EXPECT_EQ(info->usb->vendorId, 0x0403);
  EXPECT_EQ(info->usb->productId, 0x6001);
  EXPECT_EQ(info->usb->serialNumber, "A50285BI");
  EXPECT_EQ(info->usb->manufacturer, "FTDI");
  EXPECT_EQ(info->usb->product, "FT232R USB UART");
}

TEST_F(PreparedSystemTest, LockTableAloneMarksThePortHeld) {
  struct stat st{};
  ASSERT_EQ(stat("/dev/tty", &st), 0);
  char line[128];
  std::snprintf(line, sizeof line, "1: FLOCK  ADVISORY  WRITE 4242 %02x:%02x:%llu 0 EOF\n",
                major(st.st_dev), minor(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  system.Write("proc/locks", line);
  const std::optional<PortInfo> info = Inspect();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->state, PortState::InUse);
  EXPECT_EQ(info->holderPid, 4242);
}

TEST_F(PreparedSystemTest, LockFilesCountOnlyWithALiveOwner) {
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  HoldingProcess live("/dev/null", false);
  struct Row {
    const char* name;
    int32_t pid;
    PortState state;
  };
  const Row rows[] = {
      {"owner running", live.Pid(), PortState::InUse},
      {"owner gone", gone, PortState::Free},
      {"this process", static_cast<int32_t>(getpid()), PortState::Free},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    char content[16];
    std::snprintf(content, sizeof content, "%10d\n", row.pid);
    system.Write("lock/LCK..tty", content);
    const std::optional<PortInfo> info = Inspect();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->state, row.state);
  }
}

TEST_F(PreparedSystemTest, APipeInTheLockFolderDoesNotBlockTheProbe) {
  ASSERT_EQ(mkfifo((system.Paths().lockDirs[0] + "/LCK..tty").c_str(), 0666), 0);
  const std::optional<PortInfo> info = Inspect();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->state, PortState::Free);
}

// Without a lock table (no /proc) the probe must open the device to tell; it then still sees an
// exclusive lock.
TEST_F(PortProbeSystemTest, WithoutALockTableTheDeviceIsOpenedAsALastResort) {
  FakeSystem empty;
  fs::remove(empty.Paths().procRoot + "/locks");
  Pty pty;
  MapPortToDevice(kPtyPort, pty.Slave());
  probe::LinuxPortProbe freeProbe(empty.Paths());
  EXPECT_EQ(freeProbe.IsCOMPortAvailable(kPtyPort), kPortAvailable);
  EXPECT_TRUE(pty.MasterSawHangUp()) << "the device was opened";

  HoldingProcess holder(pty.Slave(), true);
  ASSERT_TRUE(holder.Holding());
  probe::LinuxPortProbe heldProbe(empty.Paths());
  EXPECT_EQ(heldProbe.IsCOMPortAvailable(kPtyPort), kPortInUse);
}

}  // namespace
}  // namespace kivocom
