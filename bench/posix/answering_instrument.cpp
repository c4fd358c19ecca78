// SPDX-License-Identifier: MIT
// The answering instrument's process: it reads commands from the pseudo-terminal's master side
// and answers them; a closed stop pipe ends it.
#include "answering_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kivocom::bench {
namespace {

constexpr std::size_t kDownloadPiece = 1024;
constexpr long kNsPerPiece = 1'000'000'000L * kDownloadPiece / AnsweringInstrument::kDownloadBytes;

[[noreturn]] void Fail(const char* what) { throw std::runtime_error(std::string(what) + ": " + std::strerror(errno)); }

void AddNs(timespec& t, long ns) {
  t.tv_nsec += ns;
  while (t.tv_nsec >= 1'000'000'000L) {
    t.tv_nsec -= 1'000'000'000L;
    ++t.tv_sec;
  }
}

// Sends the download at the line's pace. What the pseudo-terminal cannot take when a piece is due
// is dropped, as a serial port's receiver overruns when nobody empties it.
void StreamDownload(int master) {
  const std::string data = AnsweringInstrument::DownloadData();
  timespec due{};
  clock_gettime(CLOCK_MONOTONIC, &due);
  for (std::size_t at = 0; at < data.size(); at += kDownloadPiece) {
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
    const ssize_t written = write(master, data.data() + at, std::min(kDownloadPiece, data.size() - at));
    (void)written;
    AddNs(due, kNsPerPiece);
  }
}

void Answer(int master, const std::string& command) {
  static const std::string reply = std::string(AnsweringInstrument::kReply) + "\r\n";
  if (command == "PV") {
    const ssize_t written = write(master, reply.data(), reply.size());
    (void)written;
  } else if (command == "DL") {
    StreamDownload(master);
  }
}

[[noreturn]] void Serve(int master, int stopRead) {
  std::string heard;
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{master, POLLIN, 0}, {stopRead, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) _exit(1);
    if (fds[1].revents != 0) _exit(0);
    if (!(fds[0].revents & POLLIN)) continue;
    const ssize_t count = read(master, buffer, sizeof buffer);
    if (count <= 0) continue;
    heard.append(buffer, static_cast<std::size_t>(count));
    for (std::size_t end; (end = heard.find('\r')) != std::string::npos; heard.erase(0, end + 1))
      Answer(master, heard.substr(0, end));
  }
}

}  // namespace

bool PinToCpu(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

std::string AnsweringInstrument::DownloadData() {
  std::string data(kDownloadBytes, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('0' + i % 61);
  return data;
}

// The instrument keeps a descriptor of the slave side open, so that the master never sees a
// hang-up between the clients' closings, and the line is raw from the start.
AnsweringInstrument::AnsweringInstrument(int cpu) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) Fail("posix_openpt");
  char name[128];
  if (ptsname_r(master, name, sizeof name) != 0) Fail("ptsname_r");
  devicePath_ = name;
  const int holder = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (holder < 0) Fail(name);
  termios tio{};
  tcgetattr(holder, &tio);
  cfmakeraw(&tio);
  cfsetspeed(&tio, B115200);
  tcsetattr(holder, TCSANOW, &tio);
  int stop[2];
  if (pipe2(stop, O_CLOEXEC) != 0) Fail("pipe2");
  child_ = fork();
  if (child_ < 0) Fail("fork");
  if (child_ == 0) {
    close(stop[1]);
    if (cpu >= 0) PinToCpu(cpu);
    fcntl(master, F_SETFL, O_NONBLOCK);
    Serve(master, stop[0]);
  }
  close(stop[0]);
  close(master);
  close(holder);
  stopWrite_ = stop[1];
}

AnsweringInstrument::~AnsweringInstrument() {
  close(stopWrite_);
  int status = 0;
  while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace kivocom::bench
