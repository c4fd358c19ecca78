// SPDX-License-Identifier: MIT
// Translation of Windows errors on a serial line.
#include "platform/line/windows/win32_serial_errors.h"

#include "kivocom/port_devices.h"
#include "platform/windows/system_text_windows.h"

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

}  // namespace

Error OpenError(const std::string& source, int32_t port, const std::string& device, DWORD err) {
  const std::string com = "COM" + std::to_string(port);
  if (MeansNoDevice(err))
    return Error(kErrInvalidPortNumber, source,
                 com + " is " + device + ", which has no device behind it (" + SystemErrorText(err) +
                     "). Connect the device, or map " + com + " to another device with KIVOCOM_COM" +
                     std::to_string(port) + " or a file com" + std::to_string(port) + " in " + PortsFolder() + ".");
  if (MeansInUse(err))
    return Error(kErrHardwareNotAvailable, source,
                 PortAndDevice(port, device) +
                     " is in use by another program; close that program or choose another port.");
  return Error(kErrDeviceNotOpen, source,
               PortAndDevice(port, device) + " cannot be opened: " + SystemErrorText(err) + ".");
}

Error DeviceError(const std::string& source, int32_t port, const std::string& device, DWORD err) {
  const std::string what = MeansRemoved(err) ? "was removed or hung up (unplugged, or its other end closed; " +
                                                   SystemErrorText(err) + ")"
                                             : "failed: " + SystemErrorText(err);
  return Error(kErrReadingDevice, source,
               PortAndDevice(port, device) + " " + what +
                   ". The port now reads as closed; open it again once the device is back.");
}

Error SettingError(const std::string& source, int32_t port, const std::string& device, const std::string& what,
                   const std::string& reason) {
  return Error(kErrCannotSetCommState, source, PortAndDevice(port, device) + " refused " + what + ": " + reason + ".");
}

}  // namespace kivocom
