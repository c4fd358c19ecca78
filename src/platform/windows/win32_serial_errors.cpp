// Translation of Windows errors on a serial line.
#include "platform/windows/win32_serial_errors.h"

#include "kivocom/port_devices.h"

namespace kivocom {
namespace {

// ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND: no such port name; the others: a name whose
// device or driver is not there (an adapter that was unplugged, a port disabled in the device
// manager).
bool MeansNoDevice(DWORD err) {
  return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_DEV_NOT_EXIST ||
         err == ERROR_DEVICE_NOT_CONNECTED || err == ERROR_DEVICE_REMOVED || err == ERROR_BAD_UNIT;
}

// Serial drivers open a port for one handle at a time and answer a second open with access
// denied; a driver that honours the share mode answers with a sharing violation.
bool MeansInUse(DWORD err) {
  return err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION || err == ERROR_BUSY;
}

// The errors a line gives once its adapter is unplugged or, under Wine, once the far end of its
// pseudo-terminal closed (ERROR_BROKEN_PIPE on reads, ERROR_NOT_READY on status queries).
bool MeansRemoved(DWORD err) {
  return MeansNoDevice(err) || err == ERROR_BROKEN_PIPE || err == ERROR_NOT_READY || err == ERROR_ACCESS_DENIED ||
         err == ERROR_BAD_COMMAND || err == ERROR_GEN_FAILURE || err == ERROR_OPERATION_ABORTED;
}

std::string Utf8(const wchar_t* text, int length) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, converted.data(), size, nullptr, nullptr);
  return converted;
}

}  // namespace

std::string PortAndDevice(int32_t port, const std::string& device) {
  return "COM" + std::to_string(port) + " (" + device + ")";
}

std::string SystemText(DWORD err) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, err, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length > 0 ? Utf8(buffer, static_cast<int>(length)) : std::string();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "Windows error " + std::to_string(err) : text;
}

Error OpenError(const std::string& source, int32_t port, const std::string& device, DWORD err) {
  const std::string com = "COM" + std::to_string(port);
  if (MeansNoDevice(err))
    return Error(kErrInvalidPortNumber, source,
                 com + " is " + device + ", which has no device behind it (" + SystemText(err) +
                     "). Connect the device, or map " + com + " to another device with KIVOCOM_COM" +
                     std::to_string(port) + " or a file com" + std::to_string(port) + " in " + PortsFolder() + ".");
  if (MeansInUse(err))
    return Error(kErrHardwareNotAvailable, source,
                 PortAndDevice(port, device) + " is in use by another program; close that program or choose another port.");
  return Error(kErrDeviceNotOpen, source, PortAndDevice(port, device) + " cannot be opened: " + SystemText(err) + ".");
}

Error DeviceError(const std::string& source, int32_t port, const std::string& device, DWORD err) {
  const std::string what = MeansRemoved(err) ? "was removed or hung up (unplugged, or its other end closed; " +
                                                   SystemText(err) + ")"
                                             : "failed: " + SystemText(err);
  return Error(kErrReadingDevice, source,
               PortAndDevice(port, device) + " " + what +
                   ". The port now reads as closed; open it again once the device is back.");
}

Error SettingError(const std::string& source, int32_t port, const std::string& device, const std::string& what,
                   const std::string& reason) {
  return Error(kErrCannotSetCommState, source, PortAndDevice(port, device) + " refused " + what + ": " + reason + ".");
}

}  // namespace kivocom
