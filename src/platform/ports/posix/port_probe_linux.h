// SPDX-License-Identifier: MIT
// The Linux port probe: decides from device nodes, the device tree (/sys) and the kernel's
// process tables (/proc) which port numbers name serial ports and which of those are held,
// without opening them. Only when the lock table cannot be read at all (no /proc) does it fall
// back on opening a device to see whether it is free.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kivocom/port_probe.h"
#include "platform/ports/posix/port_probe_parse.h"

namespace kivocom::probe {

// Where the probe reads the system; tests point these at prepared folders.
struct SystemPaths {
  std::string sysRoot = "/sys";                                    // the device tree
  std::string procRoot = "/proc";                                  // the process and lock tables
  std::vector<std::string> lockDirs = {"/var/lock", "/run/lock"};  // UUCP lock files
};

// A character device some visible process has open.
struct OpenDevice {
  NodeIdentity identity;
  int32_t pid = 0;
};

// One probe per sweep: the tables are read on first need and kept for the probe's life.
class LinuxPortProbe : public PortProbe {
 public:
  explicit LinuxPortProbe(SystemPaths paths = {});

  int32_t IsCOMPortAvailable(int32_t port) override;
  // Everything known about port `port` when it is present; nullopt when it is not.
  std::optional<PortInfo> Inspect(int32_t port);

 private:
  // Whether a port is held, and by which process when that shows.
  struct Holding {
    bool held = false;
    int32_t pid = 0;
  };

  std::optional<PortInfo> Find(int32_t port, bool withDetails);
  DeviceFacts ReadFacts(const std::string& path, NodeIdentity& identity, std::string& treeEntry);
  Holding FindHolder(const PortInfo& info, const NodeIdentity& identity);
  std::optional<PortState> StateByOpening(const std::string& path);
  std::optional<UsbAdapter> ReadUsbAdapter(const std::string& treeEntry);
  std::string ProgramName(int32_t pid);

  void ReadKernelTables();
  void ScanHolders();

  SystemPaths paths_;
  // This process: its own open files and locks do not make a port held by another program.
  int32_t ownPid_;
  // The tty driver and lock tables, read once on first need.
  bool kernelTablesRead_ = false;
  bool driverTableReadable_ = false;
  std::vector<TtyDriver> ttyDrivers_;
  bool lockTableReadable_ = false;
  std::vector<FileLock> locks_;
  std::set<std::string> consoles_;  // console devices, never offered as ports
  // Lock files with a live owner and the devices processes have open, scanned once on first need.
  bool holdersScanned_ = false;
  std::map<std::string, int32_t> lockFiles_;
  std::vector<OpenDevice> openDevices_;
};

}  // namespace kivocom::probe
