// SPDX-License-Identifier: MIT
// The interpretation behind the Linux port probe, kept apart from the system calls: the kernel's
// tty driver and lock tables, UUCP lock files, device-tree attributes, and the rules that decide
// whether a device node is a serial port and whether an open file or lock is on it. Every
// function here is pure.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kivocom/port_probe.h"

namespace kivocom::probe {

// One line of the kernel's tty driver table (/proc/tty/drivers).
struct TtyDriver {
  std::string name;         // driver name, such as "usbserial"
  uint32_t major = 0;       // device major number
  uint32_t minorFirst = 0;  // first minor number it serves
  uint32_t minorLast = 0;   // last minor number it serves
  std::string type;         // "serial", "pty:slave", "pty:master", "system", "console", ...
};

// The drivers of a driver table text; malformed lines are skipped.
std::vector<TtyDriver> ParseTtyDrivers(std::string_view text);
// The driver serving device `deviceMajor`:`deviceMinor`; nullptr when none does.
const TtyDriver* FindTtyDriver(const std::vector<TtyDriver>& drivers, uint32_t deviceMajor,
                               uint32_t deviceMinor);

// One lock held on a file, from the kernel's lock table (/proc/locks).
struct FileLock {
  uint32_t fsMajor = 0;  // major number of the file system holding the locked file
  uint32_t fsMinor = 0;  // its minor number
  uint64_t inode = 0;    // the locked file's inode
  int32_t pid = 0;       // the process that took the lock; -1 when the kernel does not say
};

// The held locks of a lock table text (waiters and malformed lines are skipped).
std::vector<FileLock> ParseProcLocks(std::string_view text);

// The process id a UUCP lock file holds: ten-column decimal text, or a 4-byte binary number as
// old programs write it; nullopt for anything else.
std::optional<int32_t> ParseLockFilePid(std::string_view content);

// The names of the system's console devices (such as "ttyS0"): the first field of each line of
// /proc/consoles, and the blank-separated names of /sys/class/tty/console/active.
std::set<std::string> ParseConsoleNames(std::string_view consoles, std::string_view active);

// The lock file names ("LCK..ttyUSB0") that programs use for a device reached at `devicePath`
// whose node, links followed, is `deviceNode`.
std::vector<std::string> LockFileNames(std::string_view devicePath, std::string_view deviceNode);

// A device-tree attribute's text without its line end and surrounding blanks.
std::string SysfsText(std::string_view raw);

// What the device tree holds about a USB device, as raw attribute texts (empty when missing).
struct UsbAttributes {
  std::string idVendor;
  std::string idProduct;
  std::string serial;
  std::string manufacturer;
  std::string product;
};

// The adapter those attributes describe; nullopt unless both ids are four hex digits.
std::optional<UsbAdapter> UsbAdapterFrom(const UsbAttributes& attributes);

// A file as the system identifies it.
struct NodeIdentity {
  uint64_t fsDevice = 0;  // the file system holding the node
  uint64_t inode = 0;     // the node's inode
  uint64_t rdev = 0;      // the device the node stands for
};

// Whether an open file `open` is device node `node`'s device: the same node, or another node of
// the same device. Pseudo-terminal numbers repeat in every pseudo-terminal instance (each
// container has its own), so those match only as the same node.
bool SameDevice(const NodeIdentity& node, const NodeIdentity& open);

// Whether lock `lock` is on the node identified by `node`.
bool LockIsOn(const FileLock& lock, const NodeIdentity& node);

// What the system shows about the device node a port number resolves to.
struct DeviceFacts {
  bool exists = false;                  // the path names something
  bool charDevice = false;              // it is a character device
  bool driverTableRead = false;         // the tty driver table could be read
  std::string driverType;               // the type of the tty driver serving it; empty if none
  bool inDeviceTree = false;            // the device tree knows the device
  bool virtualDevice = false;           // the device tree places it among virtual devices
  std::optional<std::string> uartType;  // the UART type attribute, when the device has one
  std::string deviceDriver;             // the driver bound to the hardware behind it, if any
};

// Whether those facts make a serial port: a UART with hardware behind it, a USB adapter or
// another serial driver's device, or a pseudo-terminal. The kernel's placeholder UARTs (type 0,
// or the legacy serial8250 platform device with no type), virtual consoles and the console
// devices are not.
bool IsSerialPort(const DeviceFacts& facts);

}  // namespace kivocom::probe
