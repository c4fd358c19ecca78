// SPDX-License-Identifier: MIT
#include "server/type_info_dispatch.h"

#include "server/argument_frame.h"
#include "server/server_module.h"

namespace kivocom::server {
namespace {

// The vtable description of a dual interface: ITypeInfo::Invoke calls through it.
ITypeInfo* InterfaceDescription(REFIID iid) {
  ITypeInfo* info = LoadTypeInfo(iid);
  if (info == nullptr) return nullptr;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return info;
  const bool dispatchView = attributes->typekind == TKIND_DISPATCH;
  info->ReleaseTypeAttr(attributes);
  if (!dispatchView) return info;
  HREFTYPE reference = 0;
  ITypeInfo* vtableView = nullptr;
  if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
      SUCCEEDED(info->GetRefTypeInfo(reference, &vtableView))) {
    info->Release();
    return vtableView;
  }
  return info;
}

bool Matches(INVOKEKIND kind, WORD flags) {
  switch (kind) {
    case INVOKE_PROPERTYPUTREF: return flags & DISPATCH_PROPERTYPUTREF;
    case INVOKE_PROPERTYPUT: return flags & DISPATCH_PROPERTYPUT;
    default: return flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  }
}

}  // namespace

TypeInfoDispatch::TypeInfoDispatch(REFIID iid) : info_(InterfaceDescription(iid)) {}

TypeInfoDispatch::~TypeInfoDispatch() {
  if (info_ != nullptr) info_->Release();
}

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(UINT index, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (info_ == nullptr) return E_UNEXPECTED;
  info_->AddRef();
  *info = info_;
  return S_OK;
}

HRESULT TypeInfoDispatch::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
  if (info_ == nullptr) return E_UNEXPECTED;
  return DispGetIDsOfNames(info_, names, count, ids);
}

HRESULT TypeInfoDispatch::Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argumentError) {
  if (info_ == nullptr) return E_UNEXPECTED;
  if (params == nullptr) return E_INVALIDARG;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info_->GetTypeAttr(&attributes))) return E_UNEXPECTED;
  const UINT functions = attributes->cFuncs;
  info_->ReleaseTypeAttr(attributes);
  for (UINT i = 0; i < functions; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(info_->GetFuncDesc(i, &function))) continue;
    if (function->memid != id || !Matches(function->invkind, flags)) {
      info_->ReleaseFuncDesc(function);
      continue;
    }
    HRESULT hr = DISP_E_TYPEMISMATCH;
    {
      ArgumentFrame frame(info_, *function, *params);
      if (frame.Prepared()) {
        hr = info_->Invoke(object, id, flags, frame.Params(), result, exception, argumentError);
        // The member ran also when it raised: what it set in its in/out arguments stands.
        if (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION) frame.WriteBack();
      } else if (argumentError != nullptr) {
        *argumentError = frame.FailedArgument();
      }
    }
    info_->ReleaseFuncDesc(function);
    return hr;
  }
  return info_->Invoke(object, id, flags, params, result, exception, argumentError);
}

}  // namespace kivocom::server
