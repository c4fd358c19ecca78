// SPDX-License-Identifier: MIT
// The Windows registry, read through RegOpenKeyExA, RegQueryValueExA and RegCloseKey.
#include "platform/windows/registry_windows.h"

#include "platform/system_registry.h"

namespace kivocom {

bool WindowsRegistry::OpenKey(const std::string& path, RegistryKey& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root_, path.c_str(), 0, kRegistryAccess, &handle) != ERROR_SUCCESS) return false;
  key = static_cast<RegistryKey>(reinterpret_cast<uintptr_t>(handle));
  return true;
}

bool WindowsRegistry::QueryValue(RegistryKey key, const std::string& name, RegistryType& type,
                                 uint32_t& size) {
  DWORD valueType = REG_NONE;
  DWORD valueSize = 0;
  if (RegQueryValueExA(Handle(key), name.c_str(), nullptr, &valueType, nullptr, &valueSize) != ERROR_SUCCESS)
    return false;
  type = static_cast<RegistryType>(valueType);
  size = valueSize;
  return true;
}

bool WindowsRegistry::ReadValue(RegistryKey key, const std::string& name, std::vector<char>& data) {
  DWORD size = static_cast<DWORD>(data.size());
  if (RegQueryValueExA(Handle(key), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                       &size) != ERROR_SUCCESS)
    return false;
  data.resize(size);
  return true;
}

void WindowsRegistry::CloseKey(RegistryKey key) { RegCloseKey(Handle(key)); }

std::shared_ptr<Registry> CreateSystemRegistry() { return std::make_shared<WindowsRegistry>(); }

}  // namespace kivocom
