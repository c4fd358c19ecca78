// SPDX-License-Identifier: MIT
// The ports folder and device names of POSIX systems.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "kivocom/port_devices.h"
#include "platform/ports/port_devices_system.h"
#include "platform/ports/ports_folder_file.h"

namespace kivocom {

// A link "com<n>" names the device through itself; a plain file holds the device path on its
// first line.
std::string FolderDevice(int32_t port) {
  const std::string entry = PortsFolder() + "/com" + std::to_string(port);
  struct stat st{};
  if (lstat(entry.c_str(), &st) != 0) return {};
  if (S_ISLNK(st.st_mode)) return entry;
  if (!S_ISREG(st.st_mode)) return {};
  std::ifstream file(entry);
  std::string firstLine;
  std::getline(file, firstLine);
  return DevicePathInPortsFile(firstLine);
}

std::string PortsFolder() {
  if (const char* dir = std::getenv("KIVOCOM_PORTS_DIR"); dir && *dir) return dir;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/kivocom/ports";
}

std::string SystemDeviceName(int32_t port) { return "/dev/ttyS" + std::to_string(port - 1); }

}  // namespace kivocom
