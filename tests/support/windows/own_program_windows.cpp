// SPDX-License-Identifier: MIT
// This program's file, as the loader names its module.
#include <windows.h>

#include <filesystem>

#include "support/test_child.h"

namespace kivocom {

std::string OwnProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      const std::u8string utf8 = std::filesystem::path(path).u8string();
      return std::string(utf8.begin(), utf8.end());
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace kivocom
