// SPDX-License-Identifier: MIT
// The simulator host's side of its loopback connection to the program that started it: whole
// messages in, whole messages out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kivocom {

class ProgramConnection {
 public:
  // Connects to the program listening on loopback `port`; raises kivocom::Error 8012 on refusal.
  explicit ProgramConnection(uint16_t port);
  ~ProgramConnection();
  ProgramConnection(const ProgramConnection&) = delete;
  ProgramConnection& operator=(const ProgramConnection&) = delete;

  // Sends `payload` as one message; false when the program has gone.
  bool Send(const std::string& payload);
  // The next message; no value when the program has closed its side or gone.
  std::optional<std::string> Receive();

 private:
  bool ReceiveExactly(char* buffer, std::size_t count);
  int fd_ = -1;
};

}  // namespace kivocom
