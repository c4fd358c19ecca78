// SPDX-License-Identifier: MIT
// The pump between an open device and the control's buffers. A thread of its own keeps reading
// the device into a user-space receive buffer, so nothing is lost while the client's thread is
// busy or asleep (the kernel's tty buffer alone holds a few kilobytes), and writes what the
// device could not take at once as soon as it can. The thread and its event set live as long as
// the control: each opening attaches the new device and each closing detaches it, so a reopened
// line costs no thread start and no join. The thread sleeps in epoll_wait until there is work.
// It watches a device only from a few milliseconds after its attachment on: a short exchange
// (open, ask, read, close) is served by the client's thread alone, which reads what the device
// holds when it counts or waits for input. While the client waits for input it polls the device
// itself, so that a reply wakes it straight from the kernel, and the thread stops watching for
// input meanwhile, so that one reply wakes one thread; should the thread still read first, it
// tells the waiting client through an event counter of its own.
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

#include "platform/line/posix/termios_file_descriptor.h"
#include "platform/line/received_bytes.h"

namespace kivocom {

class LinePump {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // A pump with no device; raises std::system_error when the system has no event set to give.
  LinePump();
  LinePump(const LinePump&) = delete;
  LinePump& operator=(const LinePump&) = delete;
  // Stops the thread, if it was started, and waits for it.
  ~LinePump();

  // Starts pumping `fd`, a non-blocking descriptor just opened and flushed, that stays open until
  // Detach; the buffers start empty. The thread is started on the first attachment. Raises
  // std::system_error when the thread cannot be started.
  void Attach(int fd);
  // Stops pumping the attached device and empties the buffers; the caller closes it afterwards.
  void Detach();

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
  void Serve(uint64_t attachment, uint32_t events);
  bool ReadAvailableLocked();
  void WriteQueuedLocked();
  void FailLocked(int err);
  void ArmLocked();
  uint32_t WantedLocked() const;
  void WatchLocked();
  void SignalWaiterLocked();
  std::size_t DeviceQueuedLocked();

  std::mutex mutex_;
  std::condition_variable outputSent_;  // the bytes held here went out, or the device failed
  int fd_ = -1;                         // the attached device; -1 while none is
  uint64_t attachment_ = 1;             // counts attachments, so that a late event of a closed device is told apart
  uint32_t watched_ = 0;                // the events the thread's set holds for the device
  bool registered_ = false;             // the device is in the thread's set (the thread watches it)
  bool armingDue_ = false;              // the arming timer runs
  ReceivedBytes input_;
  std::string output_;
  bool deviceMayHoldOutput_ = false;  // written since the device's queue last read empty
  std::optional<int> failure_;
  bool paused_ = false;          // the receive buffer is full; reading resumes once the client takes some
  bool waiterPolling_ = false;   // a client is in WaitForInput's poll of the device
  bool stopping_ = false;
  FileDescriptor events_;        // the thread's epoll set: the device, the stop counter, the arming timer
  FileDescriptor stop_;          // an eventfd that ends the thread
  FileDescriptor arming_;        // a timerfd that makes the thread watch the attached device
  FileDescriptor waiterWake_;    // an eventfd that wakes a client polling the device
  std::thread thread_;
};

}  // namespace kivocom
