// SPDX-License-Identifier: MIT
#include "platform/network/connection_hold.h"

#include <utility>

namespace kivocom {

ConnectionHold::ConnectionHold(std::chrono::milliseconds grace) : grace_(grace) {}

ConnectionHold::~ConnectionHold() {
  std::unique_ptr<NetworkLine> left;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    left = std::move(held_);
  }
  changed_.notify_all();
  if (closer_.joinable()) closer_.join();
  Close(std::move(left));
}

void ConnectionHold::Hold(std::unique_ptr<NetworkLine> line) {
  std::unique_ptr<NetworkLine> previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(held_, std::move(line));
    due_ = Clock::now() + grace_;
    if (!closer_.joinable()) closer_ = std::thread([this] { CloseWhenDue(); });
  }
  changed_.notify_all();
  Close(std::move(previous));
}

std::unique_ptr<NetworkLine> ConnectionHold::Take(const std::string& device, int32_t port) {
  std::unique_ptr<NetworkLine> line;
  {
    std::lock_guard lock(mutex_);
    if (!held_) return nullptr;
    line = std::move(held_);
    if (Clock::now() < due_ && line->Device() == device && line->Port() == port) return line;
  }
  Close(std::move(line));
  return nullptr;
}

// Sleeps until a held connection's grace ends, then closes it outside the lock, so that a Take
// meanwhile never waits for a server's answer.
void ConnectionHold::CloseWhenDue() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!held_) {
      changed_.wait(lock);
      continue;
    }
    if (changed_.wait_until(lock, due_) == std::cv_status::no_timeout || !held_ || Clock::now() < due_) continue;
    std::unique_ptr<NetworkLine> expired = std::move(held_);
    lock.unlock();
    Close(std::move(expired));
    lock.lock();
  }
}

// Closing drains what the connection still has to send; a connection that fails meanwhile is
// simply gone, which is all closing asks.
void ConnectionHold::Close(std::unique_ptr<NetworkLine> line) {
  if (line) line->Close();
}

}  // namespace kivocom
