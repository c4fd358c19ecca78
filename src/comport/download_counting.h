// SPDX-License-Identifier: MIT
// Counting readings for the download progress display.
#pragma once

#include <cstdint>
#include <string>

namespace kivocom {

// Binary records: (length - 4) / 10, rounded to the nearest whole number, halves to even;
// lengths below 4 count 0.
int32_t BinaryReadingsIn(std::size_t length);

// Text readings: the LF characters in a newly received piece.
int32_t TextReadingsIn(const std::string& piece);

}  // namespace kivocom
