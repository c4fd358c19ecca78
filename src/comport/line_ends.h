// Text helpers for replies.
#pragma once

#include <string>

namespace kivocom {

// Removes leading and trailing blanks (0x20 only).
std::string TrimBlanks(const std::string& text);

// Turns every CR, then every LF, into a blank, then trims blanks: inner line ends become blanks.
std::string StripLineEnds(const std::string& text);

// True when a character's code is above 128.
bool HasCharAbove128(const std::string& text);

}  // namespace kivocom
