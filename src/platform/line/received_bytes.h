// SPDX-License-Identifier: MIT
// The receive buffer of an open line: the bytes the device sent and the client has not taken, in
// the order they came, bounded, with a mark that tells the bytes that came before the last command
// from those that came after it (an instrument's quick answer). Every line keeps its received
// bytes here, so every line clears them by the same rules. Not locked: its owner guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kivocom {

class ReceivedBytes {
 public:
  // Bytes held at most: one second at 921,600 baud is 92,160 bytes; this holds eleven. A line
  // stops reading its device while the buffer is full, so the device (or the server) waits and
  // nothing is lost.
  static constexpr std::size_t kCapacity = std::size_t{1} << 20;

  // Bytes waiting to be taken.
  std::size_t Size() const { return bytes_.size(); }
  // True when no byte waits.
  bool Empty() const { return bytes_.empty(); }
  // Bytes that can still be added before the buffer is full.
  std::size_t Room() const { return kCapacity - bytes_.size(); }

  // Adds bytes that just arrived; the caller keeps within Room.
  void Append(std::string_view bytes);
  // Returns and removes every waiting byte. The buffer keeps its memory for what comes next.
  std::string TakeAll();
  // Discards every waiting byte, as the device discards what it holds: no byte counted as on its
  // way at the mark comes any more.
  void DiscardAll();
  // Marks every byte received so far, and `notYetAppended` more that are on their way from the
  // device, as older than the command now being sent.
  void MarkSend(std::size_t notYetAppended = 0);
  // Discards the waiting bytes older than the mark; later ones stay. Returns how many went.
  std::size_t DiscardBeforeMark();
  // Empties the buffer and forgets the mark, for a new opening.
  void Reset();

 private:
  void Consume();

  std::string bytes_;
  // Bytes ever received, ever taken or discarded, and the received count at the mark.
  uint64_t receivedTotal_ = 0;
  uint64_t consumedTotal_ = 0;
  uint64_t receivedAtMark_ = 0;
};

}  // namespace kivocom
