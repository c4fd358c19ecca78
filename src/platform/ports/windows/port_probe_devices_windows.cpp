// SPDX-License-Identifier: MIT
// What the device manager tells about the present ports: the USB adapters behind COM numbers,
// read from the ports class (SetupAPI) without opening a device.
#include <windows.h>
// SetupAPI after windows.h, and the class GUIDs defined here rather than in a library.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <cctype>

#include "platform/windows/ansi_text.h"
#include "platform/ports/windows/port_probe_windows.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom::probe {
namespace {

// The hexadecimal number of four digits after `tag` (such as "VID_") in `id`.
std::optional<uint16_t> HexAfter(const std::string& id, const std::string& tag) {
  const auto at = id.find(tag);
  if (at == std::string::npos || at + tag.size() + 4 > id.size()) return std::nullopt;
  uint16_t value = 0;
  for (size_t i = at + tag.size(); i < at + tag.size() + 4; ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(id[i])));
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = static_cast<uint16_t>(value * 16 + (c <= '9' ? c - '0' : c - 'A' + 10));
  }
  return value;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The adapter's own serial number: the last part of a USB instance id, unless Windows made that
// part up (it then holds "&"), or the third "+" field of an FTDI bus id (whose last letter is the
// port's channel).
std::string SerialNumberOf(const std::string& hardwareId, const std::string& instanceId) {
  if (Upper(hardwareId).starts_with("FTDIBUS\\")) {
    const auto first = hardwareId.find('+');
    const auto second = first == std::string::npos ? first : hardwareId.find('+', first + 1);
    if (second == std::string::npos) return {};
    std::string serial = hardwareId.substr(second + 1, hardwareId.find('\\', second) - second - 1);
    if (serial.size() > 1) serial.pop_back();
    return serial;
  }
  if (!Upper(instanceId).starts_with("USB\\")) return {};
  const std::string last = instanceId.substr(instanceId.rfind('\\') + 1);
  return last.find('&') == std::string::npos ? last : std::string();
}

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t text[512] = {};
  if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                         sizeof text - sizeof(wchar_t), nullptr))
    return {};
  return AnsiFromWide(text);
}

std::string InstanceId(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  wchar_t text[512] = {};
  return SetupDiGetDeviceInstanceIdW(devices, &device, text, 511, nullptr) ? AnsiFromWide(text) : std::string();
}

// The "PortName" the ports class driver keeps in the device's own key.
std::string PortName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t text[64] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD type = REG_NONE;
  const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
                        ERROR_SUCCESS &&
                    type == REG_SZ;
  RegCloseKey(key);
  return read ? AnsiFromWide(text) : std::string();
}

}  // namespace

std::optional<UsbAdapter> UsbAdapterFromIds(const std::string& hardwareId, const std::string& instanceId) {
  const std::string upper = Upper(hardwareId);
  const auto vendor = HexAfter(upper, "VID_");
  const auto product = vendor ? HexAfter(upper, "PID_") : std::nullopt;
  if (!vendor || !product) return std::nullopt;
  UsbAdapter adapter;
  adapter.vendorId = *vendor;
  adapter.productId = *product;
  adapter.serialNumber = SerialNumberOf(hardwareId, instanceId);
  return adapter;
}

std::set<int32_t> ReadPortsClassPorts() {
  std::set<int32_t> ports;
  const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    if (const auto number = ComPortNumber(PortName(devices, device))) ports.insert(*number);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return ports;
}

std::map<int32_t, UsbAdapter> ReadUsbAdapters() {
  std::map<int32_t, UsbAdapter> adapters;
  const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return adapters;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const auto number = ComPortNumber(PortName(devices, device));
    if (!number) continue;
    auto adapter = UsbAdapterFromIds(DeviceProperty(devices, device, SPDRP_HARDWAREID), InstanceId(devices, device));
    if (!adapter) continue;
    adapter->manufacturer = DeviceProperty(devices, device, SPDRP_MFG);
    adapter->product = DeviceProperty(devices, device, SPDRP_DEVICEDESC);
    adapters.emplace(*number, std::move(*adapter));
  }
  SetupDiDestroyDeviceInfoList(devices);
  return adapters;
}

}  // namespace kivocom::probe
