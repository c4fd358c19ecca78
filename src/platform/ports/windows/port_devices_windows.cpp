// SPDX-License-Identifier: MIT
// The ports folder and device names of Windows.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kivocom/port_devices.h"
#include "platform/ports/port_devices_system.h"

namespace kivocom {

// A file "com<n>" holds the device path on its first line.
std::string FolderDevice(int32_t port) {
  const std::filesystem::path entry = std::filesystem::u8path(PortsFolder()) / ("com" + std::to_string(port));
  std::error_code error;
  if (!std::filesystem::is_regular_file(entry, error)) return {};
  std::ifstream file(entry);
  std::string path;
  std::getline(file, path);
  while (!path.empty() && (path.back() == '\r' || path.back() == ' ')) path.pop_back();
  return path;
}

std::string PortsFolder() {
  if (const char* dir = std::getenv("KIVOCOM_PORTS_DIR"); dir && *dir) return dir;
  const char* appData = std::getenv("APPDATA");
  return std::string(appData && *appData ? appData : ".") + "\\kivocom\\ports";
}

// The device namespace form reaches every port, COM10 and above included.
std::string SystemDeviceName(int32_t port) { return "\\\\.\\COM" + std::to_string(port); }

}  // namespace kivocom
