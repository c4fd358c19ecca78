// Port number to device path on POSIX systems.
#include <sys/stat.h>

#include <cstdlib>
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

// A link "com<n>" names the device through itself; a plain file holds the device path on its
// first line.
std::string FolderDevice(int32_t port) {
  const std::string entry = PortsFolder() + "/com" + std::to_string(port);
  struct stat st{};
  if (lstat(entry.c_str(), &st) != 0) return {};
  if (S_ISLNK(st.st_mode)) return entry;
  if (!S_ISREG(st.st_mode)) return {};
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
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/kivocom/ports";
}

std::string PortDevicePath(int32_t port) {
  if (port < 1) return {};
  for (auto resolve : {MappedDevice, EnvironmentDevice, FolderDevice})
    if (std::string path = resolve(port); !path.empty()) return path;
  return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace kivocom
