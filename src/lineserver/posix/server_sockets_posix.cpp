// SPDX-License-Identifier: MIT
// The line server's sockets on POSIX: non-blocking descriptors, poll(2) and a self-pipe.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "lineserver/server_sockets.h"
#include "platform/network/socket_stream.h"

namespace kivocom {
namespace {

void MakeNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string PeerText(const sockaddr_storage& peer, socklen_t length) {
  std::array<char, NI_MAXHOST> host{};
  std::array<char, NI_MAXSERV> service{};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), length, host.data(), host.size(), service.data(),
                  service.size(), NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return "?";
  return std::string(host.data()) + ":" + service.data();
}

}  // namespace

SocketHandle ListenOn(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int code = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); code != 0)
    throw SocketFailure(gai_strerror(code));
  std::string reason = "no address";
  for (addrinfo* at = found; at; at = at->ai_next) {
    const int fd = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (fd < 0) continue;
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(fd, at->ai_addr, at->ai_addrlen) == 0 && listen(fd, 16) == 0) {
      freeaddrinfo(found);
      MakeNonBlocking(fd);
      return fd;
    }
    reason = std::strerror(errno);
    close(fd);
  }
  freeaddrinfo(found);
  throw SocketFailure(reason);
}

std::optional<std::pair<SocketHandle, std::string>> AcceptConnection(SocketHandle listener) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  const int fd = accept(static_cast<int>(listener), reinterpret_cast<sockaddr*>(&peer), &length);
  if (fd < 0) return std::nullopt;
  MakeNonBlocking(fd);
  const int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return std::make_pair(SocketHandle{fd}, PeerText(peer, length));
}

bool ReceiveSome(SocketHandle connection, std::string& into, std::size_t limit) {
  std::string buffer(limit, '\0');
  const ssize_t got = recv(static_cast<int>(connection), buffer.data(), limit, 0);
  if (got > 0) {
    into.append(buffer.data(), static_cast<std::size_t>(got));
    return true;
  }
  return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

long SendSome(SocketHandle connection, std::string_view bytes) {
  const ssize_t sent = send(static_cast<int>(connection), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<long>(sent);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

void CloseSocket(SocketHandle socket) { close(static_cast<int>(socket)); }

struct SocketWaker::Parts {
  std::array<int, 2> pipe{-1, -1};
};

SocketWaker::SocketWaker() : parts_(std::make_unique<Parts>()) {
  if (::pipe(parts_->pipe.data()) != 0) throw SocketFailure(std::strerror(errno));
  for (const int fd : parts_->pipe) MakeNonBlocking(fd);
}

SocketWaker::~SocketWaker() {
  for (const int fd : parts_->pipe) close(fd);
}

void SocketWaker::Wake() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(parts_->pipe[1], &byte, 1);
}

void SocketWaker::Wait(std::vector<SocketWatch>& watches) {
  std::vector<pollfd> fds;
  fds.push_back({parts_->pipe[0], POLLIN, 0});
  for (const SocketWatch& watch : watches)
    fds.push_back({static_cast<int>(watch.socket), static_cast<short>(POLLIN | (watch.toWrite ? POLLOUT : 0)), 0});
  if (poll(fds.data(), fds.size(), -1) < 0) return;
  std::array<char, 64> drain{};
  while (read(parts_->pipe[0], drain.data(), drain.size()) > 0) {
  }
  for (std::size_t i = 0; i < watches.size(); ++i) {
    const short got = fds[i + 1].revents;
    watches[i].readable = (got & (POLLIN | POLLHUP | POLLERR)) != 0;
    watches[i].writable = (got & POLLOUT) != 0;
  }
}

}  // namespace kivocom
