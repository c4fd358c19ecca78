// SPDX-License-Identifier: MIT
// Network ports: a device path "rfc2217://host:port" names a serial port shared by a server with
// the Telnet COM-port control option, "tcp://host:port" one whose bytes travel as they are. The
// host is a name, an IPv4 address or an IPv6 address in brackets ("rfc2217://[::1]:7000").
#pragma once

#include <optional>
#include <string>

namespace kivocom {

// Where a network port is and how to speak to it.
struct NetworkAddress {
  bool telnet = false;  // true for rfc2217://, false for tcp://
  std::string host;     // the name or address, without brackets
  std::string service;  // the TCP port number, as text
};

// True when `devicePath` starts with rfc2217:// or tcp:// (letters in any case).
bool IsNetworkDevice(const std::string& devicePath);

// True when `devicePath` starts with tcp:// (letters in any case): a port without settings.
bool IsPlainTcpDevice(const std::string& devicePath);

// Reads a network device path. Empty, with `problem` saying why, when it is not a well-formed one.
std::optional<NetworkAddress> ReadNetworkAddress(const std::string& devicePath, std::string& problem);

}  // namespace kivocom
