// SPDX-License-Identifier: MIT
// TCP connections through Windows Sockets: non-blocking sockets, select() for every wait
// (WSAPoll does not report a failed connect on every Windows version).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <utility>

#include "platform/network/socket_stream.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom {
namespace {

std::string SocketText(int code) { return SystemErrorText(static_cast<DWORD>(code)); }

// Windows Sockets are started once for the process and left running until it ends.
void StartSockets() {
  static std::once_flag started;
  static int status = 0;
  std::call_once(started, [] {
    WSADATA data;
    status = WSAStartup(MAKEWORD(2, 2), &data);
  });
  if (status != 0) throw SocketFailure("Windows Sockets cannot start (" + SocketText(status) + ")");
}

timeval TimeUntil(SocketStream::Deadline deadline) {
  const auto now = std::chrono::steady_clock::now();
  const auto left = now >= deadline ? std::chrono::microseconds(0)
                                    : std::chrono::ceil<std::chrono::microseconds>(deadline - now);
  const auto capped = std::min<int64_t>(left.count(), int64_t{1} << 40);
  return timeval{static_cast<long>(capped / 1'000'000), static_cast<long>(capped % 1'000'000)};
}

// Waits until `s` is readable or writable as asked (a failed connect counts as ready); true when it is.
bool SelectUntil(SOCKET s, bool toRead, bool toWrite, SocketStream::Deadline deadline) {
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  if (toRead) FD_SET(s, &readable);
  if (toWrite) FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval wait = TimeUntil(deadline);
  const int ready = select(0, &readable, &writable, &failed, &wait);
  if (ready == SOCKET_ERROR) throw SocketFailure(SocketText(WSAGetLastError()));
  return ready > 0;
}

class OwnedSocket {
 public:
  explicit OwnedSocket(SOCKET s) : s_(s) {}
  OwnedSocket(OwnedSocket&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;
  ~OwnedSocket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  SOCKET Get() const { return s_; }

 private:
  SOCKET s_;
};

class WindowsSocketStream : public SocketStream {
 public:
  explicit WindowsSocketStream(OwnedSocket s) : s_(std::move(s)) {}

  std::size_t SendSome(std::string_view bytes) override {
    const int count = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int sent = ::send(s_.Get(), bytes.data(), count, 0);
    if (sent >= 0) return static_cast<std::size_t>(sent);
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK) return 0;
    throw SocketFailure(SocketText(code));
  }

  bool ReceiveSome(std::string& into, std::size_t limit) override {
    const std::size_t held = into.size();
    into.resize(held + limit);
    const int count = ::recv(s_.Get(), into.data() + held, static_cast<int>(std::min<std::size_t>(limit, INT_MAX)), 0);
    const int code = WSAGetLastError();
    into.resize(held + static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0) return true;
    if (count == 0) return limit == 0;
    if (code == WSAEWOULDBLOCK) return true;
    throw SocketFailure(SocketText(code));
  }

  bool Wait(bool toRead, bool toWrite, Deadline deadline) override {
    return SelectUntil(s_.Get(), toRead, toWrite, deadline);
  }

 private:
  OwnedSocket s_;
};

// One address: a non-blocking connect, finished when the socket becomes writable or fails.
OwnedSocket ConnectTo(const addrinfo& address, SocketStream::Deadline deadline) {
  OwnedSocket s(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
  if (s.Get() == INVALID_SOCKET) throw SocketFailure(SocketText(WSAGetLastError()));
  u_long nonBlocking = 1;
  ioctlsocket(s.Get(), FIONBIO, &nonBlocking);
  if (::connect(s.Get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
    const int code = WSAGetLastError();
    if (code != WSAEWOULDBLOCK) throw SocketFailure(SocketText(code));
    if (!SelectUntil(s.Get(), false, true, deadline)) throw SocketFailure("no answer within the time allowed");
    int err = 0;
    int length = sizeof err;
    getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &length);
    if (err != 0) throw SocketFailure(SocketText(err));
  }
  // Commands are a few bytes each and wait for a reply: they go out at once, not gathered.
  const BOOL on = TRUE;
  setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

}  // namespace

std::unique_ptr<SocketStream> ConnectSocketStream(const std::string& host, const std::string& service,
                                                  SocketStream::Deadline deadline) {
  StartSockets();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); status != 0)
    throw SocketFailure("the name " + host + " does not resolve (" + SocketText(status) + ")");
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
  std::string reason = "the resolver gave no address";
  for (const addrinfo* address = found; address; address = address->ai_next) {
    try {
      return std::make_unique<WindowsSocketStream>(ConnectTo(*address, deadline));
    } catch (const SocketFailure& failure) {
      reason = failure.what();
    }
  }
  throw SocketFailure(reason);
}

}  // namespace kivocom
