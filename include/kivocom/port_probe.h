// SPDX-License-Identifier: MIT
// Which serial ports exist on this machine and which are held by other programs, found without
// opening the devices (opening a serial device raises and drops its modem lines, which resets
// some instruments). Port numbers resolve to devices as the serial line resolves them
// (kivocom/port_devices.h). A port counts as held when another process has it open or locked, or
// a lock file names a running process; this process's own open files and locks do not count.
// Only where the system shows no lock table at all (no /proc) is a device opened to find out.
// A port mapped to a network port counts as present and available without any connection.
// On Windows the ports are those of the system's serial device map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) and those mapped to another device; Windows shows no
// holder of a port without opening it, so there every present port reports as free.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivocom {

// The statuses IsCOMPortAvailable returns.
inline constexpr int32_t kPortAvailable = 0;  // the port exists and can be opened
inline constexpr int32_t kPortNotFound = 2;   // no serial device stands behind the number
inline constexpr int32_t kPortInUse = 5;      // held by another program, or closed to this user

// The highest port number the pick list and ListSerialPorts sweep (from 1).
inline constexpr int32_t kHighestPortNumber = 256;

// Answers, for one sweep over port numbers, which ports exist and which are held.
class PortProbe {
 public:
  virtual ~PortProbe() = default;
  // kPortNotFound, kPortInUse or kPortAvailable for port number `port`.
  virtual int32_t IsCOMPortAvailable(int32_t port) = 0;
};

// A probe of this system. It reads the lock table and the open files of visible processes once,
// on first need, and answers from that view for its whole life: create one per sweep.
std::shared_ptr<PortProbe> CreateSystemPortProbe();

// The probe for a sweep on the calling thread: the installed one, else a fresh system probe.
std::shared_ptr<PortProbe> ThreadPortProbe();
// Installs `probe` for the calling thread (a test double); nullptr returns to the system probe.
void InstallThreadPortProbe(std::shared_ptr<PortProbe> probe);

// The status of port `port` through the calling thread's probe.
int32_t IsCOMPortAvailable(int32_t port);

// Whether a present port can be opened now.
enum class PortState {
  Free,      // no visible program holds it and this user may open it
  InUse,     // a program holds it (a lock, a lock file or an open file shows it)
  NoAccess,  // no program is seen holding it, but this user lacks read and write permission
  Network,   // mapped to a network port (rfc2217:// or tcp://): only connecting would tell, and listing never connects
};

// What the device tree tells about a USB serial adapter.
struct UsbAdapter {
  uint16_t vendorId = 0;     // USB vendor id, such as 0x0403
  uint16_t productId = 0;    // USB product id, such as 0x6001
  std::string serialNumber;  // the adapter's serial number text; empty when it has none
  std::string manufacturer;  // the maker's name as the adapter reports it; may be empty
  std::string product;       // the product name as the adapter reports it; may be empty
};

// One present serial port, for people who pick a port.
struct PortInfo {
  int32_t number = 0;      // the COM number, 1 to 256
  std::string devicePath;  // the path the number resolves to
  std::string deviceNode;  // that path with links followed, such as /dev/ttyUSB0
  PortState state = PortState::Free;
  int32_t holderPid = 0;          // the process holding the port, when visible; else 0
  std::string holderProgram;      // that process's program name, when visible
  std::optional<UsbAdapter> usb;  // set for USB adapters
};

// Every present port among the numbers 1 to 256, in ascending order, read from this system in
// one sweep (an installed test probe plays no part).
std::vector<PortInfo> ListSerialPorts();

}  // namespace kivocom
