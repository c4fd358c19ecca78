// SPDX-License-Identifier: MIT
// The pump between an open device and the control's buffers. A thread of its own keeps reading
// the device into a user-space receive buffer, so nothing is lost while the client's thread is
// busy or asleep (the kernel's tty buffer alone holds a few kilobytes), and writes what the
// device could not take at once as soon as it can. The thread sleeps in poll() until there is
// work. A client waiting for input polls the device too, so that a reply wakes it straight from
// the kernel; whichever thread reads first keeps the bytes, and the reader thread tells a
// polling client through a pipe of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/posix/termios_file_descriptor.h"

namespace kivocom {

class LinePump {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // Received bytes held at most: one second at 921,600 baud is 92,160 bytes; this holds eleven.
  static constexpr std::size_t kInputCapacity = std::size_t{1} << 20;

  // Starts pumping `fd`, a non-blocking descriptor that outlives this pump. Raises
  // std::system_error when the thread cannot be started.
  explicit LinePump(int fd);
  LinePump(const LinePump&) = delete;
  LinePump& operator=(const LinePump&) = delete;
  // Stops the thread and waits for it.
  ~LinePump();

  // Hands `data` to the device: what it takes now is written, the rest follows in order. Bytes
  // received up to this moment are marked as older than `data`.
  void Send(std::string_view data);
  // Bytes handed to Send and not yet on the wire: those held here and the device's own queue.
  std::size_t PendingOutput();
  // Discards every byte not yet on the wire, here and in the device's queue.
  void DiscardOutput();
  // Received bytes waiting to be taken.
  std::size_t PendingInput();
  // Returns and removes every waiting received byte.
  std::string TakeInput();
  // Discards every received byte not yet taken, here and in the device.
  void DiscardInput();
  // Discards the received bytes that arrived before the last Send; later ones stay.
  void DiscardInputBeforeLastSend();
  // Sleeps until received bytes wait, the device fails or `deadline` passes; true when bytes wait.
  bool WaitForInput(Deadline deadline);
  // Sleeps until every byte sent is on the wire, the device fails or `deadline` passes; true when
  // all are. `byteTime` is how long one byte takes on the wire.
  bool WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime);
  // Empty while the device works; once it failed, 0 when it hung up, else the system's error.
  std::optional<int> Failure();

 private:
  void Run();
  short Interest();
  bool ReadAvailable();
  bool ReadAvailableLocked();
  void Consumed(std::size_t count);
  void WriteQueued();
  void WriteQueuedLocked();
  void Fail(int err);
  bool Stopping();
  void Wake();
  void DrainWakePipe();
  void SignalWaiter();
  void DrainWaiterPipe();
  bool WaitForFailureOrInput(Deadline deadline);
  std::size_t DeviceQueued() const;

  const int fd_;
  std::mutex mutex_;
  std::condition_variable changed_;  // input arrived, output went out, or the device failed
  std::string input_;
  // Bytes ever received, bytes ever taken or discarded, and the received count at the last Send:
  // together they tell which waiting bytes are older than the last command.
  uint64_t receivedTotal_ = 0;
  uint64_t consumedTotal_ = 0;
  uint64_t receivedAtSend_ = 0;
  std::string output_;
  std::optional<int> failure_;
  bool paused_ = false;  // the receive buffer is full; reading resumes once the client takes some
  bool stopping_ = false;
  FileDescriptor wakeRead_;
  FileDescriptor wakeWrite_;
  bool waiterPolling_ = false;  // a client is in WaitForInput's poll of the device
  FileDescriptor waiterRead_;
  FileDescriptor waiterWrite_;
  std::thread thread_;
};

}  // namespace kivocom
