// SPDX-License-Identifier: MIT
// This system's registry, as the calling thread gets it when no registry was installed. Each system
// has its own file (posix/registry_posix.cpp, windows/registry_windows.cpp).
#pragma once

#include <memory>

#include "kivocom/registry.h"

namespace kivocom {

// A new reader of this system's registry.
std::shared_ptr<Registry> CreateSystemRegistry();

}  // namespace kivocom
