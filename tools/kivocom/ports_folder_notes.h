// SPDX-License-Identifier: MIT
// What keeps a hand-written ports-folder file from naming its device, said in words: a file whose
// first line is a comment, or that is not text at all, would otherwise be passed over in silence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivotool {

// Why the plain file com<number> in the ports folder names no usable device path; "" when it has
// none of these faults, or there is no such file.
std::string PortsFileProblem(int32_t number);

// One line for each file com<n> (1 to 256) of the ports folder that has a fault, naming it.
std::vector<std::string> PortsFolderProblems();

}  // namespace kivotool
