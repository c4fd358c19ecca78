// SPDX-License-Identifier: MIT
// The pump between an open device and the control's buffers.
#include "platform/line/posix/termios_line_pump.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>
#include <utility>

namespace kivocom {
namespace {

constexpr std::size_t kReadChunk = 16 * 1024;
constexpr auto kShortestDrainNap = std::chrono::milliseconds(1);
constexpr uint64_t kStopKey = 0;
constexpr uint64_t kArmKey = 1;  // attachments are numbered from 2
// How long an attached device is left to the client before the thread watches it. A short
// exchange opens, asks, reads and closes well within it, so the thread never wakes for it; at
// 921,600 baud it is 460 bytes, far below what the kernel's tty buffer holds meanwhile.
constexpr long kArmingDelayNs = 5'000'000;
constexpr int kEventsAtOnce = 4;
constexpr uint32_t kInput = EPOLLIN;
constexpr uint32_t kOutput = EPOLLOUT;
constexpr uint32_t kHangUp = EPOLLHUP | EPOLLERR;

FileDescriptor NewEventSet() {
  FileDescriptor set(epoll_create1(EPOLL_CLOEXEC));
  if (!set.Valid()) throw std::system_error(errno, std::generic_category(), "epoll_create1");
  return set;
}

FileDescriptor NewTimer() {
  FileDescriptor timer(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
  if (!timer.Valid()) throw std::system_error(errno, std::generic_category(), "timerfd_create");
  return timer;
}

FileDescriptor NewEventCounter() {
  FileDescriptor counter(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!counter.Valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
  return counter;
}

// A counter that cannot take more already holds a signal, so a failed write loses nothing.
void Signal(const FileDescriptor& counter) {
  const uint64_t one = 1;
  const ssize_t written = ::write(counter.Get(), &one, sizeof one);
  (void)written;
}

void Reset(const FileDescriptor& counter) {
  uint64_t value = 0;
  const ssize_t taken = ::read(counter.Get(), &value, sizeof value);
  (void)taken;
}

}  // namespace

LinePump::LinePump()
    : events_(NewEventSet()), stop_(NewEventCounter()), arming_(NewTimer()), waiterWake_(NewEventCounter()) {
  for (const auto& [counter, key] : {std::pair{stop_.Get(), kStopKey}, std::pair{arming_.Get(), kArmKey}}) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = key;
    if (epoll_ctl(events_.Get(), EPOLL_CTL_ADD, counter, &event) != 0)
      throw std::system_error(errno, std::generic_category(), "epoll_ctl");
  }
}

LinePump::~LinePump() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Signal(stop_);
  thread_.join();
}

// The buffers keep their memory from one attachment to the next, so that a reopened line
// allocates nothing. The device joins the thread's set only when the arming timer fires; a timer
// still running for an earlier attachment fires within the delay of this one too, so it is left
// as it is, and a burst of short exchanges sets it once per delay.
void LinePump::Attach(int fd) {
  std::lock_guard lock(mutex_);
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  fd_ = fd;
  ++attachment_;
  input_.Reset();
  output_.clear();
  deviceMayHoldOutput_ = false;
  failure_.reset();
  paused_ = waiterPolling_ = false;
  if (armingDue_) return;
  itimerspec arm{};
  arm.it_value.tv_nsec = kArmingDelayNs;
  if (timerfd_settime(arming_.Get(), 0, &arm, nullptr) == 0)
    armingDue_ = true;
  else
    ArmLocked();
}

void LinePump::Detach() {
  std::lock_guard lock(mutex_);
  if (registered_) epoll_ctl(events_.Get(), EPOLL_CTL_DEL, fd_, nullptr);
  registered_ = false;
  fd_ = -1;
  input_.Reset();
  output_.clear();
  outputSent_.notify_all();
}

void LinePump::Run() {
  epoll_event events[kEventsAtOnce];
  for (;;) {
    const int count = epoll_wait(events_.Get(), events, kEventsAtOnce, -1);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      std::lock_guard lock(mutex_);
      if (fd_ >= 0) FailLocked(errno);
      return;
    }
    for (int i = 0; i < count; ++i) {
      const uint64_t key = events[i].data.u64;
      if (key != kStopKey && key != kArmKey) {
        Serve(key, events[i].events);
        continue;
      }
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      Reset(key == kStopKey ? stop_ : arming_);
      if (key != kArmKey) continue;
      armingDue_ = false;
      ArmLocked();
    }
  }
}

// Events of a device detached since are dropped: its descriptor may be closed, or another's.
// Bytes that arrive together with a hang-up are kept; a hang-up with nothing left to read, a read
// of end-of-file or a read error means the device is gone.
void LinePump::Serve(uint64_t attachment, uint32_t events) {
  std::lock_guard lock(mutex_);
  if (attachment != attachment_ || fd_ < 0 || failure_) return;
  const bool received = (events & (kInput | kHangUp)) && !paused_ && ReadAvailableLocked();
  if (events & kOutput) WriteQueuedLocked();
  if (!received && (events & kHangUp) && !failure_) FailLocked(0);
  WatchLocked();
}

// Reads in chunks into the buffer, which keeps its memory, until the device has no more: a read
// that fills less than its chunk took all there was, and what comes later is reported anew.
bool LinePump::ReadAvailableLocked() {
  char chunk[kReadChunk];
  bool received = false;
  while (!failure_) {
    const std::size_t room = input_.Room();
    if (room == 0) {
      paused_ = true;
      break;
    }
    const std::size_t asked = std::min(room, sizeof chunk);
    const ssize_t count = ::read(fd_, chunk, asked);
    if (count > 0) {
      input_.Append(std::string_view(chunk, static_cast<std::size_t>(count)));
      received = true;
      if (static_cast<std::size_t>(count) < asked) break;
    } else if (count == 0) {
      FailLocked(0);
    } else if (errno == EAGAIN) {
      break;
    } else if (errno != EINTR) {
      FailLocked(errno);
    }
  }
  if (received) SignalWaiterLocked();
  return received;
}

void LinePump::WriteQueuedLocked() {
  std::size_t written = 0;
  while (written < output_.size() && !failure_) {
    const ssize_t count = ::write(fd_, output_.data() + written, output_.size() - written);
    if (count > 0) {
      written += static_cast<std::size_t>(count);
      deviceMayHoldOutput_ = true;
    } else if (count < 0 && errno == EAGAIN) {
      break;
    } else if (count == 0 || errno != EINTR) {
      FailLocked(count == 0 ? EIO : errno);
    }
  }
  output_.erase(0, written);
  if (output_.empty()) outputSent_.notify_all();
}

void LinePump::FailLocked(int err) {
  if (!failure_) failure_ = err;
  outputSent_.notify_all();
  SignalWaiterLocked();
}

// The thread starts watching the attached device, unless it is watched already or has failed.
void LinePump::ArmLocked() {
  if (fd_ < 0 || registered_ || failure_) return;
  epoll_event device{};
  device.events = watched_ = WantedLocked();
  device.data.u64 = attachment_;
  registered_ = epoll_ctl(events_.Get(), EPOLL_CTL_ADD, fd_, &device) == 0;
}

uint32_t LinePump::WantedLocked() const {
  return (paused_ || waiterPolling_ ? 0 : kInput) | (output_.empty() ? 0 : kOutput);
}

// Keeps the thread's interest in the device in step with the state: input while the buffer has
// room and no client polls the device itself, output while bytes wait here. A failed device
// leaves the set, since a hang-up is reported whatever the interest.
void LinePump::WatchLocked() {
  if (!registered_) return;
  if (failure_) {
    epoll_ctl(events_.Get(), EPOLL_CTL_DEL, fd_, nullptr);
    registered_ = false;
    return;
  }
  const uint32_t wanted = WantedLocked();
  if (wanted == watched_) return;
  epoll_event device{};
  device.events = wanted;
  device.data.u64 = attachment_;
  if (epoll_ctl(events_.Get(), EPOLL_CTL_MOD, fd_, &device) == 0) watched_ = wanted;
}

void LinePump::SignalWaiterLocked() {
  if (waiterPolling_) Signal(waiterWake_);
}

// The device's queue fills only through this pump's writes, so once it read empty it is not
// asked again until the next write.
std::size_t LinePump::DeviceQueuedLocked() {
  if (!deviceMayHoldOutput_ || fd_ < 0) return 0;
  int queued = 0;
  if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0) queued = 0;
  if (queued == 0) deviceMayHoldOutput_ = false;
  return static_cast<std::size_t>(queued);
}

// What the device holds before the command goes out arrived before it: it is read in first, so
// that the mark separates older bytes from the answer exactly. What the device cannot take at once
// is the thread's to write as soon as it can, so the thread watches the device from then on.
void LinePump::Send(std::string_view data) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0 || failure_ || data.empty()) return;
  if (!paused_) ReadAvailableLocked();
  input_.MarkSend();
  output_.append(data);
  WriteQueuedLocked();
  if (!output_.empty()) ArmLocked();
  WatchLocked();
}

std::size_t LinePump::PendingOutput() {
  std::lock_guard lock(mutex_);
  return output_.size() + DeviceQueuedLocked();
}

// Discards what PendingOutput counts and nothing more. The device is flushed only while it
// reports bytes still queued: a pseudo-terminal reports none, because its bytes have already
// reached the far end, and flushing it would take them back from the far end's input.
void LinePump::DiscardOutput() {
  std::lock_guard lock(mutex_);
  output_.clear();
  if (DeviceQueuedLocked() > 0) {
    tcflush(fd_, TCOFLUSH);
    deviceMayHoldOutput_ = false;
  }
  WatchLocked();
  outputSent_.notify_all();
}

// Before the thread watches the device, what waits in it is read in here when nothing is held,
// so that a count of none is as current as the thread would keep it.
std::size_t LinePump::PendingInput() {
  std::lock_guard lock(mutex_);
  if (input_.Empty() && fd_ >= 0 && !registered_ && !failure_) ReadAvailableLocked();
  return input_.Size();
}

std::string LinePump::TakeInput() {
  std::lock_guard lock(mutex_);
  std::string taken = input_.TakeAll();
  paused_ = false;
  WatchLocked();
  return taken;
}

void LinePump::DiscardInput() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
  input_.DiscardAll();
  paused_ = false;
  WatchLocked();
}

// The device's own queue is left alone: whatever it holds came after the last Send, which read
// in everything older.
void LinePump::DiscardInputBeforeLastSend() {
  std::lock_guard lock(mutex_);
  if (input_.DiscardBeforeMark() > 0) paused_ = false;
  WatchLocked();
}

// The client polls the device itself and reads what it finds; the thread, if it watches the device
// yet, meanwhile watches only for output and hang-ups, and signals the counter if it read first
// all the same.
bool LinePump::WaitForInput(Deadline deadline) {
  for (;;) {
    int fd = -1;
    {
      std::lock_guard lock(mutex_);
      if (!input_.Empty() || failure_ || fd_ < 0) return !input_.Empty();
      waiterPolling_ = true;
      WatchLocked();
      fd = fd_;
    }
    const auto now = std::chrono::steady_clock::now();
    const int64_t left = now >= deadline ? 0 : std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    pollfd fds[2] = {{fd, POLLIN, 0}, {waiterWake_.Get(), POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(std::min<int64_t>(left, INT_MAX)));
    std::lock_guard lock(mutex_);
    waiterPolling_ = false;
    if (ready > 0 && fds[1].revents != 0) Reset(waiterWake_);
    const short deviceEvents = ready > 0 ? fds[0].revents : 0;
    if (deviceEvents != 0 && fd_ >= 0 && !failure_) {
      const bool received = !paused_ && ReadAvailableLocked();
      if (!received && (deviceEvents & (POLLHUP | POLLERR | POLLNVAL)) && !failure_) FailLocked(0);
    }
    WatchLocked();
    if (!input_.Empty() || failure_) return !input_.Empty();
    if (ready == 0 && left == 0) return false;
  }
}

// The bytes held here are waited for on the condition variable; the device's own queue has no
// event to wait on, so the wait naps about as long as its bytes take on the wire, and looks again.
bool LinePump::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) {
  std::unique_lock lock(mutex_);
  if (!outputSent_.wait_until(lock, deadline, [this] { return output_.empty() || failure_; }) || failure_)
    return false;
  for (std::size_t queued = DeviceQueuedLocked(); queued > 0; queued = DeviceQueuedLocked()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto lineTime = std::max<std::chrono::nanoseconds>(kShortestDrainNap, byteTime * static_cast<int64_t>(queued));
    lock.unlock();
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(deadline - now, lineTime));
    lock.lock();
  }
  return true;
}

std::optional<int> LinePump::Failure() {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace kivocom
