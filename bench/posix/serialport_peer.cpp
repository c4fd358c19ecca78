// SPDX-License-Identifier: MIT
// libserialport as a peer: its blocking API, used as its manual suggests. The port is looked up
// by name once (that reads the system's device tables); every exchange then opens, configures in
// one call, exchanges and closes, as ReadPort does.
#include "serialport_peer.h"

#include <dlfcn.h>
#include <libserialport.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

#include "answering_instrument.h"

namespace {
// Set while libserialport opens and configures the peer's line.
thread_local bool tLendModemLines = false;
}  // namespace

// libserialport reads and sets the modem lines when it opens a port and fails where there are
// none, as on a pseudo-terminal. While the peer opens its line, this program's ioctl gives it the
// lines it asks for (DTR and RTS up, changes taken and dropped); every other call, the library
// under test's among them, goes to the system unchanged.
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  using SystemIoctl = int (*)(int, unsigned long, ...);
  static const auto system = reinterpret_cast<SystemIoctl>(dlsym(RTLD_NEXT, "ioctl"));
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  const int result = system(fd, request, argument);
  const bool modemLines = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
  if (result == 0 || !tLendModemLines || errno != ENOTTY || !modemLines) return result;
  if (request == TIOCMGET) *static_cast<int*>(argument) = TIOCM_DTR | TIOCM_RTS;
  return 0;
}

namespace kivocom::bench {
namespace {

constexpr unsigned kReplyWaitMs = 1000;

// Lends the modem lines for the life of this object.
class LentModemLines {
 public:
  LentModemLines() { tLendModemLines = true; }
  LentModemLines(const LentModemLines&) = delete;
  LentModemLines& operator=(const LentModemLines&) = delete;
  ~LentModemLines() { tLendModemLines = false; }
};

// libserialport finds a port's details in /sys/class/tty under the name that follows "/dev/",
// where a pseudo-terminal has no entry, and refuses the port. A link to the device reached by a
// name that climbs out of both folders passes that look-up and opens the same device.
class PseudoTerminalLink {
 public:
  explicit PseudoTerminalLink(const std::string& device) {
    char folder[] = "/tmp/kivocom-bench-XXXXXX";
    if (!mkdtemp(folder)) return;
    folder_ = folder;
    link_ = folder_ + "/line";
    if (symlink(device.c_str(), link_.c_str()) != 0) link_.clear();
  }
  PseudoTerminalLink(const PseudoTerminalLink&) = delete;
  PseudoTerminalLink& operator=(const PseudoTerminalLink&) = delete;
  ~PseudoTerminalLink() {
    if (!link_.empty()) unlink(link_.c_str());
    if (!folder_.empty()) rmdir(folder_.c_str());
  }
  // The name to give libserialport; empty when the link could not be made.
  std::string PortName() const { return link_.empty() ? std::string() : "/dev/../../.." + link_; }

 private:
  std::string folder_;
  std::string link_;
};

class LibSerialPortPeer : public SerialPortPeer {
 public:
  LibSerialPortPeer(std::unique_ptr<PseudoTerminalLink> link, sp_port* port, sp_port_config* config)
      : link_(std::move(link)), port_(port), config_(config) {}
  ~LibSerialPortPeer() override {
    sp_free_config(config_);
    sp_free_port(port_);
  }

  bool ReopenExchange() override {
    {
      const LentModemLines lent;
      if (sp_open(port_, SP_MODE_READ_WRITE) != SP_OK) return false;
      if (sp_set_config(port_, config_) != SP_OK) {
        sp_close(port_);
        return false;
      }
    }
    const bool ok = Exchange();
    sp_close(port_);
    return ok;
  }

  std::string Name() const override { return std::string("libserialport ") + sp_get_package_version_string(); }

 private:
  bool Exchange() {
    static const std::string command = "\rPV\r";
    static const std::string expected = std::string(AnsweringInstrument::kReply) + "\r\n";
    if (sp_blocking_write(port_, command.data(), command.size(), kReplyWaitMs) != static_cast<int>(command.size()))
      return false;
    char reply[64];
    std::size_t held = 0;
    while (held == 0 || reply[held - 1] != '\n') {
      const int n = sp_blocking_read_next(port_, reply + held, sizeof reply - held, kReplyWaitMs);
      if (n <= 0) return false;
      held += static_cast<std::size_t>(n);
      if (held == sizeof reply) return false;
    }
    return std::string(reply, held) == expected;
  }

  std::unique_ptr<PseudoTerminalLink> link_;
  sp_port* port_;
  sp_port_config* config_;
};

}  // namespace

std::unique_ptr<SerialPortPeer> CreateSerialPortPeer(const std::string& path) {
  sp_port* port = nullptr;
  std::unique_ptr<PseudoTerminalLink> link;
  if (sp_get_port_by_name(path.c_str(), &port) != SP_OK) {
    link = std::make_unique<PseudoTerminalLink>(path);
    if (sp_get_port_by_name(link->PortName().c_str(), &port) != SP_OK) return nullptr;
  }
  sp_port_config* config = nullptr;
  if (sp_new_config(&config) != SP_OK) {
    sp_free_port(port);
    return nullptr;
  }
  sp_set_config_baudrate(config, 115200);
  sp_set_config_bits(config, 8);
  sp_set_config_parity(config, SP_PARITY_NONE);
  sp_set_config_stopbits(config, 1);
  sp_set_config_flowcontrol(config, SP_FLOWCONTROL_NONE);
  return std::make_unique<LibSerialPortPeer>(std::move(link), port, config);
}

}  // namespace kivocom::bench
