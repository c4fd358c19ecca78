// SPDX-License-Identifier: MIT
// The port probe's interpretation of kernel tables, lock files and device-tree attributes, and
// its rules for what counts as a serial port and as the same device.
#include "platform/ports/posix/port_probe_parse.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kivocom::probe {
namespace {

TEST(PortProbeParse, TtyDriverTable) {
  const char* table =
      "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
      "/dev/ptmx            /dev/ptmx       5       2 system\n"
      "usbserial            /dev/ttyUSB   188 0-511 serial\n"
      "serial               /dev/ttyS       4 64-111 serial\n"
      "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
      "unknown              /dev/tty        4 1-63 console\n"
      "broken line\n"
      "bad /dev/x 4 9-2 serial\n"
      "\n";
  const std::vector<TtyDriver> drivers = ParseTtyDrivers(table);
  ASSERT_EQ(drivers.size(), 6u);
  EXPECT_EQ(drivers[2].name, "usbserial");
  EXPECT_EQ(drivers[2].minorLast, 511u);

  struct Row {
    uint32_t major, minor;
    const char* type;  // nullptr: no driver
  };
  const Row rows[] = {{4, 64, "serial"},         {4, 111, "serial"}, {4, 112, nullptr},
                      {4, 1, "console"},         {188, 3, "serial"}, {136, 70000, "pty:slave"},
                      {5, 0, "system:/dev/tty"}, {5, 1, nullptr},    {1, 3, nullptr}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.major) + ":" + std::to_string(row.minor));
    const TtyDriver* driver = FindTtyDriver(drivers, row.major, row.minor);
    EXPECT_EQ(driver ? driver->type : "(none)", row.type ? row.type : "(none)");
  }
}

TEST(PortProbeParse, LockTable) {
  const char* table =
      "1: FLOCK  ADVISORY  WRITE 4504 00:1a:3 0 EOF\n"
      "1: -> FLOCK  ADVISORY  WRITE 4600 00:1a:3 0 EOF\n"
      "2: POSIX  ADVISORY  READ 812 fd:01:1234567 0 EOF\n"
      "3: OFDLCK ADVISORY  WRITE -1 08:02:99 128 255\n"
      "4: LEASE  ACTIVE    READ 77 00:05:42 0 EOF\n"
      "5: FLOCK  ADVISORY  WRITE 12 zz:01:5 0 EOF\n"
      "6: FLOCK  ADVISORY  WRITE 12 00:01 0 EOF\n"
      "garbage\n";
  const std::vector<FileLock> locks = ParseProcLocks(table);
  struct Expected {
    uint32_t major, minor;
    uint64_t inode;
    int32_t pid;
  };
  const Expected expected[] = {{0x00, 0x1a, 3, 4504},
                               {0xfd, 0x01, 1234567, 812},
                               {0x08, 0x02, 99, -1},
                               {0x00, 0x05, 42, 77}};
  ASSERT_EQ(locks.size(), std::size(expected)) << "waiters and malformed lines are skipped";
  for (size_t i = 0; i < locks.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(locks[i].fsMajor, expected[i].major);
    EXPECT_EQ(locks[i].fsMinor, expected[i].minor);
    EXPECT_EQ(locks[i].inode, expected[i].inode);
    EXPECT_EQ(locks[i].pid, expected[i].pid);
  }

  const NodeIdentity node{makedev(0xfd, 0x01), 1234567, makedev(188, 0)};
  EXPECT_TRUE(LockIsOn(locks[1], node));
  EXPECT_FALSE(LockIsOn(locks[0], node));
  EXPECT_FALSE(LockIsOn(locks[1], NodeIdentity{makedev(0xfd, 0x02), 1234567, 0}));
}

TEST(PortProbeParse, LockFileContents) {
  const int32_t binaryPid = 4321;
  const std::string binary(reinterpret_cast<const char*>(&binaryPid), sizeof binaryPid);
  struct Row {
    const char* name;
    std::string content;
    std::optional<int32_t> pid;
  };
  const Row rows[] = {
      {"ten columns", "      1234\n", 1234},
      {"bare number", "77", 77},
      {"binary", binary, 4321},
      {"empty", "", std::nullopt},
      {"zero", "         0\n", std::nullopt},
      {"negative", "-5\n", std::nullopt},
      {"words", "locked by minicom\n", std::nullopt},
      {"four letters are text, not binary", "abcd", std::nullopt},
      {"number too large", "99999999999\n", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ParseLockFilePid(row.content), row.pid);
  }
}

TEST(PortProbeParse, ConsoleNames) {
  const std::set<std::string> names =
      ParseConsoleNames("ttyS0                -W- (EC p a)    4:64\ntty0                 -WU (E  p  )    4:1\n",
                        "tty0 ttyUSB1\n");
  EXPECT_EQ(names, (std::set<std::string>{"tty0", "ttyS0", "ttyUSB1"}));
  EXPECT_TRUE(ParseConsoleNames("", "").empty());
}

// The adapter as "vendor:product serial/manufacturer/product", or "none".
std::string Describe(const std::optional<UsbAdapter>& usb) {
  if (!usb) return "none";
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x ", usb->vendorId, usb->productId);
  return ids + usb->serialNumber + "/" + usb->manufacturer + "/" + usb->product;
}

TEST(PortProbeParse, UsbAttributes) {
  const std::pair<UsbAttributes, const char*> rows[] = {
      {{"0403\n", "6001\n", "A50285BI\n", "FTDI\n", "FT232R USB UART\n"},
       "0403:6001 A50285BI/FTDI/FT232R USB UART"},
      {{" 10C4 \n", "EA60", "  ", "", " CP2102\r\n"}, "10c4:ea60 //CP2102"},
      {{"0403\n", "", "x", "y", "z"}, "none"},
      {{"04g3\n", "6001\n", "", "", ""}, "none"},
      {{"10403\n", "6001\n", "", "", ""}, "none"},
  };
  for (const auto& [attributes, expected] : rows)
    EXPECT_EQ(Describe(UsbAdapterFrom(attributes)), expected);
}

TEST(PortProbeParse, SameDevice) {
  const uint64_t devtmpfs = makedev(0, 5), devpts = makedev(0, 0x1a),
                 otherDevpts = makedev(0, 0x40);
  const NodeIdentity usb{devtmpfs, 310, makedev(188, 0)};
  const NodeIdentity pty{devpts, 3, makedev(136, 0)};
  struct Row {
    const char* name;
    NodeIdentity node, open;
    bool same;
  };
  const Row rows[] = {
      {"the same node", usb, usb, true},
      {"another node of the same adapter", usb, {makedev(8, 1), 9999, makedev(188, 0)}, true},
      {"another adapter", usb, {devtmpfs, 311, makedev(188, 1)}, false},
      {"the same pseudo-terminal", pty, pty, true},
      {"pseudo-terminal 0 of another instance", pty, {otherDevpts, 3, makedev(136, 0)}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SameDevice(row.node, row.open), row.same);
  }
}

TEST(PortProbeParse, WhatCountsAsASerialPort) {
  // Fields: exists, character device, driver table read, driver type, in the device tree,
  // virtual device, UART type, hardware driver.
  struct Row {
    const char* name;
    DeviceFacts facts;
    bool port;
  };
  const Row rows[] = {
      {"no such path", DeviceFacts{false, false, true, "", false, false, {}, ""}, false},
      {"a regular file", DeviceFacts{true, false, true, "", false, false, {}, ""}, false},
      {"UART with hardware", DeviceFacts{true, true, true, "serial", true, false, "4\n", "port"},
       true},
      {"UART placeholder, type 0",
       DeviceFacts{true, true, true, "serial", true, false, "0\n", "port"}, false},
      {"legacy serial8250 platform placeholder",
       DeviceFacts{true, true, true, "serial", true, false, {}, "serial8250"}, false},
      {"USB adapter", DeviceFacts{true, true, true, "serial", true, false, {}, "ftdi_sio"}, true},
      {"pseudo-terminal", DeviceFacts{true, true, true, "pty:slave", false, false, {}, ""}, true},
      {"virtual console", DeviceFacts{true, true, true, "console", true, true, {}, ""}, false},
      {"the controlling terminal",
       DeviceFacts{true, true, true, "system:/dev/tty", true, true, {}, ""}, false},
      {"a device no tty driver serves", DeviceFacts{true, true, true, "", true, true, {}, ""},
       false},
      {"no driver table: a virtual device", DeviceFacts{true, true, false, "", true, true, {}, ""},
       false},
      {"no driver table: hardware", DeviceFacts{true, true, false, "", true, false, {}, "ftdi_sio"},
       true},
      {"no driver table and no device tree",
       DeviceFacts{true, true, false, "", false, false, {}, ""}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsSerialPort(row.facts), row.port);
  }
}

}  // namespace
}  // namespace kivocom::probe
