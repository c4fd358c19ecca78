// SPDX-License-Identifier: MIT
// The handles alive in this process and the thread each belongs to. Every call looks its handle
// up here before touching it, so a freed handle, a pointer that never was a handle, or a handle
// used from a thread other than its maker's fails with an error instead of reaching freed memory
// or another thread's serial line.
#pragma once

namespace kivocom::capi {

enum class HandleKind { Port, Switch, Ini };

// Records a handle just made on the calling thread.
void AdoptHandle(const void* handle, HandleKind kind);

// Throws ArgumentFault unless `handle` is a live handle of `kind` made on the calling thread;
// `what` names the argument in the error.
void CheckHandle(const void* handle, HandleKind kind, const char* what);

// Checks `handle` as CheckHandle does and forgets it, for its free.
void ReleaseHandle(const void* handle, HandleKind kind, const char* what);

}  // namespace kivocom::capi
