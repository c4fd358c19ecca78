// SPDX-License-Identifier: MIT
// An instrument's answer as it is to go on the line: its bytes in pieces, with the silence
// between pieces. When and how fast the bytes go is the reply schedule's job.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kivocom {

struct Transmission {
  std::vector<std::string> pieces;  // sent in order; never empty strings
  std::chrono::milliseconds gap{0};  // silence between two pieces
  // When given, the silence before each piece after the first, instead of `gap`.
  std::vector<std::chrono::microseconds> pieceGaps;
  // When given, the time from the command to the first piece, instead of the instrument's delay.
  std::optional<std::chrono::microseconds> delay;
};

// `text` cut into pieces of `pieceSize` bytes (the last may be shorter); 0 keeps it whole.
std::vector<std::string> SplitIntoPieces(const std::string& text, std::size_t pieceSize);

}  // namespace kivocom
