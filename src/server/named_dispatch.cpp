// SPDX-License-Identifier: MIT
#include "server/named_dispatch.h"

#include "kivocom/error.h"
#include "server/automation_text.h"
#include "server/error_info.h"
#include "server/server_module.h"

namespace kivocom::server {
namespace {

constexpr int32_t kErrWrongArguments = 450;

// Hands `error` to the caller both ways automation offers: the exception record of this call and
// the thread's error record.
HRESULT Raise(const Error& error, EXCEPINFO* exception) {
  ReportError(error, IID_IDispatch);
  if (exception == nullptr) return DISP_E_EXCEPTION;
  *exception = EXCEPINFO{};
  exception->scode = HresultFromErrorNumber(error.Number());
  exception->bstrSource = BstrFromAnsi(error.Source());
  exception->bstrDescription = BstrFromAnsi(error.Description());
  if (!error.HelpFile().empty()) exception->bstrHelpFile = BstrFromAnsi(error.HelpFile());
  exception->dwHelpContext = static_cast<DWORD>(error.HelpContext());
  return DISP_E_EXCEPTION;
}

}  // namespace

size_t CallArguments::Count() const { return params_.cArgs - params_.cNamedArgs; }

bool CallArguments::Omitted(size_t index) const {
  if (index >= Count()) return true;
  const VARIANT& argument = params_.rgvarg[params_.cArgs - 1 - index];
  return V_VT(&argument) == VT_ERROR && V_ERROR(&argument) == DISP_E_PARAMNOTFOUND;
}

const VARIANT& CallArguments::At(size_t index) const {
  if (Omitted(index)) throw Error(kErrWrongArguments, source_, "Wrong number of arguments or invalid property assignment");
  return params_.rgvarg[params_.cArgs - 1 - index];
}

const VARIANT& CallArguments::PutValue() const {
  for (UINT i = 0; i < params_.cNamedArgs; ++i)
    if (params_.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) return params_.rgvarg[i];
  throw Error(kErrWrongArguments, source_, "Wrong number of arguments or invalid property assignment");
}

void CallArguments::Store(size_t index, const VARIANT& value) const {
  if (index < Count()) StoreThroughReference(params_.rgvarg[params_.cArgs - 1 - index], value);
}

NamedDispatch::NamedDispatch() { CountObject(true); }

NamedDispatch::~NamedDispatch() { CountObject(false); }

HRESULT NamedDispatch::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG NamedDispatch::AddRef() { return ++references_; }

ULONG NamedDispatch::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT NamedDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT NamedDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT NamedDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  size_t memberCount = 0;
  const NamedMember* members = Members(memberCount);
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (size_t m = 0; m < memberCount; ++m)
    if (CompareStringOrdinal(names[0], -1, members[m].name, -1, TRUE) == CSTR_EQUAL) ids[0] = members[m].id;
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // Named arguments are not supported: only positional ones.
  if (count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

HRESULT NamedDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* exception, UINT*) {
  if (params == nullptr) return E_INVALIDARG;
  size_t memberCount = 0;
  const NamedMember* members = Members(memberCount);
  bool known = false;
  for (size_t m = 0; m < memberCount; ++m) known = known || members[m].id == id;
  if (!known) return DISP_E_MEMBERNOTFOUND;
  const std::string source = ObjectName();
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (result != nullptr) VariantInit(result);
  SetErrorInfo(0, nullptr);
  try {
    Call(id, put, CallArguments(*params, source.c_str()), result);
    return S_OK;
  } catch (const Error& error) {
    return Raise(error, exception);
  } catch (const std::exception& error) {
    return Raise(Error(static_cast<int32_t>(E_FAIL), source, error.what()), exception);
  }
}

HRESULT NamedDispatch::InterfaceSupportsErrorInfo(REFIID iid) { return iid == IID_IDispatch ? S_OK : S_FALSE; }

}  // namespace kivocom::server
