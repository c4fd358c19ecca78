// SPDX-License-Identifier: MIT
// The Linux port probe: which port numbers name serial ports and which of those are held, told
// from device nodes, the device tree and the kernel's tables without opening the devices.
#include "platform/ports/posix/port_probe_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "kivocom/port_devices.h"
#include "platform/line/simulated_device.h"
#include "platform/network/network_address.h"

namespace kivocom::probe {
namespace {

constexpr size_t kTableLimit = 4 << 20;   // the kernel tables read, at most
constexpr size_t kAttributeLimit = 4096;  // a device-tree attribute or a lock file, at most

// Reads a regular file of at most `limit` bytes. Never blocks on a pipe or device someone left
// in a lock folder, and with `followLink` false does not follow a link in the last component.
std::optional<std::string> ReadTextFile(const std::string& path, size_t limit,
                                        bool followLink = true) {
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW);
  const int fd = open(path.c_str(), flags);
  if (fd < 0) return std::nullopt;
  struct stat st{};
  std::optional<std::string> text;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    text.emplace();
    char buffer[4096];
    ssize_t n = 0;
    while (text->size() < limit && (n = read(fd, buffer, sizeof buffer)) > 0)
      text->append(buffer, static_cast<size_t>(n));
    if (n < 0 || text->size() > limit) text.reset();
  }
  close(fd);
  return text;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string LinkTarget(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

std::string LastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool IsNumber(const char* name) {
  if (!*name) return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

bool ProcessIsAlive(int32_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// The character devices under /dev that process `pid` has open (links, not opens, are read).
void CollectOpenDevices(const std::string& fdDir, int32_t pid, std::vector<OpenDevice>& out) {
  const int dirFd = open(fdDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = fdopendir(dirFd);
  if (!dir) {
    close(dirFd);
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    char target[16];
    const ssize_t n = readlinkat(dirFd, entry->d_name, target, sizeof target);
    if (n < 5 || std::string_view(target, 5) != "/dev/") continue;
    struct stat st{};
    if (fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode))
      out.push_back({NodeIdentity{st.st_dev, st.st_ino, st.st_rdev}, pid});
  }
  closedir(dir);
}

}  // namespace

LinuxPortProbe::LinuxPortProbe(SystemPaths paths) : paths_(std::move(paths)), ownPid_(getpid()) {}

int32_t LinuxPortProbe::IsCOMPortAvailable(int32_t port) {
  const std::optional<PortInfo> info = Find(port, false);
  if (!info) return kPortNotFound;
  const bool free = info->state == PortState::Free || info->state == PortState::Network;
  return free ? kPortAvailable : kPortInUse;
}

std::optional<PortInfo> LinuxPortProbe::Inspect(int32_t port) { return Find(port, true); }

// Existence from the node and the device tree; then who holds it, from the kernel's lock table,
// lock files and open files; then whether this user may open it. The device itself is opened
// only when the lock table cannot be read.
std::optional<PortInfo> LinuxPortProbe::Find(int32_t port, bool withDetails) {
  PortInfo info;
  info.number = port;
  info.devicePath = PortDevicePath(port);
  if (info.devicePath.empty()) return std::nullopt;
  if (IsNetworkDevice(info.devicePath)) {
    info.deviceNode = info.devicePath;
    info.state = PortState::Network;
    return info;
  }
  // Simulated instruments are always there and free: they live in whichever process opens them.
  if (IsSimulatedDevice(info.devicePath)) {
    info.deviceNode = info.devicePath;
    return info;
  }
  NodeIdentity identity;
  std::string treeEntry;
  if (!IsSerialPort(ReadFacts(info.devicePath, identity, treeEntry))) return std::nullopt;
  info.deviceNode = RealPath(info.devicePath);
  if (info.deviceNode.empty()) info.deviceNode = info.devicePath;
  ReadKernelTables();
  if (consoles_.count(info.deviceNode.substr(info.deviceNode.rfind('/') + 1))) return std::nullopt;

  const Holding holding = FindHolder(info, identity);
  if (holding.held) {
    info.state = PortState::InUse;
    info.holderPid = holding.pid;
  } else if (faccessat(AT_FDCWD, info.devicePath.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
    info.state = PortState::NoAccess;
  } else if (!lockTableReadable_) {
    const std::optional<PortState> state = StateByOpening(info.devicePath);
    if (!state) return std::nullopt;
    info.state = *state;
  }
  if (withDetails) {
    if (info.holderPid > 0) info.holderProgram = ProgramName(info.holderPid);
    if (!treeEntry.empty()) info.usb = ReadUsbAdapter(treeEntry);
  }
  return info;
}

DeviceFacts LinuxPortProbe::ReadFacts(const std::string& path, NodeIdentity& identity,
                                      std::string& treeEntry) {
  DeviceFacts facts;
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return facts;
  facts.exists = true;
  facts.charDevice = S_ISCHR(st.st_mode);
  if (!facts.charDevice) return facts;
  identity = NodeIdentity{st.st_dev, st.st_ino, st.st_rdev};

  ReadKernelTables();
  facts.driverTableRead = driverTableReadable_;
  if (const TtyDriver* driver = FindTtyDriver(ttyDrivers_, major(st.st_rdev), minor(st.st_rdev)))
    facts.driverType = driver->type;

  treeEntry = RealPath(paths_.sysRoot + "/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                       std::to_string(minor(st.st_rdev)));
  if (treeEntry.empty()) return facts;
  facts.inDeviceTree = true;
  facts.virtualDevice = treeEntry.find("/devices/virtual/") != std::string::npos;
  if (auto type = ReadTextFile(treeEntry + "/type", kAttributeLimit)) facts.uartType = *type;
  const std::string driver = LinkTarget(treeEntry + "/device/driver");
  if (!driver.empty()) facts.deviceDriver = LastComponent(driver);
  return facts;
}

LinuxPortProbe::Holding LinuxPortProbe::FindHolder(const PortInfo& info,
                                                   const NodeIdentity& identity) {
  Holding holding;
  for (const FileLock& lock : locks_) {
    if (lock.pid == ownPid_ || !LockIsOn(lock, identity)) continue;
    holding.held = true;
    if (lock.pid > 0) {
      holding.pid = lock.pid;
      return holding;
    }
  }
  ScanHolders();
  for (const std::string& name : LockFileNames(info.devicePath, info.deviceNode))
    if (const auto owner = lockFiles_.find(name); owner != lockFiles_.end())
      return Holding{true, owner->second};
  for (const OpenDevice& open : openDevices_)
    if (SameDevice(identity, open.identity)) return Holding{true, open.pid};
  return holding;
}

// The last resort, where the system shows no locks: open without waiting for carrier and
// without taking the device as controlling terminal, and see whether an exclusive lock is free.
// Nullopt when no device answers (a UART placeholder refuses to open).
std::optional<PortState> LinuxPortProbe::StateByOpening(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EACCES || errno == EPERM) return PortState::NoAccess;
    if (errno == EIO || errno == ENXIO || errno == ENODEV || errno == ENOENT) return std::nullopt;
    return PortState::InUse;
  }
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free ? PortState::Free : PortState::InUse;
}

// The USB device is the nearest ancestor of the tty's hardware that carries vendor and product ids.
std::optional<UsbAdapter> LinuxPortProbe::ReadUsbAdapter(const std::string& treeEntry) {
  const std::string top = RealPath(paths_.sysRoot + "/devices");
  std::string dir = RealPath(treeEntry + "/device");
  while (!top.empty() && dir.size() > top.size() && dir.starts_with(top + "/")) {
    if (auto vendor = ReadTextFile(dir + "/idVendor", kAttributeLimit)) {
      const auto attribute = [&](const char* name) {
        return ReadTextFile(dir + "/" + name, kAttributeLimit).value_or("");
      };
      return UsbAdapterFrom(UsbAttributes{*vendor, attribute("idProduct"), attribute("serial"),
                                          attribute("manufacturer"), attribute("product")});
    }
    dir.resize(dir.rfind('/'));
  }
  return std::nullopt;
}

std::string LinuxPortProbe::ProgramName(int32_t pid) {
  const std::string path = paths_.procRoot + "/" + std::to_string(pid) + "/comm";
  return SysfsText(ReadTextFile(path, kAttributeLimit).value_or(""));
}

void LinuxPortProbe::ReadKernelTables() {
  if (kernelTablesRead_) return;
  kernelTablesRead_ = true;
  if (auto drivers = ReadTextFile(paths_.procRoot + "/tty/drivers", kTableLimit)) {
    driverTableReadable_ = true;
    ttyDrivers_ = ParseTtyDrivers(*drivers);
  }
  consoles_ = ParseConsoleNames(ReadTextFile(paths_.procRoot + "/consoles", kTableLimit).value_or(""),
                                ReadTextFile(paths_.sysRoot + "/class/tty/console/active", kAttributeLimit).value_or(""));
  if (auto locks = ReadTextFile(paths_.procRoot + "/locks", kTableLimit)) {
    lockTableReadable_ = true;
    locks_ = ParseProcLocks(*locks);
  }
}

// Lock files whose owner still runs, and the devices every visible process has open.
void LinuxPortProbe::ScanHolders() {
  if (holdersScanned_) return;
  holdersScanned_ = true;
  for (const std::string& folder : paths_.lockDirs) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (!name.starts_with("LCK..")) continue;
      const auto content = ReadTextFile(folder + "/" + name, kAttributeLimit, false);
      const auto pid = content ? ParseLockFilePid(*content) : std::nullopt;
      if (pid && *pid != ownPid_ && ProcessIsAlive(*pid)) lockFiles_.emplace(name, *pid);
    }
    closedir(dir);
  }
  DIR* proc = opendir(paths_.procRoot.c_str());
  if (!proc) return;
  while (const dirent* entry = readdir(proc)) {
    const int32_t pid = IsNumber(entry->d_name) ? std::atoi(entry->d_name) : 0;
    if (pid > 0 && pid != ownPid_)
      CollectOpenDevices(paths_.procRoot + "/" + entry->d_name + "/fd", pid, openDevices_);
  }
  closedir(proc);
}

}  // namespace kivocom::probe

namespace kivocom {

std::shared_ptr<PortProbe> CreateSystemPortProbe() {
  return std::make_shared<probe::LinuxPortProbe>();
}

std::vector<PortInfo> ListSerialPorts() {
  probe::LinuxPortProbe probe;
  std::vector<PortInfo> ports;
  for (int32_t n = 1; n <= kHighestPortNumber; ++n)
    if (auto info = probe.Inspect(n)) ports.push_back(std::move(*info));
  return ports;
}

}  // namespace kivocom
