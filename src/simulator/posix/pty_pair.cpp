// SPDX-License-Identifier: MIT
#include "simulator/posix/pty_pair.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "kivocom/error.h"

namespace kivocom {
namespace {

[[noreturn]] void RaiseOpenError(const char* step) {
  throw Error(kErrDeviceNotOpen, "InstrumentSimulator - Open",
              std::string("Cannot create a pseudo-terminal (") + step + "): " + std::strerror(errno));
}

}  // namespace

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) RaiseOpenError("posix_openpt");
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    const int saved = errno;
    Close();
    errno = saved;
    RaiseOpenError("unlock");
  }
  slavePath_ = name;
  // Raw on the master sets the line discipline both directions share: no echo of commands back to
  // the simulator, no CR to LF translation, every byte passed as it is.
  termios settings{};
  if (tcgetattr(master_, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(master_, TCSANOW, &settings);
  }
  // The library opens and closes the slave for every exchange. Holding it open here keeps the
  // master from reading EIO between exchanges (and from losing bytes a client wrote just before
  // closing); closing the master still hangs up every slave descriptor when the far end is pulled.
  heldSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (heldSlave_ < 0 || fcntl(master_, F_SETFL, O_NONBLOCK) != 0 ||
      fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) {
    const int saved = errno;
    Close();
    errno = saved;
    RaiseOpenError("open slave");
  }
}

PtyPair::~PtyPair() { Close(); }

std::optional<std::string> PtyPair::ReadAvailable() {
  std::string bytes;
  char buffer[4096];
  while (master_ >= 0) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return bytes;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> PtyPair::Write(std::string_view bytes) {
  std::size_t written = 0;
  while (master_ >= 0 && written < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return written;
    } else {
      return std::nullopt;
    }
  }
  if (master_ < 0) return std::nullopt;
  return written;
}

void PtyPair::Close() {
  if (heldSlave_ >= 0) close(heldSlave_);
  if (master_ >= 0) close(master_);
  heldSlave_ = -1;
  master_ = -1;
}

}  // namespace kivocom
