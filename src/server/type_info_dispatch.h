// SPDX-License-Identifier: MIT
// IDispatch for a dual interface, served by its type description (ITypeInfo::Invoke), so names,
// dispatch ids, optional arguments and coercions behave as automation clients expect.
//
// Script clients pass a variable for an in/out argument as a by-reference VARIANT, which the type
// description's Invoke refuses for a typed by-reference parameter. Such arguments are unwrapped
// into typed temporaries before the call and the results written back into the caller's variables
// afterwards. An omitted optional by-reference argument (absent or marked omitted) gets a reference
// to its default, or to an empty value of its type.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace kivocom::server {

class TypeInfoDispatch {
 public:
  // The dispatch of interface `iid` described in the component's type library.
  explicit TypeInfoDispatch(REFIID iid);
  ~TypeInfoDispatch();
  TypeInfoDispatch(const TypeInfoDispatch&) = delete;
  TypeInfoDispatch& operator=(const TypeInfoDispatch&) = delete;

  // False when the type library could not be loaded; the object is then unusable.
  bool Loaded() const { return info_ != nullptr; }

  HRESULT GetTypeInfoCount(UINT* count);
  HRESULT GetTypeInfo(UINT index, ITypeInfo** info);
  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
  // Calls member `id` of `object` (the interface pointer this dispatch describes).
  HRESULT Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* argumentError);

 private:
  ITypeInfo* info_;
};

}  // namespace kivocom::server
