// SPDX-License-Identifier: MIT
#include "raw_termios_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "answering_instrument.h"

namespace kivocom::bench {
namespace {
constexpr int kReplyWaitMs = 1000;
}  // namespace

int OpenRawLine(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  cfsetspeed(&tio, B115200);
  tio.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

namespace {

bool SendAndDrain(int fd, const std::string& text) {
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
  int queued = 0;
  while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
  }
  return true;
}

bool ReadReply(int fd) {
  static const std::string expected = std::string(AnsweringInstrument::kReply) + "\r\n";
  char reply[64];
  std::size_t held = 0;
  while (held == 0 || reply[held - 1] != '\n') {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kReplyWaitMs) <= 0) return false;
    const ssize_t n = read(fd, reply + held, sizeof reply - held);
    if (n <= 0) return false;
    held += static_cast<std::size_t>(n);
    if (held == sizeof reply) return false;
  }
  return std::string(reply, held) == expected;
}

}  // namespace

bool RawExchange(int fd) {
  static const std::string command = "\rPV\r";
  if (write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return false;
  return ReadReply(fd);
}

bool RawDesignStepsExchange(const std::string& path) {
  const int fd = OpenRawLine(path);
  if (fd < 0) return false;
  tcflush(fd, TCIOFLUSH);
  bool ok = SendAndDrain(fd, "\r");
  tcflush(fd, TCIOFLUSH);
  ok = ok && SendAndDrain(fd, "PV\r") && ReadReply(fd);
  close(fd);
  return ok;
}

bool RawReopenExchange(const std::string& path) {
  const int fd = OpenRawLine(path);
  if (fd < 0) return false;
  const bool ok = RawExchange(fd);
  close(fd);
  return ok;
}

}  // namespace kivocom::bench
