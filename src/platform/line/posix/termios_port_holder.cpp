// SPDX-License-Identifier: MIT
// Who holds a serial device, found through /proc.
#include "platform/line/posix/termios_port_holder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/ports/posix/port_probe_parse.h"

namespace kivocom {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMostNamed = 3;

probe::NodeIdentity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_rdev}; }

// The processes the kernel's lock table shows holding a lock on the device.
std::set<long> LockingProcesses(const probe::NodeIdentity& device) {
  std::ifstream file("/proc/locks");
  const std::string table{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::set<long> pids;
  for (const probe::FileLock& lock : probe::ParseProcLocks(table))
    if (lock.pid > 0 && probe::LockIsOn(lock, device)) pids.insert(lock.pid);
  return pids;
}

bool ProcessHasOpen(const fs::path& process, const probe::NodeIdentity& device) {
  std::error_code error;
  for (fs::directory_iterator it(process / "fd", error), end; !error && it != end; it.increment(error)) {
    struct stat st{};
    if (stat(it->path().c_str(), &st) == 0 && probe::SameDevice(device, IdentityOf(st))) return true;
  }
  return false;
}

std::set<long> OpeningProcesses(const probe::NodeIdentity& device) {
  std::set<long> pids;
  std::error_code error;
  for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ProcessHasOpen(it->path(), device)) pids.insert(std::atol(name.c_str()));
  }
  return pids;
}

std::string ProcessName(long pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  if (name.empty()) name = "a program";
  name += " (process " + std::to_string(pid);
  if (pid == static_cast<long>(getpid())) name += ", this program";
  return name + ")";
}

}  // namespace

std::string DeviceHolder(const std::string& device) {
  struct stat st{};
  if (stat(device.c_str(), &st) != 0) return {};
  const probe::NodeIdentity identity = IdentityOf(st);
  std::set<long> pids = LockingProcesses(identity);
  if (pids.empty()) pids = OpeningProcesses(identity);
  std::string names;
  std::size_t named = 0;
  for (long pid : pids) {
    if (named++ == kMostNamed) return names + " and others";
    names += (names.empty() ? "" : ", ") + ProcessName(pid);
  }
  return names;
}

}  // namespace kivocom
