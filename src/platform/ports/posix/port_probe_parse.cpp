// SPDX-License-Identifier: MIT
// The pure side of the Linux port probe: table and attribute parsing and the matching rules.
#include "platform/ports/posix/port_probe_parse.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <sstream>

namespace kivocom::probe {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (true) {
    pos = line.find_first_not_of(" \t", pos);
    if (pos == std::string_view::npos) return words;
    const size_t end = std::min(line.find_first_of(" \t", pos), line.size());
    words.push_back(line.substr(pos, end - pos));
    pos = end;
  }
}

template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    visit(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

// A whole word as a number in `base`; nullopt when any character is not a digit.
template <typename Number>
std::optional<Number> ToNumber(std::string_view word, int base = 10) {
  Number value{};
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value, base);
  if (word.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// "64" or "0-1048575".
bool ParseMinorRange(std::string_view word, uint32_t& first, uint32_t& last) {
  const size_t dash = word.find('-');
  const auto from = ToNumber<uint32_t>(word.substr(0, dash));
  const auto to = dash == std::string_view::npos ? from : ToNumber<uint32_t>(word.substr(dash + 1));
  if (!from || !to || *to < *from) return false;
  first = *from, last = *to;
  return true;
}

// "00:1a:3": file system major and minor in hex, then the inode in decimal.
bool ParseLockedFile(std::string_view word, FileLock& lock) {
  const size_t first = word.find(':');
  const size_t second = word.find(':', first == std::string_view::npos ? first : first + 1);
  if (second == std::string_view::npos) return false;
  const auto fsMajor = ToNumber<uint32_t>(word.substr(0, first), 16);
  const auto fsMinor = ToNumber<uint32_t>(word.substr(first + 1, second - first - 1), 16);
  const auto inode = ToNumber<uint64_t>(word.substr(second + 1));
  if (!fsMajor || !fsMinor || !inode) return false;
  lock.fsMajor = *fsMajor, lock.fsMinor = *fsMinor, lock.inode = *inode;
  return true;
}

std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsPseudoTerminalMajor(uint32_t major) {
  constexpr uint32_t kLegacyPtySlave = 3, kUnix98PtySlaveFirst = 136, kUnix98PtySlaveLast = 143;
  return major == kLegacyPtySlave ||
         (major >= kUnix98PtySlaveFirst && major <= kUnix98PtySlaveLast);
}

// A UART's type attribute tells whether hardware answered at its address (0: none). Without one,
// a device of the legacy serial8250 platform driver is one of the kernel's placeholders.
bool HasHardware(const DeviceFacts& facts) {
  if (facts.uartType) return SysfsText(*facts.uartType) != "0";
  return facts.deviceDriver != "serial8250";
}

}  // namespace

std::vector<TtyDriver> ParseTtyDrivers(std::string_view text) {
  std::vector<TtyDriver> drivers;
  ForEachLine(text, [&](std::string_view line) {
    const auto words = Words(line);
    TtyDriver driver;
    const auto number = words.size() == 5 ? ToNumber<uint32_t>(words[2]) : std::nullopt;
    if (!number || !ParseMinorRange(words[3], driver.minorFirst, driver.minorLast)) return;
    driver.name = words[0];
    driver.major = *number;
    driver.type = words[4];
    drivers.push_back(std::move(driver));
  });
  return drivers;
}

const TtyDriver* FindTtyDriver(const std::vector<TtyDriver>& drivers, uint32_t deviceMajor,
                               uint32_t deviceMinor) {
  for (const TtyDriver& driver : drivers)
    if (driver.major == deviceMajor && deviceMinor >= driver.minorFirst &&
        deviceMinor <= driver.minorLast)
      return &driver;
  return nullptr;
}

// A line reads "1: FLOCK  ADVISORY  WRITE 4504 00:1a:3 0 EOF"; a process waiting for a lock
// shows as "1: -> FLOCK ..." under the holder's line and is skipped.
std::vector<FileLock> ParseProcLocks(std::string_view text) {
  std::vector<FileLock> locks;
  ForEachLine(text, [&](std::string_view line) {
    const auto words = Words(line);
    if (words.size() < 6 || words[0].back() != ':' || words[1] == "->") return;
    FileLock lock;
    const auto pid = ToNumber<int32_t>(words[4]);
    if (!pid || !ParseLockedFile(words[5], lock)) return;
    lock.pid = *pid;
    locks.push_back(lock);
  });
  return locks;
}

std::optional<int32_t> ParseLockFilePid(std::string_view content) {
  if (const auto pid = ToNumber<int32_t>(SysfsText(content))) return *pid > 0 ? pid : std::nullopt;
  // A binary pid is four bytes that are not all text (a real pid has a zero high byte).
  const bool text =
      std::all_of(content.begin(), content.end(), [](char c) { return c >= ' ' && c <= '~'; });
  if (content.size() != sizeof(int32_t) || text) return std::nullopt;
  int32_t pid = 0;
  std::memcpy(&pid, content.data(), sizeof pid);
  return pid > 0 ? std::optional<int32_t>(pid) : std::nullopt;
}

std::vector<std::string> LockFileNames(std::string_view devicePath, std::string_view deviceNode) {
  std::vector<std::string> names;
  for (std::string_view path : {deviceNode, devicePath}) {
    const std::string_view base = BaseName(path);
    if (base.empty() || base == "/") continue;
    std::string name = "LCK.." + std::string(base);
    if (std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(std::move(name));
  }
  return names;
}

std::string SysfsText(std::string_view raw) {
  constexpr const char* kBlanks = " \t\r\n";
  const size_t first = raw.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return std::string(raw.substr(first, raw.find_last_not_of(kBlanks) - first + 1));
}

std::optional<UsbAdapter> UsbAdapterFrom(const UsbAttributes& attributes) {
  const std::string vendorText = SysfsText(attributes.idVendor);
  const std::string productText = SysfsText(attributes.idProduct);
  if (vendorText.size() != 4 || productText.size() != 4) return std::nullopt;
  const auto vendor = ToNumber<uint16_t>(vendorText, 16);
  const auto product = ToNumber<uint16_t>(productText, 16);
  if (!vendor || !product) return std::nullopt;
  return UsbAdapter{*vendor, *product, SysfsText(attributes.serial),
                    SysfsText(attributes.manufacturer), SysfsText(attributes.product)};
}

bool SameDevice(const NodeIdentity& node, const NodeIdentity& open) {
  if (node.fsDevice == open.fsDevice && node.inode == open.inode) return true;
  return node.rdev != 0 && node.rdev == open.rdev && !IsPseudoTerminalMajor(major(node.rdev));
}

bool LockIsOn(const FileLock& lock, const NodeIdentity& node) {
  return lock.fsMajor == major(node.fsDevice) && lock.fsMinor == minor(node.fsDevice) &&
         lock.inode == node.inode;
}

std::set<std::string> ParseConsoleNames(std::string_view consoles, std::string_view active) {
  std::set<std::string> names;
  std::istringstream lines{std::string(consoles)};
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    if (std::string name; fields >> name) names.insert(name);
  }
  std::istringstream words{std::string(active)};
  for (std::string name; words >> name;) names.insert(name);
  return names;
}

bool IsSerialPort(const DeviceFacts& facts) {
  if (!facts.exists || !facts.charDevice || !HasHardware(facts)) return false;
  if (facts.driverTableRead) return facts.driverType == "serial" || facts.driverType == "pty:slave";
  return !(facts.inDeviceTree && facts.virtualDevice);
}

}  // namespace kivocom::probe
