// Port number to device path on Windows.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "kivocom/port_devices.h"

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

}  // namespace

void MapPortToDevice(int32_t port, const std::string& devicePath) {
  std::lock_guard lock(gMappingsMutex);
  if (devicePath.empty())
    Mappings().erase(port);
  else
    Mappings()[port] = devicePath;
}

std::string PortsFolder() {
  if (const char* dir = std::getenv("KIVOCOM_PORTS_DIR"); dir && *dir) return dir;
  const char* appData = std::getenv("APPDATA");
  return std::string(appData && *appData ? appData : ".") + "\\kivocom\\ports";
}

// The device namespace form reaches every port, COM10 and above included.
std::string PortDevicePath(int32_t port) {
  if (port < 1) return {};
  for (auto resolve : {MappedDevice, EnvironmentDevice, FolderDevice})
    if (std::string path = resolve(port); !path.empty()) return path;
  return "\\\\.\\COM" + std::to_string(port);
}

}  // namespace kivocom
