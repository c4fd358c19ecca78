// SPDX-License-Identifier: MIT
// The virtual clock for tests, and the thread's clock and message pump.
#include "kivocom/clock.h"

#include "platform/system_services.h"

namespace kivocom {

void VirtualClock::At(int64_t atMs, std::function<void()> action) {
  actions_.emplace(atMs, std::move(action));
}

// Runs the earliest action due at or before `limitMs`, moving time to it; false when none is due.
bool VirtualClock::RunNextDue(int64_t limitMs) {
  if (actions_.empty() || actions_.begin()->first > limitMs) return false;
  auto node = actions_.extract(actions_.begin());
  if (node.key() > now_) now_ = node.key();
  node.mapped()();
  return true;
}

void VirtualClock::Advance(int64_t ms) {
  const int64_t deadline = now_ + (ms > 0 ? ms : 0);
  while (RunNextDue(deadline)) {
  }
  now_ = deadline;
}

bool VirtualClock::AdvanceUntil(int64_t deadlineMs, const std::function<bool()>& done) {
  while (!done()) {
    if (!RunNextDue(deadlineMs)) {
      if (deadlineMs > now_) now_ = deadlineMs;
      return done();
    }
  }
  return true;
}

namespace {
thread_local std::shared_ptr<Clock> tClock;
thread_local std::shared_ptr<MessagePump> tPump;
}  // namespace

Clock& ThreadClock() {
  if (!tClock) tClock = std::make_shared<SystemClock>();
  return *tClock;
}

void InstallThreadClock(std::shared_ptr<Clock> clock) { tClock = std::move(clock); }

MessagePump& ThreadMessagePump() {
  if (!tPump) tPump = CreateSystemMessagePump();
  return *tPump;
}

void InstallThreadMessagePump(std::shared_ptr<MessagePump> pump) { tPump = std::move(pump); }

}  // namespace kivocom
