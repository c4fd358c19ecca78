// SPDX-License-Identifier: MIT
// The relay on POSIX: the device and a pseudo-terminal master polled together, each burst read
// passed on at once; the program's termios followed onto the device before the bytes it sent
// after choosing them. The relay holds the program's end (the slave) open itself, so the program
// may close and reopen it at will, and closes it only to hang the program up when the device goes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../exit_codes.h"
#include "../spy_relay.h"
#include "spy_line_settings.h"

namespace kivotool {
namespace {

// A burst is what one read returns.
constexpr std::size_t kBurstSize = 4096;
// Bytes waiting for a slow side before the relay stops reading the fast one.
constexpr std::size_t kMostPending = 64 * 1024;
// How often the program's settings are looked at while the line is quiet.
constexpr int kSettingsLookMs = 20;

volatile sig_atomic_t gInterrupted = 0;
extern "C" void NoteInterrupt(int) { gInterrupted = 1; }

std::string Why(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

SpyStamp Now() { return {std::chrono::steady_clock::now(), std::chrono::system_clock::now()}; }

// Ctrl-C, termination and a closed terminal end the relay between two polls, never inside one.
class InterruptWatch {
 public:
  InterruptWatch() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, &previousMask_);
    struct sigaction note {};
    note.sa_handler = NoteInterrupt;
    sigemptyset(&note.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &note, &previous_[i]);
    pollMask_ = previousMask_;
    for (int s : kSignals) sigdelset(&pollMask_, s);
  }
  ~InterruptWatch() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
  }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;
  // The mask to poll with: the watched signals let through.
  const sigset_t* PollMask() const { return &pollMask_; }

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  sigset_t previousMask_{};
  sigset_t pollMask_{};
  struct sigaction previous_[3] {};
};

class Relay {
 public:
  Relay(const std::string& device, const SpyLine& line, SpyObserver& observer) : observer_(observer), line_(line) {
    OpenProgramEnd();
    OpenDevice(device);
  }
  ~Relay() {
    CloseProgramEnd();
    if (device_ >= 0) {
      if (deviceIsTerminal_) tcsetattr(device_, TCSANOW, &deviceOriginal_);
      close(device_);
    }
  }
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  bool Run() {
    InterruptWatch watch;
    observer_.Ready(programPath_, std::string(kSpyUnfollowed) + (KeepsFraming(heldSlave_) ? "" : kSpyFramingUnfollowed));
    observer_.Settings(LineSettingsText(WithFixedFraming(programSettings_, line_)), settingsProblem_, Now());
    while (!gInterrupted) {
      if (!PollOnce(watch)) return false;
    }
    gInterrupted = 0;
    return true;
  }

 private:
  void OpenDevice(const std::string& path) {
    device_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (device_ < 0) throw ToolFailure(kExitPortError, "cannot open " + Why(path.c_str()));
    deviceIsTerminal_ = tcgetattr(device_, &deviceOriginal_) == 0;
    if (!deviceIsTerminal_) {
      settingsProblem_ = "the device is no terminal; no settings reach it";
      return;
    }
    termios raw = deviceOriginal_;
    MakeRawAt(raw, line_.baud);
    raw = WithFixedFraming(raw, line_);
    if (tcsetattr(device_, TCSANOW, &raw) != 0) settingsProblem_ = Why("the device refused them");
  }

  void OpenProgramEnd() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
      throw ToolFailure(kExitPortError, "no pseudo-terminal for the program: " + Why("posix_openpt"));
    programPath_ = name;
    heldSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (heldSlave_ < 0) throw ToolFailure(kExitPortError, "cannot hold " + Why(name));
    // Raw from the start, so that nothing the device sends is echoed back as if the program had.
    tcgetattr(heldSlave_, &programSettings_);
    if (!MakeRawAt(programSettings_, line_.baud))
      throw ToolFailure(kExitUsage, "this system has no line speed " + std::to_string(line_.baud));
    tcsetattr(heldSlave_, TCSANOW, &programSettings_);
  }

  void CloseProgramEnd() {
    if (heldSlave_ >= 0) close(heldSlave_);
    if (master_ >= 0) close(master_);
    heldSlave_ = master_ = -1;
  }

  // One wait and what it found; false once the device is gone.
  bool PollOnce(const InterruptWatch& watch) {
    pollfd fds[2] = {{master_, Events(toDevice_, toProgram_), 0}, {device_, Events(toProgram_, toDevice_), 0}};
    const timespec look{0, kSettingsLookMs * 1000000L};
    if (ppoll(fds, 2, &look, watch.PollMask()) < 0) return true;  // interrupted: the loop looks why
    if (fds[0].revents & POLLIN) FromProgram();
    if (fds[1].revents & POLLIN) {
      if (!FromDevice()) return LoseDevice(lost_);
    } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      return LoseDevice("it hung up");
    }
    if (fds[0].revents & POLLOUT) Flush(master_, toProgram_);
    if (!lost_.empty() || ((fds[1].revents & POLLOUT) && !Flush(device_, toDevice_))) return LoseDevice(lost_);
    LookAtSettings();
    return true;
  }

  // Read a side while the other still takes its bytes; write it while bytes wait for it.
  static short Events(const std::string& pendingFromIt, const std::string& pendingToIt) {
    return static_cast<short>((pendingFromIt.size() < kMostPending ? POLLIN : 0) | (pendingToIt.empty() ? 0 : POLLOUT));
  }

  void FromProgram() {
    char buffer[kBurstSize];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    const SpyStamp stamp = Now();
    LookAtSettings();
    toDevice_.append(buffer, static_cast<std::size_t>(n));
    Flush(device_, toDevice_);
    observer_.Traffic(true, std::string(buffer, static_cast<std::size_t>(n)), stamp);
  }

  bool FromDevice() {
    char buffer[kBurstSize];
    const ssize_t n = read(device_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) {
      lost_ = n == 0 ? "it hung up" : Why("reading it failed");
      return false;
    }
    const SpyStamp stamp = Now();
    toProgram_.append(buffer, static_cast<std::size_t>(n));
    Flush(master_, toProgram_);
    observer_.Traffic(false, std::string(buffer, static_cast<std::size_t>(n)), stamp);
    return true;
  }

  // Writes what `fd` takes now; false when it fails for good.
  bool Flush(int fd, std::string& pending) {
    while (!pending.empty()) {
      const ssize_t n = write(fd, pending.data(), pending.size());
      if (n > 0) {
        pending.erase(0, static_cast<std::size_t>(n));
      } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
      } else {
        if (fd == device_) lost_ = Why("writing to it failed");
        return false;
      }
    }
    return true;
  }

  void LookAtSettings() {
    termios now{};
    if (tcgetattr(master_, &now) != 0 || SameLineSettings(now, programSettings_)) return;
    programSettings_ = now;
    const termios wanted = WithFixedFraming(now, line_);
    const std::string problem = deviceIsTerminal_ ? FollowSettings(device_, wanted) : settingsProblem_;
    observer_.Settings(LineSettingsText(wanted), problem, Now());
  }

  bool LoseDevice(const std::string& why) {
    observer_.DeviceLost(why.empty() ? "it hung up" : why, Now());
    CloseProgramEnd();
    return false;
  }

  SpyObserver& observer_;
  SpyLine line_;
  int device_ = -1;
  bool deviceIsTerminal_ = false;
  termios deviceOriginal_{};
  int master_ = -1;
  int heldSlave_ = -1;
  std::string programPath_;
  termios programSettings_{};
  std::string settingsProblem_;
  std::string toDevice_, toProgram_;
  std::string lost_;
};

}  // namespace

bool RunSpyRelay(const std::string& device, const SpyLine& line, SpyObserver& observer) {
  Relay relay(device, line, observer);
  return relay.Run();
}

}  // namespace kivotool
