// SPDX-License-Identifier: MIT
// The Windows registry, read only. Keys are opened with KEY_READ and nothing more, so that users
// who are not administrators can read keys below HKEY_LOCAL_MACHINE; texts are ANSI (the *A calls).
#pragma once

#include <windows.h>

#include "kivocom/registry.h"

namespace kivocom {

// The access every key is opened with.
inline constexpr REGSAM kRegistryAccess = KEY_READ;

class WindowsRegistry : public Registry {
 public:
  // Reads keys below `root`: HKEY_LOCAL_MACHINE for the library, another root for tests.
  explicit WindowsRegistry(HKEY root = HKEY_LOCAL_MACHINE) : root_(root) {}

  bool OpenKey(const std::string& path, RegistryKey& key) override;
  bool QueryValue(RegistryKey key, const std::string& name, RegistryType& type,
                  uint32_t& size) override;
  bool ReadValue(RegistryKey key, const std::string& name, std::vector<char>& data) override;
  void CloseKey(RegistryKey key) override;

  // The system's handle behind an open `key`.
  static HKEY Handle(RegistryKey key) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(key)); }

 private:
  HKEY root_;
};

}  // namespace kivocom
