// SPDX-License-Identifier: MIT
// A plain file "com<n>" in the ports folder: the device path on its first line. People write these
// files by hand, so blanks, tabs and a CR around the path are the editor's, not the path's.
#pragma once

#include <string>
#include <string_view>

namespace kivocom {

// The device path a ports-folder file holds: its first line, without the blanks, tabs and CR
// around it; empty when that line holds nothing else.
std::string DevicePathInPortsFile(std::string_view content);

}  // namespace kivocom
