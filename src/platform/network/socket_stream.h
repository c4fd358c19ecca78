// SPDX-License-Identifier: MIT
// A TCP connection to a server, as the network serial line needs it: connecting with a deadline,
// sending and receiving without blocking, and sleeping until the socket is ready. Each system
// provides it in its own file (POSIX sockets, Windows Sockets).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kivocom {

// A connection that failed or could not be made; what() is the system's reason, such as
// "Connection refused".
class SocketFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SocketStream {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  virtual ~SocketStream() = default;
  // Sends what the connection takes now, without waiting; returns how many bytes it took.
  // Raises SocketFailure when the connection failed.
  virtual std::size_t SendSome(std::string_view bytes) = 0;
  // Appends up to `limit` received bytes to `into` without waiting; false once the server closed
  // the connection and nothing more will come. Raises SocketFailure when the connection failed.
  virtual bool ReceiveSome(std::string& into, std::size_t limit) = 0;
  // Sleeps until bytes (or the end) can be read, or, when `toWrite`, also until bytes can be
  // sent, or until `deadline`; true when the socket is ready. Uses no processor time.
  virtual bool Wait(bool toRead, bool toWrite, Deadline deadline) = 0;
};

// Connects to `host` (a name, an IPv4 or an IPv6 address) on TCP port `service`, trying each
// address the resolver gives until `deadline`. Raises SocketFailure with the resolver's or the
// system's reason.
std::unique_ptr<SocketStream> ConnectSocketStream(const std::string& host, const std::string& service,
                                                  SocketStream::Deadline deadline);

}  // namespace kivocom
