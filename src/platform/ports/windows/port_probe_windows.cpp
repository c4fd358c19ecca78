// SPDX-License-Identifier: MIT
// The Windows port probe: present ports from the system's lists of them and from port mappings,
// without opening a device.
#include "platform/ports/windows/port_probe_windows.h"

#include <algorithm>
#include <cctype>

#include "kivocom/port_devices.h"
#include "platform/network/network_address.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom::probe {
namespace {

std::string DefaultDevicePath(int32_t port) { return "\\\\.\\COM" + std::to_string(port); }

// Room for the DOS device names at most, in characters: a machine has a few hundred.
constexpr DWORD kLongestDeviceNameList = 1 << 20;

// Every DOS device name, as one NUL-separated list; empty when the system gives none.
std::wstring DosDeviceNames() {
  std::wstring names(16384, L'\0');
  for (;;) {
    const DWORD n = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    if (n > 0) return names.substr(0, n);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= kLongestDeviceNameList) return {};
    names.resize(names.size() * 2);
  }
}

// Under Wine, the links in the prefix's dosdevices folder, as a NUL-separated list of names: Wine
// reaches a link made by hand ("com9" -> /dev/ttyUSB0) only when a program opens its name, so
// QueryDosDevice does not list it. On Windows, where kernel32 has no Wine exports, nothing.
std::wstring WineDosDeviceLinks() {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
  if (!toUnix || !toDos) return {};
  // Drive C: lives in the folder: ".../dosdevices/c:/".
  char* driveC = toUnix(L"C:\\");
  if (!driveC) return {};
  std::string folder(driveC);
  HeapFree(GetProcessHeap(), 0, driveC);
  const std::size_t at = folder.rfind("/dosdevices/");
  if (at == std::string::npos) return {};
  WCHAR* dosFolder = toDos(folder.substr(0, at + 12).c_str());
  if (!dosFolder) return {};
  const std::wstring pattern = std::wstring(dosFolder) + L"com*";
  HeapFree(GetProcessHeap(), 0, dosFolder);
  std::wstring names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  do names += std::wstring(found.cFileName) + L'\0';
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The names of both lists, one list.
std::wstring AllDosDeviceNames() {
  std::wstring names = DosDeviceNames();
  while (!names.empty() && names.back() == L'\0') names.pop_back();
  if (!names.empty()) names += L'\0';
  return names + WineDosDeviceLinks();
}

// The system's own name behind "COMn", such as \Device\Serial0; empty when it has none.
std::string DosDeviceTarget(int32_t port) {
  wchar_t target[1024];
  const std::wstring name = L"COM" + std::to_wstring(port);
  const DWORD n = QueryDosDeviceW(name.c_str(), target, 1024);
  return n > 0 ? AnsiFromWide(target) : std::string();
}

}  // namespace

std::optional<int32_t> ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return std::nullopt;
  for (size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  if (name[3] == '0') return std::nullopt;
  int32_t number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
    number = number * 10 + (name[i] - '0');
  }
  if (number > kHighestPortNumber) return std::nullopt;
  return number;
}

std::set<int32_t> ComPortsInDeviceNames(const std::wstring& names) {
  std::set<int32_t> ports;
  for (std::size_t at = 0; at < names.size() && names[at] != L'\0';) {
    const std::size_t end = std::min(names.find(L'\0', at), names.size());
    if (const auto number = ComPortNumber(AnsiFromWide(names.substr(at, end - at)))) ports.insert(*number);
    at = end + 1;
  }
  return ports;
}

OtherPortLists SystemPortLists() { return {AllDosDeviceNames, ReadPortsClassPorts}; }

WindowsPortProbe::WindowsPortProbe(SerialMapKey mapKey, OtherPortLists otherLists)
    : mapKey_(std::move(mapKey)), otherLists_(std::move(otherLists)) {}

int32_t WindowsPortProbe::IsCOMPortAvailable(int32_t port) {
  return Find(port) ? kPortAvailable : kPortNotFound;
}

std::optional<PortInfo> WindowsPortProbe::Inspect(int32_t port) { return Find(port); }

// A port mapped to another device is present as the user said; any other is present when one of
// the system's lists names it.
std::optional<PortInfo> WindowsPortProbe::Find(int32_t port) {
  PortInfo info;
  info.number = port;
  info.devicePath = PortDevicePath(port);
  if (info.devicePath.empty()) return std::nullopt;
  if (IsNetworkDevice(info.devicePath)) info.state = PortState::Network;
  if (info.devicePath != DefaultDevicePath(port)) {
    info.deviceNode = info.devicePath;
    return info;
  }
  ReadPortLists();
  if (!knownPorts_.contains(port)) return std::nullopt;
  info.deviceNode = DosDeviceTarget(port);
  if (info.deviceNode.empty()) info.deviceNode = info.devicePath;
  return info;
}

// A port that only one list names is still a port OpenPort can open: drivers of virtual ports
// often register a DOS device name alone, and a device the ports class knows may be missing from
// the map while it starts.
void WindowsPortProbe::ReadPortLists() {
  if (listsRead_) return;
  listsRead_ = true;
  ReadSerialMap();
  knownPorts_.merge(ComPortsInDeviceNames(otherLists_.dosDeviceNames()));
  knownPorts_.merge(otherLists_.portsClass());
}

// The map's values are the device names ("\Device\Serial0", "\Device\VCP0") with their COM names
// as text data.
void WindowsPortProbe::ReadSerialMap() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(mapKey_.root, WideFromAnsi(mapKey_.path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    wchar_t valueName[256];
    DWORD nameSize = 256;
    wchar_t data[64];
    DWORD dataSize = sizeof data;
    DWORD type = REG_NONE;
    const LONG result = RegEnumValueW(key, index, valueName, &nameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    std::wstring text(data, dataSize / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    if (const auto number = ComPortNumber(AnsiFromWide(text))) knownPorts_.insert(*number);
  }
  RegCloseKey(key);
}

}  // namespace kivocom::probe

namespace kivocom {

std::shared_ptr<PortProbe> CreateSystemPortProbe() { return std::make_shared<probe::WindowsPortProbe>(); }

std::vector<PortInfo> ListSerialPorts() {
  probe::WindowsPortProbe probe;
  const auto adapters = probe::ReadUsbAdapters();
  std::vector<PortInfo> ports;
  for (int32_t n = 1; n <= kHighestPortNumber; ++n) {
    auto info = probe.Inspect(n);
    if (!info) continue;
    if (const auto adapter = adapters.find(n); adapter != adapters.end()) info->usb = adapter->second;
    ports.push_back(std::move(*info));
  }
  return ports;
}

}  // namespace kivocom
