// SPDX-License-Identifier: MIT
// The Windows registry reader: values read through keys opened for reading only.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/windows/registry_windows.h"

namespace kivocom {
namespace {

TEST(WindowsRegistry, ReadsTextThroughAKeyThatCannotWrite) {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\kivocom-test");
  HKEY setup = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\kivocom-test\\Framer", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &setup, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(setup, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>("COM12"), 6);
  RegCloseKey(setup);

  WindowsRegistry registry(HKEY_CURRENT_USER);
  RegistryKey key = 0;
  EXPECT_FALSE(registry.OpenKey("Software\\kivocom-test\\NoSuchKey", key));
  ASSERT_TRUE(registry.OpenKey("Software\\kivocom-test\\Framer", key));
  RegistryType type = RegistryType::None;
  uint32_t size = 0;
  ASSERT_TRUE(registry.QueryValue(key, "PortName", type, size));
  EXPECT_EQ(type, RegistryType::Text);
  EXPECT_EQ(size, 6u);
  std::vector<char> small(3);
  EXPECT_FALSE(registry.ReadValue(key, "PortName", small)) << "a value larger than the room offered";
  std::vector<char> data(size);
  ASSERT_TRUE(registry.ReadValue(key, "PortName", data));
  EXPECT_EQ(std::string(data.data()), "COM12");
  EXPECT_FALSE(registry.QueryValue(key, "Missing", type, size));

  // KEY_READ only: users who are not administrators can open keys below HKEY_LOCAL_MACHINE.
  const DWORD value = 1;
  EXPECT_EQ(RegSetValueExA(WindowsRegistry::Handle(key), "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                           sizeof value),
            ERROR_ACCESS_DENIED);
  registry.CloseKey(key);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\kivocom-test");
}

}  // namespace
}  // namespace kivocom
