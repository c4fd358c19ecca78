// SPDX-License-Identifier: MIT
// The descriptions of a network port's errors.
#include "platform/network/network_line_text.h"

#include <algorithm>
#include <cctype>

#include "platform/network/telnet_reader.h"

namespace kivocom {
namespace {

// The last line of `text` with anything unprintable left out, at most 120 characters.
std::string LastLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      if (!line.empty() && c == '\n') line += '\n';
    } else if (std::isprint(static_cast<unsigned char>(c))) {
      line += c;
    }
  }
  while (!line.empty() && line.back() == '\n') line.pop_back();
  if (const std::size_t cut = line.rfind('\n'); cut != std::string::npos) line.erase(0, cut + 1);
  return line.size() > 120 ? line.substr(line.size() - 120) : line;
}

}  // namespace

std::string ServerClosedText(const std::string& lastText) {
  const std::string line = LastLine(lastText);
  return line.empty() ? "the server closed the connection" : "the server closed the connection: \"" + line + "\"";
}

bool SaysInUse(const std::string& reason) {
  std::string lower(reason);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("in use") != std::string::npos;
}

bool IsServerRefusal(const std::string& firstBytes) {
  for (const char* refusal : {"Port already in use\r\n", "Port's device already in use\r\n"})
    if (firstBytes.starts_with(refusal)) return true;
  return false;
}

bool OpensTelnetNegotiation(const std::string& firstBytes) {
  if (firstBytes.size() < 2 || static_cast<uint8_t>(firstBytes[0]) != telnet::kIac) return false;
  const auto verb = static_cast<uint8_t>(firstBytes[1]);
  return verb == telnet::kSb || (verb >= telnet::kWill && verb <= telnet::kDont);
}

std::string TelnetOnPlainLineText(const std::string& port, const std::string& device) {
  const std::size_t scheme = device.find("://");
  const std::string address = scheme == std::string::npos ? device : device.substr(scheme + 3);
  return port + " cannot be used as a plain TCP port: its server speaks Telnet (it opened with a Telnet "
                "negotiation). Map the port as rfc2217://" + address + ".";
}

std::string LostConnectionText(const std::string& port, const std::string& reason) {
  if (SaysInUse(reason))
    return port + " is in use by another client of the server (" + reason +
           "); close that client or choose another port.";
  return port + " lost its connection (" + reason +
         "). The port now reads as closed; open it again once the server is back.";
}

Error CannotOpenError(const std::string& port, const std::string& reason, const std::string& source) {
  return Error(kErrDeviceNotOpen, source, port + " cannot be opened: " + reason + ".");
}

Error RefusedOptionError(const std::string& port, const std::string& source) {
  return Error(kErrDeviceNotOpen, source,
               port + " cannot be opened: the server does not offer serial port control (RFC 2217). "
                      "Map the port as tcp://host:port to exchange bytes without settings.");
}

Error UnnegotiatedError(const std::string& port, int64_t timeoutMs, const std::string& source) {
  return CannotOpenError(port,
                         "the server did not take up serial port control (RFC 2217) within " +
                             std::to_string(timeoutMs) +
                             " ms; check that it is an RFC 2217 server (a plain TCP one is mapped as tcp://host:port)",
                         source);
}

Error UnansweredError(const std::string& port, const std::string& what, int64_t timeoutMs, const std::string& source) {
  return Error(kErrCannotSetCommState, source,
               port + " refused " + what + ": the server gave no answer within " + std::to_string(timeoutMs) +
                   " ms (its device may not support it).");
}

Error RefusedSettingError(const std::string& port, const std::string& what, const std::string& answered,
                          const std::string& source) {
  return Error(kErrCannotSetCommState, source, port + " refused " + what + ": the server answered " + answered + ".");
}

}  // namespace kivocom
