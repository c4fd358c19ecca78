// SPDX-License-Identifier: MIT
// Translation of system errors on a serial device.
#include "platform/line/posix/termios_errors.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "kivocom/port_devices.h"
#include "platform/line/posix/termios_port_holder.h"

namespace kivocom {
namespace {

std::string SystemText(int err) { return std::generic_category().message(err); }

std::string OwningGroup(const std::string& device) {
  struct stat st{};
  if (stat(device.c_str(), &st) != 0) return {};
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}

// ENOENT: no such node; ENXIO and ENODEV: a node without a driver or hardware behind it; EIO at
// open: a serial port whose UART is absent.
bool MeansNoDevice(int err) { return err == ENOENT || err == ENXIO || err == ENODEV || err == EIO; }

// EBUSY: another program set exclusive mode; EWOULDBLOCK: another program holds the lock.
bool MeansInUse(int err) { return err == EBUSY || err == EWOULDBLOCK; }

Error NoDeviceError(const std::string& source, int32_t port, const std::string& device, int err) {
  const std::string com = "COM" + std::to_string(port);
  return Error(kErrInvalidPortNumber, source,
               com + " is " + device + ", which has no device behind it (" + SystemText(err) +
                   "). Connect the device, or map " + com + " to another device with KIVOCOM_COM" +
                   std::to_string(port) + " or a link com" + std::to_string(port) + " in " + PortsFolder() + ".");
}

Error InUseError(const std::string& source, int32_t port, const std::string& device) {
  const std::string holder = DeviceHolder(device);
  return Error(kErrHardwareNotAvailable, source,
               PortAndDevice(port, device) + " is in use by " + (holder.empty() ? "another program" : holder) +
                   "; close that program or choose another port.");
}

Error PermissionError(const std::string& source, int32_t port, const std::string& device, int err) {
  const std::string group = OwningGroup(device);
  const std::string fix = group.empty() || group == "root"
                              ? "Ask the administrator for read and write access to " + device + "."
                              : "Add your user to the group \"" + group + "\" that owns " + device +
                                    " (sudo usermod -aG " + group + " $USER), then log in again.";
  return Error(kErrDeviceNotOpen, source,
               PortAndDevice(port, device) + " cannot be opened: " + SystemText(err) + ". " + fix);
}

}  // namespace

Error OpenError(const std::string& source, int32_t port, const std::string& device, int err) {
  if (MeansNoDevice(err)) return NoDeviceError(source, port, device, err);
  if (MeansInUse(err)) return InUseError(source, port, device);
  if (err == EACCES || err == EPERM) return PermissionError(source, port, device, err);
  if (err == ENOTTY)
    return Error(kErrDeviceNotOpen, source,
                 PortAndDevice(port, device) + " is not a serial device (" + SystemText(err) + ").");
  return Error(kErrDeviceNotOpen, source, PortAndDevice(port, device) + " cannot be opened: " + SystemText(err) + ".");
}

Error DeviceError(const std::string& source, int32_t port, const std::string& device, int err) {
  const std::string what = err == 0 ? "hung up (unplugged, or its other end closed)" : "failed: " + SystemText(err);
  return Error(kErrReadingDevice, source,
               PortAndDevice(port, device) + " " + what +
                   ". The port now reads as closed; open it again once the device is back.");
}

Error SettingError(const std::string& source, int32_t port, const std::string& device, const std::string& what,
                   const std::string& reason) {
  return Error(kErrCannotSetCommState, source, PortAndDevice(port, device) + " refused " + what + ": " + reason + ".");
}

}  // namespace kivocom
