// SPDX-License-Identifier: MIT
// An instrument's answer as it is to go on the line: its bytes in pieces, with the silence
// between pieces. When and how fast the bytes go is the reply schedule's job.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace kivocom {

struct Transmission {
  std::vector<std::string> pieces;  // sent in order; never empty strings
  std::chrono::milliseconds gap{0};  // silence between two pieces
};

// `text` cut into pieces of `pieceSize` bytes (the last may be shorter); 0 keeps it whole.
std::vector<std::string> SplitIntoPieces(const std::string& text, std::size_t pieceSize);

}  // namespace kivocom
