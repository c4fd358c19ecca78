// SPDX-License-Identifier: MIT
// The pump between an open device and the control's buffers.
#include "platform/posix/termios_line_pump.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cerrno>
#include <system_error>

namespace kivocom {
namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr auto kShortestDrainNap = std::chrono::milliseconds(1);
}  // namespace

LinePump::LinePump(int fd) : fd_(fd) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  wakeRead_ = FileDescriptor(pipeEnds[0]);
  wakeWrite_ = FileDescriptor(pipeEnds[1]);
  if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  waiterRead_ = FileDescriptor(pipeEnds[0]);
  waiterWrite_ = FileDescriptor(pipeEnds[1]);
  thread_ = std::thread([this] { Run(); });
}

LinePump::~LinePump() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Wake();
  thread_.join();
}

// Bytes that arrive together with a hang-up are kept; a hang-up with nothing left to read, a read
// of end-of-file or a read error means the device is gone, and the thread ends.
void LinePump::Run() {
  while (true) {
    pollfd fds[2] = {{fd_, Interest(), 0}, {wakeRead_.Get(), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return;
    }
    if (fds[1].revents != 0) DrainWakePipe();
    if (Stopping()) return;
    const short events = fds[0].revents;
    const bool received = (events & POLLIN) && ReadAvailable();
    if (events & POLLOUT) WriteQueued();
    if (!received && (events & (POLLHUP | POLLERR | POLLNVAL))) Fail(0);
    if (Failure()) return;
  }
}

short LinePump::Interest() {
  std::lock_guard lock(mutex_);
  return static_cast<short>((paused_ ? 0 : POLLIN) | (output_.empty() ? 0 : POLLOUT));
}

// Reads under the lock, so that discarding received bytes cannot miss a read in flight.
bool LinePump::ReadAvailable() {
  std::lock_guard lock(mutex_);
  return ReadAvailableLocked();
}

bool LinePump::ReadAvailableLocked() {
  bool received = false;
  while (!failure_) {
    const std::size_t room = kInputCapacity - input_.size();
    if (room == 0) {
      paused_ = true;
      break;
    }
    const std::size_t held = input_.size();
    input_.resize(held + std::min(room, kReadChunk));
    const ssize_t count = ::read(fd_, input_.data() + held, input_.size() - held);
    const int err = errno;
    input_.resize(held + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    if (count > 0) {
      received = true;
      receivedTotal_ += static_cast<uint64_t>(count);
    } else if (count == 0) {
      failure_ = 0;
    } else if (err == EAGAIN) {
      break;
    } else if (err != EINTR) {
      failure_ = err;
    }
  }
  if (received || failure_) {
    changed_.notify_all();
    SignalWaiter();
  }
  return received;
}

void LinePump::WriteQueued() {
  std::lock_guard lock(mutex_);
  WriteQueuedLocked();
}

void LinePump::WriteQueuedLocked() {
  while (!output_.empty() && !failure_) {
    const ssize_t count = ::write(fd_, output_.data(), output_.size());
    if (count > 0) {
      output_.erase(0, static_cast<std::size_t>(count));
    } else if (count < 0 && errno == EAGAIN) {
      break;
    } else if (count == 0 || errno != EINTR) {
      failure_ = count == 0 ? EIO : errno;
    }
  }
  if (output_.empty() || failure_) changed_.notify_all();
}

void LinePump::Fail(int err) {
  std::lock_guard lock(mutex_);
  if (!failure_) failure_ = err;
  changed_.notify_all();
  SignalWaiter();
}

// Called under the lock: wakes a client polling the device in WaitForInput.
void LinePump::SignalWaiter() {
  if (!waiterPolling_) return;
  const char signal = 1;
  const ssize_t written = ::write(waiterWrite_.Get(), &signal, 1);
  (void)written;
}

void LinePump::DrainWaiterPipe() {
  char sink[64];
  while (::read(waiterRead_.Get(), sink, sizeof sink) > 0) {
  }
}

bool LinePump::Stopping() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

// A full wake pipe already holds a wake-up, so a failed write loses nothing.
void LinePump::Wake() {
  const char signal = 1;
  const ssize_t written = ::write(wakeWrite_.Get(), &signal, 1);
  (void)written;
}

void LinePump::DrainWakePipe() {
  char sink[64];
  while (::read(wakeRead_.Get(), sink, sizeof sink) > 0) {
  }
}

std::size_t LinePump::DeviceQueued() const {
  int queued = 0;
  if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<std::size_t>(queued);
}

// What the device holds before the command goes out arrived before it: it is read in first, so
// that the mark separates older bytes from the answer exactly.
void LinePump::Send(std::string_view data) {
  std::lock_guard lock(mutex_);
  if (failure_ || data.empty()) return;
  if (!paused_) ReadAvailableLocked();
  receivedAtSend_ = receivedTotal_;
  output_.append(data);
  WriteQueuedLocked();
  if (!output_.empty()) Wake();
}

std::size_t LinePump::PendingOutput() {
  std::lock_guard lock(mutex_);
  return output_.size() + DeviceQueued();
}

// Discards what PendingOutput counts and nothing more. The device is flushed only while it
// reports bytes still queued: a pseudo-terminal reports none, because its bytes have already
// reached the far end, and flushing it would take them back from the far end's input.
void LinePump::DiscardOutput() {
  std::lock_guard lock(mutex_);
  output_.clear();
  if (DeviceQueued() > 0) tcflush(fd_, TCOFLUSH);
  changed_.notify_all();
}

std::size_t LinePump::PendingInput() {
  std::lock_guard lock(mutex_);
  return input_.size();
}

void LinePump::Consumed(std::size_t count) { consumedTotal_ += count; }

std::string LinePump::TakeInput() {
  std::lock_guard lock(mutex_);
  std::string taken;
  taken.swap(input_);
  Consumed(taken.size());
  if (std::exchange(paused_, false)) Wake();
  return taken;
}

void LinePump::DiscardInput() {
  std::lock_guard lock(mutex_);
  tcflush(fd_, TCIFLUSH);
  Consumed(input_.size());
  input_.clear();
  if (std::exchange(paused_, false)) Wake();
}

// The device's own queue is left alone: whatever it holds came after the last Send, which read
// in everything older.
void LinePump::DiscardInputBeforeLastSend() {
  std::lock_guard lock(mutex_);
  const uint64_t older = receivedAtSend_ > consumedTotal_ ? receivedAtSend_ - consumedTotal_ : 0;
  const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(older, input_.size()));
  input_.erase(0, count);
  Consumed(count);
  if (count > 0 && std::exchange(paused_, false)) Wake();
}

bool LinePump::WaitForInput(Deadline deadline) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (!input_.empty() || failure_) return !input_.empty();
      waiterPolling_ = true;
    }
    const auto now = std::chrono::steady_clock::now();
    const int64_t left = now >= deadline ? 0 : std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    pollfd fds[2] = {{fd_, POLLIN, 0}, {waiterRead_.Get(), POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(std::min<int64_t>(left, INT_MAX)));
    {
      std::lock_guard lock(mutex_);
      waiterPolling_ = false;
    }
    DrainWaiterPipe();
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      ReadAvailable();
    } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
      return WaitForFailureOrInput(deadline);
    } else if (ready == 0 && left == 0) {
      std::lock_guard lock(mutex_);
      return !input_.empty();
    }
  }
}

// After a hang-up seen by the client: the reader thread tells whether bytes came with it, or
// records the failure.
bool LinePump::WaitForFailureOrInput(Deadline deadline) {
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, deadline, [this] { return !input_.empty() || failure_; });
  return !input_.empty();
}

// The bytes held here are waited for on the condition variable; the device's own queue has no
// event to wait on, so the wait naps about as long as its bytes take on the wire, and looks again.
bool LinePump::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) {
  {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [this] { return output_.empty() || failure_; }) || failure_)
      return false;
  }
  for (std::size_t queued = DeviceQueued(); queued > 0; queued = DeviceQueued()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto lineTime = std::max<std::chrono::nanoseconds>(kShortestDrainNap, byteTime * static_cast<int64_t>(queued));
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(deadline - now, lineTime));
  }
  return true;
}

std::optional<int> LinePump::Failure() {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace kivocom
