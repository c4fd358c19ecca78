// SPDX-License-Identifier: MIT
// A pseudo-terminal pair for tests that play the instrument themselves (the simulator has a pair
// of its own). The code under test opens the slave side as if it were a serial port (map it to a
// port number with MapPortToDevice); the test reads and writes the master side, with time-outs
// that keep it from hanging. Nothing holds the slave open, so closing the master hangs it up.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace kivocom {

class TestPtyPair {
 public:
  // Makes a new pair; raises std::system_error when the system has no pseudo-terminals left.
  TestPtyPair() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) Fail("posix_openpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) Fail("ptsname_r");
    slavePath_ = name;
  }
  TestPtyPair(const TestPtyPair&) = delete;
  TestPtyPair& operator=(const TestPtyPair&) = delete;
  ~TestPtyPair() { CloseMaster(); }

  // The device path of the slave side, such as /dev/pts/3.
  const std::string& SlavePath() const { return slavePath_; }
  // The master side's descriptor (non-blocking); -1 once closed.
  int MasterFd() const { return master_; }

  // Sends `bytes` to whoever reads the slave side; returns how many went before `timeoutMs`
  // passed without the slave side taking more.
  std::size_t Write(std::string_view bytes, int timeoutMs = 2000) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t count = ::write(master_, bytes.data() + sent, bytes.size() - sent);
      if (count > 0) {
        sent += static_cast<std::size_t>(count);
      } else if (count < 0 && errno == EAGAIN) {
        pollfd writable{master_, POLLOUT, 0};
        if (poll(&writable, 1, timeoutMs) <= 0) break;
      } else if (count < 0 && errno != EINTR) {
        break;
      }
    }
    return sent;
  }

  // Reads what the slave side sent until `count` bytes came or `timeoutMs` passed.
  std::string Read(std::size_t count, int timeoutMs = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    char chunk[4096];
    while (received.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd readable{master_, POLLIN, 0};
      if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t got = ::read(master_, chunk, std::min(sizeof chunk, count - received.size()));
      if (got > 0)
        received.append(chunk, static_cast<std::size_t>(got));
      else if (got == 0 || (errno != EAGAIN && errno != EINTR))
        break;  // the slave side is closed
    }
    return received;
  }

  // Closes the master side: the slave side sees its far end hang up.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    const int err = errno;
    CloseMaster();
    throw std::system_error(err, std::generic_category(), what);
  }

  int master_;
  std::string slavePath_;
};

}  // namespace kivocom
