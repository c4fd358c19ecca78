// SPDX-License-Identifier: MIT
// The port object's UpdateDebugFile: one line of the trace file (kivocom/trace_file.h).
#include "kivocom/comport.h"
#include "kivocom/trace_file.h"

namespace kivocom {

void CCOMPort::UpdateDebugFile(const std::string& Text) { AppendTraceLine(Text); }

}  // namespace kivocom
