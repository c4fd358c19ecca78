// SPDX-License-Identifier: MIT
// TCP connections through POSIX sockets: non-blocking descriptors, poll() for every wait.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "platform/line/posix/termios_file_descriptor.h"
#include "platform/network/socket_stream.h"

namespace kivocom {
namespace {

std::string SystemText(int err) { return std::generic_category().message(err); }

int MillisecondsUntil(SocketStream::Deadline deadline) {
  const auto now = std::chrono::steady_clock::now();
  if (now >= deadline) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return static_cast<int>(std::min<int64_t>(left, INT_MAX));
}

// Waits for `events` on `fd` until `deadline`, through signals; the events seen, 0 on time-out.
short PollUntil(int fd, short events, SocketStream::Deadline deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, MillisecondsUntil(deadline));
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) throw SocketFailure(SystemText(errno));
  }
}

class PosixSocketStream : public SocketStream {
 public:
  explicit PosixSocketStream(FileDescriptor fd) : fd_(std::move(fd)) {}

  std::size_t SendSome(std::string_view bytes) override {
    for (;;) {
      const ssize_t sent = ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent >= 0) return static_cast<std::size_t>(sent);
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      if (errno != EINTR) throw SocketFailure(SystemText(errno));
    }
  }

  bool ReceiveSome(std::string& into, std::size_t limit) override {
    const std::size_t held = into.size();
    into.resize(held + limit);
    for (;;) {
      const ssize_t count = ::recv(fd_.Get(), into.data() + held, limit, 0);
      const int err = errno;
      into.resize(held + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
      if (count > 0) return true;
      if (count == 0) return limit == 0;
      if (err == EAGAIN || err == EWOULDBLOCK) return true;
      if (err != EINTR) throw SocketFailure(SystemText(err));
      into.resize(held + limit);
    }
  }

  bool Wait(bool toRead, bool toWrite, Deadline deadline) override {
    const short events = static_cast<short>((toRead ? POLLIN : 0) | (toWrite ? POLLOUT : 0));
    return PollUntil(fd_.Get(), events, deadline) != 0;
  }

 private:
  FileDescriptor fd_;
};

// One address: a non-blocking connect, finished by waiting for the socket to become writable.
FileDescriptor ConnectTo(const addrinfo& address, SocketStream::Deadline deadline) {
  FileDescriptor fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                             address.ai_protocol));
  if (!fd.Valid()) throw SocketFailure(SystemText(errno));
  if (::connect(fd.Get(), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) throw SocketFailure(SystemText(errno));
    if (PollUntil(fd.Get(), POLLOUT, deadline) == 0) throw SocketFailure("no answer within the time allowed");
    int err = 0;
    socklen_t length = sizeof err;
    getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &err, &length);
    if (err != 0) throw SocketFailure(SystemText(err));
  }
  // Commands are a few bytes each and wait for a reply: they go out at once, not gathered.
  const int on = 1;
  setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

std::unique_ptr<SocketStream> ConnectSocketStream(const std::string& host, const std::string& service,
                                                  SocketStream::Deadline deadline) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); status != 0)
    throw SocketFailure("the name " + host + " does not resolve (" + gai_strerror(status) + ")");
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
  std::string reason = "the resolver gave no address";
  for (const addrinfo* address = found; address; address = address->ai_next) {
    try {
      return std::make_unique<PosixSocketStream>(ConnectTo(*address, deadline));
    } catch (const SocketFailure& failure) {
      reason = failure.what();
    }
  }
  throw SocketFailure(reason);
}

}  // namespace kivocom
