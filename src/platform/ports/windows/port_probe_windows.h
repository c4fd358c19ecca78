// SPDX-License-Identifier: MIT
// The Windows port probe: which port numbers name serial ports, from the system's serial device
// map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) and from the ports mapped to other devices, and what
// the device manager tells about USB adapters. No device is opened, and Windows shows no holder
// of a port without opening it, so a present port always reports as free: a port held by another
// program shows only when it is opened ("in use by another program").
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "kivocom/port_probe.h"

namespace kivocom::probe {

// Where the probe reads the serial device map; tests point it at a key of their own.
struct SerialMapKey {
  HKEY root = HKEY_LOCAL_MACHINE;
  std::string path = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
};

// The number n of a port name "COMn" (any case, n from 1 to 256); nullopt for any other name.
std::optional<int32_t> ComPortNumber(const std::string& name);

// The USB ids and serial number in a device manager hardware id ("USB\VID_0403&PID_6001&REV_0600",
// "FTDIBUS\VID_0403+PID_6001+A1B2C3D4A\0000") and instance id ("USB\VID_0403&PID_6001\A1B2C3D4");
// nullopt when the hardware id names no USB vendor and product.
std::optional<UsbAdapter> UsbAdapterFromIds(const std::string& hardwareId, const std::string& instanceId);

// One probe per sweep: the map is read on first need and kept for the probe's life.
class WindowsPortProbe : public PortProbe {
 public:
  explicit WindowsPortProbe(SerialMapKey mapKey = {});

  int32_t IsCOMPortAvailable(int32_t port) override;
  // Everything known about port `port` when it is present; nullopt when it is not.
  std::optional<PortInfo> Inspect(int32_t port);

 private:
  std::optional<PortInfo> Find(int32_t port);
  void ReadSerialMap();

  SerialMapKey mapKey_;
  bool mapRead_ = false;
  std::set<int32_t> mappedPorts_;
};

// The USB adapters the device manager knows, by COM number (those with a "PortName" of COMn).
std::map<int32_t, UsbAdapter> ReadUsbAdapters();

}  // namespace kivocom::probe
