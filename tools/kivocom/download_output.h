// SPDX-License-Identifier: MIT
// Where a download's data goes: standard output, or a file that only a download that brought
// data replaces, written beside it and renamed into place so the old file stays whole until then.
#pragma once

#include <string>

namespace kivotool {

// True for "" and "-", standard output.
bool ToStandardOutput(const std::string& output);

// Fails (exit 7) before anything is transferred when `output` could not be written or replaced;
// creates and changes nothing.
void RequireWritableOutput(const std::string& output);

// Writes `data` to `output`; an existing file is replaced whole, keeping its permissions. Data
// that could not go there is kept in a new file the raised ToolFailure names.
void WriteResult(const std::string& data, const std::string& output);

// "went to standard output" or "are in FILE", said of the bytes written.
std::string WhereDataWent(const std::string& output);

}  // namespace kivotool
