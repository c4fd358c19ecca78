// SPDX-License-Identifier: MIT
// What the line server needs of the system's sockets: listening endpoints, accepted connections
// that never block, and one wait on all of them that another thread can cut short. Each system
// provides it in its own file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivocom {

using SocketHandle = std::intptr_t;

// Listens on `host` (a name or address) and TCP `port`. Raises SocketFailure with the reason.
SocketHandle ListenOn(const std::string& host, int port);
// A waiting connection and the peer's address as text; empty when none waits.
std::optional<std::pair<SocketHandle, std::string>> AcceptConnection(SocketHandle listener);
// Appends up to `limit` received bytes; false once the peer closed or the connection failed.
bool ReceiveSome(SocketHandle connection, std::string& into, std::size_t limit);
// Sends what the connection takes now; how many bytes it took, or -1 when it failed.
long SendSome(SocketHandle connection, std::string_view bytes);
void CloseSocket(SocketHandle socket);

// One socket to wait on, and what it became ready for.
struct SocketWatch {
  SocketHandle socket;
  bool toWrite = false;
  bool readable = false;
  bool writable = false;
};

// Lets another thread end a wait early.
class SocketWaker {
 public:
  SocketWaker();
  ~SocketWaker();
  SocketWaker(const SocketWaker&) = delete;
  SocketWaker& operator=(const SocketWaker&) = delete;
  void Wake();
  // Sleeps until a watched socket is ready or Wake is called; fills in readiness.
  void Wait(std::vector<SocketWatch>& watches);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace kivocom
