// SPDX-License-Identifier: MIT
#include "simulator/host/program_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kivocom/error.h"
#include "simulator/host_protocol.h"

namespace kivocom {

ProgramConnection::ProgramConnection(uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const std::string reason = std::strerror(errno);
    if (fd_ >= 0) close(fd_);
    throw Error(kErrDeviceNotOpen, "InstrumentSimulator - Open",
                "The simulator host cannot reach its program on loopback port " + std::to_string(port) + ": " +
                    reason + ".");
  }
}

ProgramConnection::~ProgramConnection() { close(fd_); }

bool ProgramConnection::Send(const std::string& payload) {
  const std::string message = FramedMessage(payload);
  std::size_t sent = 0;
  while (sent < message.size()) {
    const ssize_t n = send(fd_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<std::string> ProgramConnection::Receive() {
  char length[kLengthFieldSize];
  if (!ReceiveExactly(length, sizeof length)) return std::nullopt;
  std::string payload(AnnouncedLength(length), '\0');
  if (!ReceiveExactly(payload.data(), payload.size())) return std::nullopt;
  return payload;
}

bool ProgramConnection::ReceiveExactly(char* buffer, std::size_t count) {
  std::size_t received = 0;
  while (received < count) {
    const ssize_t n = recv(fd_, buffer + received, count - received, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    received += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace kivocom
