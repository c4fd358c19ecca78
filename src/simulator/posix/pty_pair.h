// SPDX-License-Identifier: MIT
// The pseudo-terminal pair the simulator answers on: the master it reads and writes, the slave
// path the library opens, and a slave descriptor held open for the pair's life.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kivocom {

class PtyPair {
 public:
  // Opens a master in raw, non-blocking mode and holds its slave open; raises kivocom::Error 8012
  // when the system gives no pseudo-terminal.
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The master descriptor to poll; -1 once closed.
  int MasterFd() const { return master_; }
  // The slave's device path.
  const std::string& SlavePath() const { return slavePath_; }
  // Whether the far end is still open.
  bool IsOpen() const { return master_ >= 0; }

  // Every byte waiting on the master (possibly none); no value when the line is gone.
  std::optional<std::string> ReadAvailable();
  // Writes what the line takes now and returns how many bytes that was; no value when the line
  // is gone.
  std::optional<std::size_t> Write(std::string_view bytes);
  // Closes the far end: the client's side of the slave sees hang-up and the path disappears.
  void Close();

 private:
  int master_ = -1;
  int heldSlave_ = -1;
  std::string slavePath_;
};

}  // namespace kivocom
