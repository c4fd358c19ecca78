// SPDX-License-Identifier: MIT
#include "simulator/host/com_port_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "kivocom/error.h"

namespace kivocom {
namespace {

constexpr int kFirstNumber = 100;
constexpr int kLastNumber = 999;

[[noreturn]] void RaiseLinkError(const std::string& description) {
  throw Error(kErrDeviceNotOpen, "InstrumentSimulator - Open", description);
}

std::string DosDevicesFolder() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return std::string(prefix) + "/dosdevices";
  const char* home = std::getenv("HOME");
  if (!home || !*home) RaiseLinkError("Neither WINEPREFIX nor HOME is set, so the Wine prefix is unknown.");
  return std::string(home) + "/.wine/dosdevices";
}

}  // namespace

ComPortLink::ComPortLink(const std::string& devicePath) {
  const std::string folder = DosDevicesFolder();
  if (access(folder.c_str(), W_OK) != 0) {
    RaiseLinkError("Cannot use the Wine prefix's device folder " + folder + ": " + std::strerror(errno) +
                   ". Set WINEPREFIX to the prefix the program runs in.");
  }
  // symlink() refuses a name that exists, so two hosts never claim the same number.
  for (int number = kFirstNumber; number <= kLastNumber; ++number) {
    const std::string path = folder + "/com" + std::to_string(number);
    if (symlink(devicePath.c_str(), path.c_str()) == 0) {
      number_ = number;
      linkPath_ = path;
      return;
    }
    if (errno != EEXIST) {
      RaiseLinkError("Cannot link " + path + " to " + devicePath + ": " + std::strerror(errno) + ".");
    }
  }
  RaiseLinkError("Every port from com" + std::to_string(kFirstNumber) + " to com" + std::to_string(kLastNumber) +
                 " in " + folder + " is taken: remove the links that stopped simulators left behind.");
}

ComPortLink::~ComPortLink() { unlink(linkPath_.c_str()); }

}  // namespace kivocom
