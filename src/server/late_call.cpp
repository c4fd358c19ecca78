// SPDX-License-Identifier: MIT
#include "server/late_call.h"

#include <dispex.h>

#include <string>

#include "kivocom/error.h"
#include "server/automation_text.h"
#include "server/error_info.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom::server {
namespace {

constexpr int32_t kErrObjectRequired = 424;
constexpr int32_t kErrNoSuchMember = 438;
constexpr int32_t kErrTypeMismatch = 13;
constexpr int32_t kErrWrongArguments = 450;

[[noreturn]] void RaiseFromException(EXCEPINFO& exception, const char* source) {
  if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
  const HRESULT code = exception.scode != 0 ? exception.scode : static_cast<HRESULT>(exception.wCode);
  std::string objectSource = AnsiFromBstr(exception.bstrSource);
  std::string description = AnsiFromBstr(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  throw Error(ErrorNumberFromHresult(code), objectSource.empty() ? source : objectSource, description);
}

[[noreturn]] void RaiseFromResult(HRESULT hr, const char* source) {
  switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
      throw Error(kErrNoSuchMember, source, "Object doesn't support this property or method");
    case DISP_E_TYPEMISMATCH:
      throw Error(kErrTypeMismatch, source, "Type mismatch");
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
      throw Error(kErrWrongArguments, source, "Wrong number of arguments or invalid property assignment");
    default:
      throw Error(ErrorNumberFromHresult(hr), source, SystemErrorText(static_cast<DWORD>(hr)));
  }
}


// The member's id and the call through IDispatchEx where the object offers it: script engines'
// own objects (a script's class instances) answer only there.
class Callee {
 public:
  explicit Callee(IDispatch* object) : object_(object) {
    if (FAILED(object->QueryInterface(__uuidof(IDispatchEx), reinterpret_cast<void**>(&extended_)))) extended_ = nullptr;
  }
  ~Callee() {
    if (extended_ != nullptr) extended_->Release();
  }
  Callee(const Callee&) = delete;
  Callee& operator=(const Callee&) = delete;

  HRESULT Find(const wchar_t* name, DISPID& id) {
    if (extended_ != nullptr) {
      BSTR text = SysAllocString(name);
      const HRESULT hr = extended_->GetDispID(text, fdexNameCaseInsensitive, &id);
      SysFreeString(text);
      return hr;
    }
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  }

  HRESULT Call(DISPID id, WORD kind, DISPPARAMS& params, VARIANT* result, EXCEPINFO& exception) {
    if (extended_ != nullptr)
      return extended_->InvokeEx(id, LOCALE_USER_DEFAULT, kind, &params, result, &exception, nullptr);
    UINT argumentError = 0;
    return object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &exception, &argumentError);
  }

 private:
  IDispatch* object_;
  IDispatchEx* extended_ = nullptr;
};

}  // namespace

Variant CallMember(IDispatch* object, const wchar_t* name, WORD kind, std::vector<VARIANT*> arguments,
                   const char* source) {
  if (object == nullptr) throw Error(kErrObjectRequired, source, "Object required");
  Callee callee(object);
  DISPID id = 0;
  if (const HRESULT hr = callee.Find(name, id); FAILED(hr)) RaiseFromResult(hr, source);

  // Automation passes arguments last first.
  std::vector<VARIANT> reversed;
  for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(**it);
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (kind == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  Variant result;
  EXCEPINFO exception{};
  const HRESULT hr = callee.Call(id, kind, params, kind == DISPATCH_PROPERTYPUT ? nullptr : result.get(), exception);
  if (hr == DISP_E_EXCEPTION) RaiseFromException(exception, source);
  if (FAILED(hr)) RaiseFromResult(hr, source);
  return result;
}

}  // namespace kivocom::server
