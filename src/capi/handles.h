// SPDX-License-Identifier: MIT
// What the C interface's opaque handles hold, and how a call reaches one: looked up among the live
// handles of the calling thread first (capi/handle_registry.h).
#pragma once

#include <memory>

#include "capi/c_call.h"
#include "capi/handle_registry.h"
#include "kivocom/comport.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/smart_switch.h"

struct kvc_port {
  kivocom::CCOMPort port;
};

struct kvc_switch {
  kivocom::CSmartSwitch sw;
  // The handle given as parent, returned while the switch still has that parent.
  kvc_port* parent = nullptr;
};

struct kvc_ini {
  // Shared, since the port and switch classes take their settings file as a shared pointer.
  std::shared_ptr<kivocom::KivoINIFile> file = std::make_shared<kivocom::KivoINIFile>();
};

namespace kivocom::capi {

inline HandleKind KindOf(const kvc_port*) { return HandleKind::Port; }
inline HandleKind KindOf(const kvc_switch*) { return HandleKind::Switch; }
inline HandleKind KindOf(const kvc_ini*) { return HandleKind::Ini; }

// The handle a call was given, once it is known to be live and the calling thread's.
template <class Handle>
Handle& Live(Handle* handle, const char* what) {
  CheckHandle(handle, KindOf(handle), what);
  return *handle;
}

// Makes a handle on the calling thread and hands it out through `out`.
template <class Handle>
void MakeHandle(Handle** out, const char* what) {
  Handle*& target = Required(out, what);
  auto handle = std::make_unique<Handle>();
  AdoptHandle(handle.get(), KindOf(handle.get()));
  target = handle.release();
}

// Ends a live handle of the calling thread. NULL is allowed; anything else that is not such a
// handle is left alone, and the thread's last error says why. A success leaves the last error as
// it was, so a program may free its objects before it reports a failure.
template <class Handle>
void FreeHandle(const char* function, Handle* handle) noexcept {
  if (handle == nullptr) return;
  try {
    ReleaseHandle(handle, KindOf(handle), "the handle");
  } catch (const ArgumentFault& fault) {
    kvc_set_last_error(fault.number, function, KVC_NTS, fault.description.data(), fault.description.size());
    return;
  } catch (...) {
    return;
  }
  delete handle;
}

}  // namespace kivocom::capi
