// SPDX-License-Identifier: MIT
// The Windows port probe: present ports from a serial device map (a key of the test's own under
// HKEY_CURRENT_USER), mapped ports, and the device manager ids of USB adapters.
#include <gtest/gtest.h>
#include <windows.h>

#include "kivocom/port_devices.h"
#include "platform/ports/windows/port_probe_windows.h"

namespace kivocom::probe {
namespace {

constexpr const char* kMapPath = "Software\\kivocom-test\\SERIALCOMM";

// Lists that name the ports `dosNames` and `classPorts` give, in place of the system's.
OtherPortLists Lists(std::wstring dosNames = {}, std::set<int32_t> classPorts = {}) {
  return {[dosNames] { return dosNames; }, [classPorts] { return classPorts; }};
}

class SerialMap : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\kivocom-test");
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kMapPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\kivocom-test");
    MapPortToDevice(20, "");
  }
  void SetText(const char* name, const char* text) {
    RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  }
  HKEY key_ = nullptr;
};

TEST_F(SerialMap, ListsTheComNamesOfTheMapAndMappedPorts) {
  SetText("\\Device\\Serial0", "COM3");
  SetText("\\Device\\VCP0", "com12");
  SetText("\\Device\\Parallel0", "LPT1");
  const DWORD number = 4;
  RegSetValueExA(key_, "\\Device\\Odd", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  MapPortToDevice(20, "\\\\.\\pipe\\kivocom-test");

  WindowsPortProbe probe(SerialMapKey{HKEY_CURRENT_USER, kMapPath}, Lists());
  EXPECT_EQ(probe.IsCOMPortAvailable(3), kPortAvailable);
  EXPECT_EQ(probe.IsCOMPortAvailable(12), kPortAvailable);
  EXPECT_EQ(probe.IsCOMPortAvailable(1), kPortNotFound);
  EXPECT_EQ(probe.IsCOMPortAvailable(4), kPortNotFound) << "a value that is not text names no port";
  EXPECT_EQ(probe.IsCOMPortAvailable(20), kPortAvailable) << "a mapped port counts as present";
  const auto info = probe.Inspect(12);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->devicePath, "\\\\.\\COM12");
  EXPECT_EQ(info->state, PortState::Free);
}

TEST_F(SerialMap, MissingMapListsOnlyMappedPorts) {
  WindowsPortProbe probe(SerialMapKey{HKEY_CURRENT_USER, "Software\\kivocom-test\\NoSuchKey"}, Lists());
  EXPECT_EQ(probe.IsCOMPortAvailable(3), kPortNotFound);
}

// Virtual port drivers, and Wine's dosdevices links, give a port a DOS device name only.
TEST_F(SerialMap, PortsNamedByAnyListArePresent) {
  SetText("\\Device\\Serial0", "COM3");
  WindowsPortProbe probe(SerialMapKey{HKEY_CURRENT_USER, kMapPath},
                         Lists(std::wstring(L"AUX\0COM9\0C:\0com1\0COM0\0\0", 23), {40}));
  for (int32_t port : {1, 3, 9, 40}) EXPECT_EQ(probe.IsCOMPortAvailable(port), kPortAvailable) << port;
  EXPECT_EQ(probe.IsCOMPortAvailable(2), kPortNotFound);
}

TEST(ComPortsInDeviceNames, TakesTheComNamesOfTheList) {
  EXPECT_EQ(ComPortsInDeviceNames(std::wstring(L"COM12\0LPT1\0COM256\0COM257\0\0", 26)), (std::set<int32_t>{12, 256}));
  EXPECT_EQ(ComPortsInDeviceNames(std::wstring(L"COM7", 4)), (std::set<int32_t>{7})) << "a last name without its NUL";
  EXPECT_TRUE(ComPortsInDeviceNames(std::wstring(L"\0COM1\0", 6)).empty()) << "the list ends at the empty name";
}

TEST(ComPortNumber, TakesComOneTo256Only) {
  EXPECT_EQ(ComPortNumber("COM1"), 1);
  EXPECT_EQ(ComPortNumber("cOm256"), 256);
  for (const char* name : {"COM0", "COM257", "COM01", "COM", "LPT1", "COM1a", "COM 1", ""})
    EXPECT_FALSE(ComPortNumber(name)) << name;
}

TEST(UsbAdapterFromIds, ReadsIdsAndTheAdaptersOwnSerialNumber) {
  struct Row {
    const char* hardwareId;
    const char* instanceId;
    uint16_t vendor, product;
    const char* serial;
  };
  for (const Row& row : {
           Row{"USB\\VID_0403&PID_6001&REV_0600", "USB\\VID_0403&PID_6001\\A1B2C3D4", 0x0403, 0x6001, "A1B2C3D4"},
           Row{"USB\\VID_067B&PID_2303&REV_0300", "USB\\VID_067B&PID_2303\\5&2C0B3A&0&2", 0x067B, 0x2303, ""},
           Row{"FTDIBUS\\VID_0403+PID_6011+FT12AB34A\\0000", "FTDIBUS\\VID_0403+PID_6011+FT12AB34A\\0000", 0x0403,
               0x6011, "FT12AB34"},
           Row{"usb\\vid_10c4&pid_ea60", "USB\\VID_10C4&PID_EA60\\0001", 0x10C4, 0xEA60, "0001"},
       }) {
    const auto adapter = UsbAdapterFromIds(row.hardwareId, row.instanceId);
    ASSERT_TRUE(adapter) << row.hardwareId;
    EXPECT_EQ(adapter->vendorId, row.vendor) << row.hardwareId;
    EXPECT_EQ(adapter->productId, row.product) << row.hardwareId;
    EXPECT_EQ(adapter->serialNumber, row.serial) << row.hardwareId;
  }
  EXPECT_FALSE(UsbAdapterFromIds("ACPI\\PNP0501", "ACPI\\PNP0501\\0"));
  EXPECT_FALSE(UsbAdapterFromIds("USB\\VID_04G3&PID_6001", ""));
}

}  // namespace
}  // namespace kivocom::probe
