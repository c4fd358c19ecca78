// SPDX-License-Identifier: MIT
// Reading network device paths.
#include "platform/network/network_address.h"

#include <algorithm>
#include <cctype>

namespace kivocom {
namespace {

constexpr std::string_view kTelnetScheme = "rfc2217://";
constexpr std::string_view kTcpScheme = "tcp://";

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(b)) == a; });
}

bool IsPortNumber(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  const int number = std::stoi(text);
  return number >= 1 && number <= 65535;
}

// "host:port" or "[v6 address]:port" into its parts; false when the form is wrong.
bool SplitHostAndPort(const std::string& rest, std::string& host, std::string& port) {
  std::size_t colon;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return false;
    host = rest.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = rest.rfind(':');
    if (colon == std::string::npos) return false;
    host = rest.substr(0, colon);
    if (host.find(':') != std::string::npos) return false;
  }
  port = rest.substr(colon + 1);
  return !host.empty();
}

}  // namespace

bool IsNetworkDevice(const std::string& devicePath) {
  return StartsWithNoCase(devicePath, kTelnetScheme) || StartsWithNoCase(devicePath, kTcpScheme);
}

bool IsPlainTcpDevice(const std::string& devicePath) { return StartsWithNoCase(devicePath, kTcpScheme); }

std::optional<NetworkAddress> ReadNetworkAddress(const std::string& devicePath, std::string& problem) {
  NetworkAddress address;
  address.telnet = StartsWithNoCase(devicePath, kTelnetScheme);
  if (!address.telnet && !StartsWithNoCase(devicePath, kTcpScheme)) {
    problem = "it does not start with rfc2217:// or tcp://";
    return std::nullopt;
  }
  std::string rest = devicePath.substr(address.telnet ? kTelnetScheme.size() : kTcpScheme.size());
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (!SplitHostAndPort(rest, address.host, address.service)) {
    problem = "a network port is written host:port, with an IPv6 address in brackets ([::1]:7000)";
    return std::nullopt;
  }
  if (!IsPortNumber(address.service)) {
    problem = "the port \"" + address.service + "\" is not a number from 1 to 65535";
    return std::nullopt;
  }
  return address;
}

}  // namespace kivocom
