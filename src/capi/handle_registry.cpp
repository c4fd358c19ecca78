// SPDX-License-Identifier: MIT
// The live handles: a map from handle to its kind and owning thread, behind one lock. A lookup
// costs a lock and a hash, small beside any call that reaches the line.
#include "capi/handle_registry.h"

#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "capi/c_call.h"

namespace kivocom::capi {
namespace {

struct Owner {
  HandleKind kind;
  std::thread::id thread;
};

std::mutex gHandlesMutex;
std::unordered_map<const void*, Owner>& Handles() {
  static std::unordered_map<const void*, Owner> handles;
  return handles;
}

const char* KindName(HandleKind kind) {
  switch (kind) {
    case HandleKind::Port: return "port (kvc_port_new)";
    case HandleKind::Switch: return "switch (kvc_switch_new)";
    case HandleKind::Ini: return "settings file (kvc_ini_new)";
  }
  return "handle";
}

// The entry of a live handle of `kind` made on this thread; throws for anything else. The caller
// holds the lock.
std::unordered_map<const void*, Owner>::iterator Find(const void* handle, HandleKind kind, const char* what) {
  if (handle == nullptr) throw ArgumentFault{KVC_ERR_INVALID_ARGUMENT, std::string(what) + " must not be NULL."};
  const auto it = Handles().find(handle);
  if (it == Handles().end() || it->second.kind != kind)
    throw ArgumentFault{KVC_ERR_INVALID_ARGUMENT, std::string(what) + " is not a live " + KindName(kind) +
                                                      ": it was freed already, or never made."};
  if (it->second.thread != std::this_thread::get_id())
    throw ArgumentFault{KVC_ERR_WRONG_THREAD, std::string(what) + " belongs to another thread: a handle is used " +
                                                  "only on the thread that made it."};
  return it;
}

}  // namespace

void AdoptHandle(const void* handle, HandleKind kind) {
  std::lock_guard lock(gHandlesMutex);
  Handles()[handle] = Owner{kind, std::this_thread::get_id()};
}

void CheckHandle(const void* handle, HandleKind kind, const char* what) {
  std::lock_guard lock(gHandlesMutex);
  Find(handle, kind, what);
}

void ReleaseHandle(const void* handle, HandleKind kind, const char* what) {
  std::lock_guard lock(gHandlesMutex);
  Handles().erase(Find(handle, kind, what));
}

}  // namespace kivocom::capi
