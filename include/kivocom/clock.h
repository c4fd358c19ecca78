// SPDX-License-Identifier: MIT
// Time and the message pump: the monotonic millisecond clock that every time-out and wait of the
// library reads, and the hook through which a client's event loop runs during the library's waits.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace kivocom {

// A monotonic 64-bit millisecond clock; it never wraps.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary fixed start.
  virtual int64_t NowMs() = 0;
  // Blocks the thread for up to `ms` milliseconds (returns at once for 0 or less). The system
  // clock on Windows returns early when a window message arrives, so the waiter can pump it.
  virtual void Sleep(int64_t ms) = 0;
};

// Runs the thread's pending messages (a GUI program's events) during the library's waits.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Processes every message waiting for the thread, then returns.
  virtual void ProcessPending() = 0;
};

// The system's steady clock (the tick counter on Windows). Its Sleep uses no processor time.
class SystemClock : public Clock {
 public:
  int64_t NowMs() override;
  void Sleep(int64_t ms) override;
};

// A clock for tests: time stands still until something sleeps or advances it, and scheduled
// actions run when time reaches them, in time order.
class VirtualClock : public Clock {
 public:
  int64_t NowMs() override { return now_; }
  // Advances time by `ms`, running the actions due on the way.
  void Sleep(int64_t ms) override { Advance(ms); }
  // Advances time by `ms`, running the actions due on the way.
  void Advance(int64_t ms);
  // Advances towards `deadlineMs` action by action, stopping early once `done` holds;
  // returns whether `done` holds at the end.
  bool AdvanceUntil(int64_t deadlineMs, const std::function<bool()>& done);
  // Runs `action` once time reaches `atMs` (at the next advance when `atMs` has passed).
  void At(int64_t atMs, std::function<void()> action);
  // Runs `action` `ms` milliseconds from now.
  void After(int64_t ms, std::function<void()> action) { At(now_ + ms, std::move(action)); }

 private:
  bool RunNextDue(int64_t limitMs);

  int64_t now_ = 0;
  std::multimap<int64_t, std::function<void()>> actions_;
};

// The calling thread's clock (the system clock unless one was installed).
Clock& ThreadClock();
// Installs `clock` for the calling thread; nullptr returns to the system clock.
void InstallThreadClock(std::shared_ptr<Clock> clock);

// The calling thread's message pump unless one was installed: on Windows it dispatches the
// thread's window messages (PeekMessage, TranslateMessage, DispatchMessage; a WM_QUIT is posted
// again for the program's own loop); elsewhere it processes nothing.
MessagePump& ThreadMessagePump();
// Installs `pump` for the calling thread; nullptr returns to the system's pump.
void InstallThreadMessagePump(std::shared_ptr<MessagePump> pump);

}  // namespace kivocom
