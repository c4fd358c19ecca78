// SPDX-License-Identifier: MIT
#include "platform/line/received_bytes.h"

#include <algorithm>

namespace kivocom {

void ReceivedBytes::Append(std::string_view bytes) {
  bytes_.append(bytes);
  receivedTotal_ += bytes.size();
}

// Copied out rather than handed over, so that the buffer keeps its memory; a reply is short
// enough to need none of its own.
std::string ReceivedBytes::TakeAll() {
  std::string taken(bytes_);
  Consume();
  return taken;
}

void ReceivedBytes::DiscardAll() {
  Consume();
  receivedAtMark_ = std::min(receivedAtMark_, receivedTotal_);
}

void ReceivedBytes::Consume() {
  consumedTotal_ += bytes_.size();
  bytes_.clear();
}

void ReceivedBytes::MarkSend(std::size_t notYetAppended) { receivedAtMark_ = receivedTotal_ + notYetAppended; }

std::size_t ReceivedBytes::DiscardBeforeMark() {
  const uint64_t older = receivedAtMark_ > consumedTotal_ ? receivedAtMark_ - consumedTotal_ : 0;
  const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(older, bytes_.size()));
  bytes_.erase(0, count);
  consumedTotal_ += count;
  return count;
}

void ReceivedBytes::Reset() {
  bytes_.clear();
  receivedTotal_ = consumedTotal_ = receivedAtMark_ = 0;
}

}  // namespace kivocom
