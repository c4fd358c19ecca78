// SPDX-License-Identifier: MIT
// The thread's registry: the installed one, else this system's, created on first use.
#include "kivocom/registry.h"

#include "platform/system_registry.h"

namespace kivocom {
namespace {

thread_local std::shared_ptr<Registry> tRegistry;

}  // namespace

Registry& ThreadRegistry() {
  if (!tRegistry) tRegistry = CreateSystemRegistry();
  return *tRegistry;
}

void InstallThreadRegistry(std::shared_ptr<Registry> registry) { tRegistry = std::move(registry); }

}  // namespace kivocom
