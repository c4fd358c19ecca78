// Who holds a serial device, found through /proc.
#include "platform/posix/termios_port_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace kivocom {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMostNamed = 3;

bool SameFile(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A /proc/locks line reads "1: FLOCK ADVISORY WRITE 4242 00:05:87 0 EOF": the process, then
// the file as major:minor (hexadecimal, of the file system) and inode.
std::set<long> LockingProcesses(const struct stat& device) {
  std::set<long> pids;
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    if (line.find("->") != std::string::npos) continue;  // a waiter, not a holder
    std::istringstream fields(line);
    std::string previous, field;
    while (fields >> field) {
      unsigned fsMajor = 0, fsMinor = 0;
      unsigned long inode = 0;
      if (std::sscanf(field.c_str(), "%x:%x:%lu", &fsMajor, &fsMinor, &inode) == 3 &&
          field.find(':') != field.rfind(':')) {
        if (fsMajor == major(device.st_dev) && fsMinor == minor(device.st_dev) && inode == device.st_ino)
          pids.insert(std::atol(previous.c_str()));
        break;
      }
      previous = field;
    }
  }
  return pids;
}

bool ProcessHasOpen(const fs::path& process, const struct stat& device) {
  std::error_code error;
  for (fs::directory_iterator it(process / "fd", error), end; !error && it != end; it.increment(error)) {
    struct stat st{};
    if (stat(it->path().c_str(), &st) == 0 && SameFile(st, device)) return true;
  }
  return false;
}

std::set<long> OpeningProcesses(const struct stat& device) {
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
  std::set<long> pids = LockingProcesses(st);
  if (pids.empty()) pids = OpeningProcesses(st);
  std::string names;
  std::size_t named = 0;
  for (long pid : pids) {
    if (named++ == kMostNamed) return names + " and others";
    names += (names.empty() ? "" : ", ") + ProcessName(pid);
  }
  return names;
}

}  // namespace kivocom
