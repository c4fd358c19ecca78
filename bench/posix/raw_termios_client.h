// SPDX-License-Identifier: MIT
// The floor a serial library is measured against: the same exchange written directly on termios,
// with nothing a library adds.
#pragma once

#include <string>

namespace kivocom::bench {

// Opens `path`, makes it a raw 115,200-baud line and returns the descriptor; -1 when it cannot.
int OpenRawLine(const std::string& path);
// Writes the bytes ReadPort sends for "PV" (a lone CR, then PV and CR) and reads until the
// reply's LF; true when the reply is the instrument's.
bool RawExchange(int fd);
// One exchange the way every ReadPort runs it: open and set up the line, exchange, close.
bool RawReopenExchange(const std::string& path);
// The same with the steps every exchange of the design adds, and nothing else: both buffers
// emptied, a lone CR sent and drained, both buffers emptied again, the command sent and drained.
bool RawDesignStepsExchange(const std::string& path);

}  // namespace kivocom::bench
