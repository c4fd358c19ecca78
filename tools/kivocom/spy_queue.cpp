// SPDX-License-Identifier: MIT
#include "spy_queue.h"

namespace kivotool {
namespace {

// Traffic waiting to be printed before the relay waits for the printing (a terminal slower than
// the line): memory stays bounded, and the line is slowed rather than the record cut.
constexpr std::size_t kMostQueuedBytes = 16u << 20;

}  // namespace

SpyQueue::SpyQueue(SpyObserver& observer) : observer_(observer), thread_([this] { Run(); }) {}

SpyQueue::~SpyQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void SpyQueue::Ready(const std::string& programDevice, const std::string& unfollowed) {
  Add([=](SpyObserver& o) { o.Ready(programDevice, unfollowed); }, 0);
}

void SpyQueue::Settings(const std::string& settings, const std::string& problem, const SpyStamp& stamp) {
  Add([=](SpyObserver& o) { o.Settings(settings, problem, stamp); }, 0);
}

void SpyQueue::Traffic(bool fromProgram, const std::string& bytes, const SpyStamp& stamp) {
  Add([=](SpyObserver& o) { o.Traffic(fromProgram, bytes, stamp); }, bytes.size());
}

void SpyQueue::DeviceLost(const std::string& why, const SpyStamp& stamp) {
  Add([=](SpyObserver& o) { o.DeviceLost(why, stamp); }, 0);
}

void SpyQueue::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return (events_.empty() && !busy_) || failure_; });
  if (failure_) std::rethrow_exception(failure_);
}

void SpyQueue::Add(std::function<void(SpyObserver&)> event, std::size_t bytes) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queuedBytes_ < kMostQueuedBytes || failure_; });
  if (failure_) std::rethrow_exception(failure_);
  events_.emplace_back(std::move(event), bytes);
  queuedBytes_ += bytes;
  changed_.notify_all();
}

void SpyQueue::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !events_.empty() || stopping_; });
    if (events_.empty() || failure_) return;
    auto [event, bytes] = std::move(events_.front());
    events_.pop_front();
    busy_ = true;
    lock.unlock();
    try {
      event(observer_);
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      busy_ = false;
      changed_.notify_all();
      return;
    }
    lock.lock();
    busy_ = false;
    queuedBytes_ -= bytes;
    changed_.notify_all();
  }
}

}  // namespace kivotool
