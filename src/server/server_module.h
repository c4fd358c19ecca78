// SPDX-License-Identifier: MIT
// The component's module: its instance handle and path, the count of live objects and server locks
// that decides whether the DLL may be unloaded, and the type library embedded in it.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace kivocom::server {

// Remembers the DLL's instance handle; called once from DllMain.
void SetModuleHandle(HINSTANCE module);
// The DLL's instance handle.
HINSTANCE ModuleHandle();
// The DLL's full path.
std::wstring ModulePath();

// Counts one more (true) or one fewer (false) live object.
void CountObject(bool alive);
// Counts one more (true) or one fewer (false) server lock taken through IClassFactory::LockServer.
void CountLock(bool locked);
// True when no object and no lock is alive.
bool CanUnload();

// The type description of interface `iid` from the embedded type library, with a reference the
// caller releases; nullptr when the library cannot be loaded.
ITypeInfo* LoadTypeInfo(REFIID iid);

}  // namespace kivocom::server
