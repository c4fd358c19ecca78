// SPDX-License-Identifier: MIT
// Port number to device path: the program's mappings and the environment, then the ports folder
// and the system's own name (platform/port_devices_system.h).
#include "kivocom/port_devices.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/ports/port_devices_system.h"

namespace kivocom {
namespace {

std::mutex gMappingsMutex;
std::map<int32_t, std::string>& Mappings() {
  static std::map<int32_t, std::string> mappings;
  return mappings;
}

std::string MappedDevice(int32_t port) {
  std::lock_guard lock(gMappingsMutex);
  const auto it = Mappings().find(port);
  return it == Mappings().end() ? std::string() : it->second;
}

std::string EnvironmentDevice(int32_t port) {
  const char* value = std::getenv(("KIVOCOM_COM" + std::to_string(port)).c_str());
  return value ? value : "";
}

}  // namespace

void MapPortToDevice(int32_t port, const std::string& devicePath) {
  std::lock_guard lock(gMappingsMutex);
  if (devicePath.empty())
    Mappings().erase(port);
  else
    Mappings()[port] = devicePath;
}

std::string PortDevicePath(int32_t port) {
  if (port < 1) return {};
  for (auto resolve : {MappedDevice, EnvironmentDevice, FolderDevice})
    if (std::string path = resolve(port); !path.empty()) return path;
  return SystemDeviceName(port);
}

}  // namespace kivocom
