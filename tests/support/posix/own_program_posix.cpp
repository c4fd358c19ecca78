// SPDX-License-Identifier: MIT
// This program's file, as the kernel names it.
#include <filesystem>

#include "support/test_child.h"

namespace kivocom {

std::string OwnProgramPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace kivocom
