// SPDX-License-Identifier: MIT
// A self-pipe that wakes the simulator's thread from its poll when it has something to do
// (stopping, unplugging), so the thread never spins while idle.
#pragma once

namespace kivocom {

class WakePipe {
 public:
  // Opens the pipe; raises kivocom::Error 8012 when the system refuses.
  WakePipe();
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  // The end to poll for reading.
  int ReadFd() const { return read_; }
  // Makes ReadFd readable; callable from any thread.
  void Wake();
  // Empties the pipe after a wake-up.
  void Drain();

 private:
  int read_ = -1;
  int write_ = -1;
};

}  // namespace kivocom
