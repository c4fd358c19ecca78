// SPDX-License-Identifier: MIT
// Text helpers for replies.
#pragma once

#include <string>

#include "support/blanks.h"

namespace kivocom {

// Turns every CR, then every LF, into a blank, then trims blanks: inner line ends become blanks.
std::string StripLineEnds(const std::string& text);

// True when a character's code is above 128.
bool HasCharAbove128(const std::string& text);

}  // namespace kivocom
