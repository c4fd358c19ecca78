// SPDX-License-Identifier: MIT
// Port number to device path: the program's mappings and the environment, then the ports folder
// and the system's own name (platform/port_devices_system.h).
#include "kivocom/port_devices.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "kivocom/error.h"
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

constexpr int32_t kHighestAllocatedPort = 256;

std::string LastingDevice(int32_t port) {
  std::string device = EnvironmentDevice(port);
  return device.empty() ? FolderDevice(port) : device;
}

bool SystemDeviceExists(int32_t port) {
  std::error_code error;
  return std::filesystem::exists(SystemDeviceName(port), error);
}

// The number MapDeviceToFreePort gives `devicePath`, or 0; the caller holds the mappings' lock.
int32_t FreeNumberFor(const std::string& devicePath) {
  auto unmapped = [](int32_t port) { return Mappings().count(port) == 0; };
  for (int32_t port = 1; port <= kHighestAllocatedPort; ++port)
    if (unmapped(port) && LastingDevice(port) == devicePath) return port;
  for (int32_t port = kHighestAllocatedPort; port >= 1; --port)
    if (unmapped(port) && LastingDevice(port).empty() && !SystemDeviceExists(port)) return port;
  return 0;
}

}  // namespace

int32_t MapDeviceToFreePort(const std::string& devicePath) {
  constexpr const char* kSource = "Port mapping - MapDeviceToFreePort";
  if (devicePath.empty()) throw Error(kErrInvalidPropertyValue, kSource, "An empty path names no device.");
  std::lock_guard lock(gMappingsMutex);
  const int32_t port = FreeNumberFor(devicePath);
  if (port == 0)
    throw Error(kErrInvalidPortNumber, kSource,
                "Every port number from 1 to 256 names a device already; none is free for " + devicePath + ".");
  Mappings()[port] = devicePath;
  return port;
}

bool UnmapPort(int32_t port, const std::string& devicePath) {
  std::lock_guard lock(gMappingsMutex);
  const auto it = Mappings().find(port);
  if (it == Mappings().end() || it->second != devicePath) return false;
  Mappings().erase(it);
  return true;
}

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
