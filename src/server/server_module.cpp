// SPDX-License-Identifier: MIT
#include "server/server_module.h"

#include <atomic>

namespace kivocom::server {
namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

void SetModuleHandle(HINSTANCE module) { g_module = module; }

HINSTANCE ModuleHandle() { return g_module; }

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void CountObject(bool alive) { alive ? ++g_objects : --g_objects; }

void CountLock(bool locked) { locked ? ++g_locks : --g_locks; }

bool CanUnload() { return g_objects == 0 && g_locks == 0; }

// Loaded from the DLL's own file each time rather than from the registry, so the classes work the
// same registered, registration-free, or from a copy of the DLL elsewhere.
ITypeInfo* LoadTypeInfo(REFIID iid) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library))) return nullptr;
  ITypeInfo* info = nullptr;
  const HRESULT found = library->GetTypeInfoOfGuid(iid, &info);
  library->Release();
  return SUCCEEDED(found) ? info : nullptr;
}

}  // namespace kivocom::server
