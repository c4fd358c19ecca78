// SPDX-License-Identifier: MIT
// The Windows port probe: which port numbers name serial ports, from every list Windows keeps of
// them: the serial device map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), the DOS device names
// (QueryDosDevice: virtual port drivers that register only a name; under Wine also the prefix's
// dosdevices links), the device manager's ports class, and the ports mapped to other devices; and what the
// device manager tells about USB adapters. No device is opened, and Windows shows no holder
// of a port without opening it, so a present port always reports as free: a port held by another
// program shows only when it is opened ("in use by another program").
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
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

// Where the probe reads the system's other lists of ports; tests give lists of their own.
struct OtherPortLists {
  std::function<std::wstring()> dosDeviceNames;    // as QueryDosDevice lists them
  std::function<std::set<int32_t>()> portsClass;  // the port numbers of the ports class
};

// The system's own lists: QueryDosDevice's names (and Wine's dosdevices links) and the device
// manager's ports class.
OtherPortLists SystemPortLists();

// The number n of a port name "COMn" (any case, n from 1 to 256); nullopt for any other name.
std::optional<int32_t> ComPortNumber(const std::string& name);

// The port numbers among DOS device names as QueryDosDevice lists them: names ended by NUL, the
// list by a second NUL ("AUX\0COM1\0C:\0COM12\0\0").
std::set<int32_t> ComPortsInDeviceNames(const std::wstring& names);

// The USB ids and serial number in a device manager hardware id ("USB\VID_0403&PID_6001&REV_0600",
// "FTDIBUS\VID_0403+PID_6001+A1B2C3D4A\0000") and instance id ("USB\VID_0403&PID_6001\A1B2C3D4");
// nullopt when the hardware id names no USB vendor and product.
std::optional<UsbAdapter> UsbAdapterFromIds(const std::string& hardwareId, const std::string& instanceId);

// One probe per sweep: the map is read on first need and kept for the probe's life.
class WindowsPortProbe : public PortProbe {
 public:
  explicit WindowsPortProbe(SerialMapKey mapKey = {}, OtherPortLists otherLists = SystemPortLists());

  int32_t IsCOMPortAvailable(int32_t port) override;
  // Everything known about port `port` when it is present; nullopt when it is not.
  std::optional<PortInfo> Inspect(int32_t port);

 private:
  std::optional<PortInfo> Find(int32_t port);
  void ReadPortLists();
  void ReadSerialMap();

  SerialMapKey mapKey_;
  OtherPortLists otherLists_;
  bool listsRead_ = false;
  std::set<int32_t> knownPorts_;  // the port numbers any of the system's lists names
};

// The port numbers the device manager's ports class names (a "PortName" of COMn).
std::set<int32_t> ReadPortsClassPorts();

// The USB adapters the device manager knows, by COM number (those with a "PortName" of COMn).
std::map<int32_t, UsbAdapter> ReadUsbAdapters();

}  // namespace kivocom::probe
