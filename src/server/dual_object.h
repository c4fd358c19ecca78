// SPDX-License-Identifier: MIT
// The frame shared by the component's creatable classes: reference counting that keeps the DLL
// loaded, IDispatch served by the type library, ISupportErrorInfo for the class's interface, and
// the guards that turn the library's errors into HRESULTs with an error record.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>

#include "server/error_info.h"
#include "server/server_module.h"
#include "server/type_info_dispatch.h"

namespace kivocom::server {

template <class Interface>
class DualObject : public Interface, public ISupportErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
      *object = static_cast<Interface*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
      *object = static_cast<ISupportErrorInfo*>(this);
    } else if (IsOwnIdentity(iid)) {
      *object = this;
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return dispatch_.GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    return dispatch_.GetTypeInfo(index, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return dispatch_.GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError) override {
    return dispatch_.Invoke(static_cast<Interface*>(this), id, flags, params, result, exception, argumentError);
  }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override { return iid == iid_ ? S_OK : S_FALSE; }

  // Creates an object of `Class` and returns its interface `iid`; a failure of the library while
  // creating it becomes an HRESULT with an error record, and an object whose type library cannot
  // be loaded is not handed out.
  template <class Class>
  static HRESULT Create(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    Class* created = nullptr;
    const HRESULT made = Guarded(Class::kInterface, "KivoCOMPortII", [&] { created = new Class(); });
    if (FAILED(made)) return made;
    const HRESULT hr = created->dispatch_.Loaded() ? created->QueryInterface(iid, object) : TYPE_E_CANTLOADLIBRARY;
    created->Release();
    return hr;
  }

 protected:
  explicit DualObject(REFIID iid) : iid_(iid), dispatch_(iid) { CountObject(true); }
  virtual ~DualObject() { CountObject(false); }

  // Runs one member call; see Guarded.
  template <class Body>
  HRESULT Run(Body&& body) {
    return Guarded(iid_, "KivoCOMPortII", std::forward<Body>(body));
  }
  // Runs one member call that gives a result.
  template <class T, class Body>
  HRESULT Get(T* result, Body&& body) {
    if (result == nullptr) return E_POINTER;
    return Run([&] { *result = body(); });
  }

 protected:
  // True for an identity under which a class hands out its own object, to find it again behind an
  // interface pointer a client passes in.
  virtual bool IsOwnIdentity(REFIID) const { return false; }

 private:
  const IID& iid_;
  std::atomic<ULONG> references_{1};
  TypeInfoDispatch dispatch_;
};

}  // namespace kivocom::server
