// SPDX-License-Identifier: MIT
// Hands what the relay sees to a thread of its own for decoding, printing and recording, so
// that the relay goes straight back to reading. A program that clears its output right after
// writing (as every exchange does after a switch selection) discards, on a pseudo-terminal,
// whatever the relay has not read by then: the relay must not be busy printing.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "spy_relay.h"

namespace kivotool {

class SpyQueue : public SpyObserver {
 public:
  // Passes everything on to `observer` on the queue's thread, in order.
  explicit SpyQueue(SpyObserver& observer);
  // Passes on what is still queued, then ends the thread.
  ~SpyQueue() override;
  SpyQueue(const SpyQueue&) = delete;
  SpyQueue& operator=(const SpyQueue&) = delete;

  void Ready(const std::string& programDevice, const std::string& unfollowed) override;
  void Settings(const std::string& settings, const std::string& problem, const SpyStamp& stamp) override;
  void Traffic(bool fromProgram, const std::string& bytes, const SpyStamp& stamp) override;
  void DeviceLost(const std::string& why, const SpyStamp& stamp) override;

  // Waits until everything queued has been passed on; rethrows what the observer raised.
  void Finish();

 private:
  void Add(std::function<void(SpyObserver&)> event, std::size_t bytes);
  void Run();

  SpyObserver& observer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<std::function<void(SpyObserver&)>, std::size_t>> events_;
  std::size_t queuedBytes_ = 0;
  bool busy_ = false;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace kivotool
