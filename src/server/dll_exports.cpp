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

// The library keeps per-thread state (the thread's serial control, clock and handlers) whose
// destructors run when each thread ends. The DLL therefore stays mapped until the process ends,
// even when COM frees it after DllCanUnloadNow: those destructors would otherwise run code that
// is gone.
void PinModule() {
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinModule), &pinned);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  PinModule();
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
