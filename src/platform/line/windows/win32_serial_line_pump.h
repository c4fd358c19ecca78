// SPDX-License-Identifier: MIT
// The pump between an open serial handle and the control's buffers. A thread of its own keeps
// one overlapped one-byte read pending on the line and, once it returns a byte, drains what the
// driver holds into a user-space receive buffer, so nothing is lost while the client's thread is
// busy. The thread sleeps on events until a byte arrives or the read's time-out passes (a wait on
// comm events would spin under Wine). Output goes out as overlapped writes, completed by the
// driver in order.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/line/received_bytes.h"
#include "platform/line/windows/win32_serial_handle.h"

namespace kivocom {

class Win32LinePump {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // Starts pumping `line`, an overlapped serial handle that outlives this pump. Raises
  // std::system_error when an event or the thread cannot be made.
  explicit Win32LinePump(HANDLE line);
  Win32LinePump(const Win32LinePump&) = delete;
  Win32LinePump& operator=(const Win32LinePump&) = delete;
  // Stops the thread, cancels unfinished writes and waits for both.
  ~Win32LinePump();

  // Hands `data` to the driver as one overlapped write. Bytes received up to this moment, those
  // the driver holds included, are marked as older than `data`.
  void Send(std::string_view data);
  // Bytes handed to Send and not yet on the wire.
  std::size_t PendingOutput();
  // Discards every byte not yet on the wire: unfinished writes and the driver's queue.
  void DiscardOutput();
  // Received bytes waiting to be taken.
  std::size_t PendingInput();
  // Returns and removes every waiting received byte.
  std::string TakeInput();
  // Discards every received byte not yet taken, here and in the driver.
  void DiscardInput();
  // Discards the received bytes that arrived before the last Send; later ones stay.
  void DiscardInputBeforeLastSend();
  // Sleeps until received bytes wait, the line fails or `deadline` passes, running the thread's
  // message pump when window messages arrive; true when bytes wait.
  bool WaitForInput(Deadline deadline);
  // Sleeps until every byte sent is on the wire, the line fails or `deadline` passes; true when
  // all are. `byteTime` is how long one byte takes on the wire.
  bool WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime);
  // Empty while the line works; once it failed, the Windows error that showed it.
  std::optional<DWORD> Failure();

 private:
  // One overlapped write and its bytes, kept until the driver finished with them.
  struct Write {
    OVERLAPPED overlapped{};
    Win32Handle done;
    std::string data;
  };

  void Run();
  bool WaitWhilePaused();
  bool ReadFirstByte();
  bool DrainQueued();
  bool StartRead(char* buffer, DWORD count, unsigned& generation);
  bool FinishRead(DWORD& got, unsigned generation);
  void Store(const char* bytes, std::size_t count, unsigned generation);
  void FailLocked(DWORD err);
  void UpdateInputEventLocked();
  void ReapWritesLocked();
  void CancelWritesLocked();
  COMSTAT DriverStatus();

  const HANDLE line_;
  std::mutex mutex_;
  Win32Handle stop_;       // set when the pump ends
  Win32Handle resume_;     // set when the client takes input from a full buffer
  Win32Handle readDone_;   // the pending read's completion
  Win32Handle inputOrFailure_;  // set while input waits or the line failed
  OVERLAPPED read_{};
  ReceivedBytes input_;
  std::list<Write> writes_;
  std::optional<DWORD> failure_;
  bool paused_ = false;     // the receive buffer is full; reading resumes once the client takes some
  unsigned discards_ = 0;   // input discards so far; a byte read across a discard is dropped
  std::thread thread_;
};

}  // namespace kivocom
