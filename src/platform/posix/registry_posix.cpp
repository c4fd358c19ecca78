// SPDX-License-Identifier: MIT
// The registry on POSIX systems. They have none, so the default is an empty in-memory registry:
// no IrDA port is ever found unless a program installs a registry that holds one.
#include "platform/system_registry.h"

namespace kivocom {

std::shared_ptr<Registry> CreateSystemRegistry() { return std::make_shared<MemoryRegistry>(); }

}  // namespace kivocom
