// SPDX-License-Identifier: MIT
// A network connection the port has just closed, kept for a moment. Every opening of a port
// closes the line and opens it again; through a server such as ser2net a new connection costs the
// server's release of its device (about 10 ms) each time, while the same connection opened again
// costs one round trip. What is not taken back within the grace is closed by a thread of its own,
// so a closed port lets go of the server's port on time even if the program calls nothing more.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/network/network_line.h"

namespace kivocom {

class ConnectionHold {
 public:
  // How long a closed connection waits to be opened again, by default: no longer than ser2net
  // itself takes to release a device after its client leaves.
  static constexpr std::chrono::milliseconds kDefaultGrace{10};

  explicit ConnectionHold(std::chrono::milliseconds grace = kDefaultGrace);
  // Closes what it still holds.
  ~ConnectionHold();
  ConnectionHold(const ConnectionHold&) = delete;
  ConnectionHold& operator=(const ConnectionHold&) = delete;

  // Keeps `line`, an open connection the port has closed, until the grace ends; one held before
  // is closed first.
  void Hold(std::unique_ptr<NetworkLine> line);
  // The held connection if it leads to `device` for port `port` and its grace has not ended; any
  // other held connection is closed now, before the caller connects anew. Null when none is given.
  std::unique_ptr<NetworkLine> Take(const std::string& device, int32_t port);

 private:
  using Clock = std::chrono::steady_clock;

  void CloseWhenDue();
  static void Close(std::unique_ptr<NetworkLine> line);

  const std::chrono::milliseconds grace_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<NetworkLine> held_;
  Clock::time_point due_{};
  bool stopping_ = false;
  std::thread closer_;  // started with the first connection held
};

}  // namespace kivocom
