// SPDX-License-Identifier: MIT
// The Windows build's link to the simulator host: starts the native kivocom_simhost named by
// KIVOCOM_SIMULATOR_HOST (Wine runs a Unix program given to CreateProcess), waits for it on a
// loopback port, and carries whole messages to and from it (see simulator/host_protocol.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kivocom {

class HostConnection {
 public:
  // Starts the host and reads its opening reply; raises kivocom::Error 8012 (source
  // "InstrumentSimulator - Open") when no host is named, it cannot start, it does not connect in
  // time, or it reports the error that stopped it.
  HostConnection();
  // Closes the program's side and waits until the host has removed its COM link and gone.
  ~HostConnection();
  HostConnection(const HostConnection&) = delete;
  HostConnection& operator=(const HostConnection&) = delete;

  // The COM number the host linked to its pseudo-terminal.
  int32_t PortNumber() const { return portNumber_; }

  // Sends `request` and returns the host's reply; raises kivocom::Error 8020 when the host has gone.
  std::string Exchange(const std::string& request);

 private:
  void Send(const std::string& payload);
  std::string Receive();
  void ReceiveExactly(char* buffer, std::size_t count);
  // A Windows Sockets SOCKET; the Windows headers stay out of this header because their macros
  // clash with the library's enumerations.
  using Socket = uintptr_t;

  void WaitForHost(Socket listener);
  void Close();

  bool winsockStarted_ = false;
  Socket socket_ = ~Socket{0};
  int32_t portNumber_ = 0;
};

}  // namespace kivocom
