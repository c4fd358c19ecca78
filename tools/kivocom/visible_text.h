// SPDX-License-Identifier: MIT
// Showing line traffic to people: control characters by name.
#pragma once

#include <cstddef>
#include <string>

#include "kivocom/enums.h"

namespace kivotool {

// `bytes` with control characters and bytes above 127 written as <CR>, <LF>, <ESC>, <x81>.
std::string Visible(const std::string& bytes);
// At most `most` bytes of `bytes` shown as Visible does, with "..." when there were more.
std::string VisibleStart(const std::string& bytes, std::size_t most);
// A trace file's text with each line's control characters named; its CR LF line ends kept as line
// breaks.
std::string VisibleLines(const std::string& trace);
// Every line of `text` with `prefix` in front.
std::string Indent(const std::string& text, const std::string& prefix);
// CE_NONE, CE_TIMEOUT, CE_INVALID_DATA or CE_ABORTED.
std::string ResultName(kivocom::ECOMError error);

}  // namespace kivotool
