// The thread's registry. This system has none, so the default is an empty in-memory registry:
// no IrDA port is ever found unless a program installs a registry that holds one.
#include "kivocom/registry.h"

namespace kivocom {
namespace {

thread_local std::shared_ptr<Registry> tRegistry;

}  // namespace

Registry& ThreadRegistry() {
  if (!tRegistry) tRegistry = std::make_shared<MemoryRegistry>();
  return *tRegistry;
}

void InstallThreadRegistry(std::shared_ptr<Registry> registry) { tRegistry = std::move(registry); }

}  // namespace kivocom
