// SPDX-License-Identifier: MIT
// A real ser2net for network-port tests: started with a generated configuration that shares one
// device on free loopback ports, once with the Telnet COM-port option (rfc2217://) and once as
// plain TCP (tcp://), checked ready by connecting to its admin port, and stopped by its process
// id (SIGTERM, then SIGKILL after a grace period: a ser2net that met a configuration error
// ignores SIGTERM).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "support/scratch_folder.h"

namespace kivocom {

class Ser2netServer {
 public:
  // The ser2net program, or empty when it is not installed.
  static std::string Program();
  // The version line ser2net prints, such as "ser2net version 4.3.11".
  static std::string Version();

  // Starts ser2net sharing `device`. Started() tells whether it came up.
  explicit Ser2netServer(const std::string& device);
  Ser2netServer(const Ser2netServer&) = delete;
  Ser2netServer& operator=(const Ser2netServer&) = delete;
  // Stops it.
  ~Ser2netServer();

  // True when ser2net runs and takes connections.
  bool Started() const { return started_; }
  // What went wrong when it did not start.
  const std::string& Problem() const { return problem_; }
  // "rfc2217://127.0.0.1:<port>", the device through the COM-port option.
  std::string Rfc2217Address() const;
  // "tcp://127.0.0.1:<port>", the device as plain bytes.
  std::string TcpAddress() const;
  // Ends ser2net at once (SIGKILL), as a server that dies mid-exchange.
  void Kill();
  // Waits up to `timeout` until ser2net holds the device no longer: it closes it on its own time
  // after its client left, and until then it takes part of what the device sends to anyone else.
  bool WaitUntilDeviceReleased(std::chrono::milliseconds timeout) const;

 private:
  void Stop();

  ScratchFolder folder_{"kivocom-ser2net-"};
  int telnetPort_ = 0;
  int tcpPort_ = 0;
  int adminPort_ = 0;
  std::string device_;
  pid_t pid_ = -1;
  bool started_ = false;
  std::string problem_;
};

}  // namespace kivocom
