// SPDX-License-Identifier: MIT
// The four exports through which Windows creates, registers and unloads the component.
#include <windows.h>
#include <objbase.h>

#include "server/class_factory.h"
#include "server/creatable_classes.h"
#include "server/registration.h"
#include "server/server_module.h"

using namespace kivocom::server;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleHandle(module);
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  size_t count = 0;
  const CreatableClass* classes = CreatableClasses(count);
  for (size_t i = 0; i < count; ++i) {
    if (classes[i].clsid != clsid) continue;
    ClassFactory* factory = new (std::nothrow) ClassFactory(classes[i].create);
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return RegisterServer(); }

STDAPI DllUnregisterServer() { return UnregisterServer(); }
