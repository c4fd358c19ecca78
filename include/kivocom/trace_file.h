// SPDX-License-Identifier: MIT
// Where the trace file "dbgkcom.txt" lives and how one line of it is written.
#pragma once

#include <ctime>
#include <string>

namespace kivocom {

// The folder of the trace file: $KIVOCOM_TRACE_DIR when set, else the folder holding the
// library's own file (the program's folder for a static library).
std::string TraceFolder();

// The full path of the trace file.
std::string TraceFilePath();

// The time stamp of a trace line for local time `when`: the locale's short date, a blank and its
// long time; the date alone at exactly midnight.
std::string TraceTimeStamp(const std::tm& when);

// Appends "<time stamp>TAB<text>CR LF" to the trace file in one write; never follows a link
// planted at the path and never fails (a line that cannot be written is lost).
void AppendTraceLine(const std::string& text);

}  // namespace kivocom
