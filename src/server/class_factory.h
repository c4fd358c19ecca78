// SPDX-License-Identifier: MIT
// The class factory that DllGetClassObject hands out for each creatable class.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace kivocom::server {

// Makes a new object of one class and returns its interface `iid`.
using CreateObject = HRESULT (*)(REFIID iid, void** object);

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(CreateObject create);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // Creates an object; aggregation is not supported.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  // Keeps the DLL loaded (TRUE) or lets it go again (FALSE).
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~ClassFactory();

  CreateObject create_;
  std::atomic<ULONG> references_{1};
};

}  // namespace kivocom::server
