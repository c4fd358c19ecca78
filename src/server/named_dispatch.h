// SPDX-License-Identifier: MIT
// The base of the component's small automation objects that have no type library of their own (the
// serial control and the settings-file component): IUnknown, IDispatch by a table of member names,
// ISupportErrorInfo, and the library's errors turned into automation exceptions.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "server/variant_values.h"

namespace kivocom::server {

// One member: its name (matched without regard to case) and dispatch id.
struct NamedMember {
  const wchar_t* name;
  DISPID id;
};

// The arguments of one call: positional ones in their written order, and the value of a property
// put. Conversions raise kivocom::Error 13 "Type mismatch".
class CallArguments {
 public:
  CallArguments(const DISPPARAMS& params, const char* source) : params_(params), source_(source) {}
  // Positional arguments given (omitted optional ones count as given).
  size_t Count() const;
  // True when argument `index` is absent or marked omitted.
  bool Omitted(size_t index) const;
  const VARIANT& At(size_t index) const;
  std::string Text(size_t index) const { return ToText(At(index), source_); }
  int16_t Integer(size_t index) const { return ToInteger(At(index), source_); }
  int32_t Long(size_t index) const { return ToLong(At(index), source_); }
  bool Boolean(size_t index) const { return ToBoolean(At(index), source_); }
  // The value assigned by a property put.
  const VARIANT& PutValue() const;
  // Stores `value` into argument `index` when the caller passed a variable by reference.
  void Store(size_t index, const VARIANT& value) const;

 private:
  const DISPPARAMS& params_;
  const char* source_;
};

class NamedDispatch : public IDispatch, public ISupportErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

 protected:
  NamedDispatch();
  virtual ~NamedDispatch();

  // The object's members.
  virtual const NamedMember* Members(size_t& count) const = 0;
  // The object's name in error sources, such as "KivoINIFile".
  virtual const char* ObjectName() const = 0;
  // Runs member `id`; `put` tells a property put from a get or method call. Sets `result` (which
  // may be nullptr when the caller wants none). Raises kivocom::Error on failure.
  virtual void Call(DISPID id, bool put, const CallArguments& arguments, VARIANT* result) = 0;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace kivocom::server
