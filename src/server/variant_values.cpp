// SPDX-License-Identifier: MIT
#include "server/variant_values.h"

#include "kivocom/error.h"
#include "server/automation_text.h"

namespace kivocom::server {
namespace {

constexpr int32_t kErrTypeMismatch = 13;

Variant Converted(const VARIANT& value, VARTYPE type, const char* source) {
  Variant converted;
  if (!ConvertInto(*converted.get(), value, type)) throw Error(kErrTypeMismatch, source, "Type mismatch");
  return converted;
}

}  // namespace

Variant Variant::Boolean(bool value) {
  Variant v;
  V_VT(v.get()) = VT_BOOL;
  V_BOOL(v.get()) = VariantBool(value);
  return v;
}

Variant Variant::Integer(int16_t value) {
  Variant v;
  V_VT(v.get()) = VT_I2;
  V_I2(v.get()) = value;
  return v;
}

Variant Variant::Long(int32_t value) {
  Variant v;
  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = value;
  return v;
}

Variant Variant::Text(const std::string& value) {
  Variant v;
  V_BSTR(v.get()) = BstrFromAnsi(value);
  V_VT(v.get()) = VT_BSTR;
  return v;
}

Variant Variant::Object(IDispatch* value) {
  Variant v;
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = value;
  if (value != nullptr) value->AddRef();
  return v;
}

Variant Variant::Missing() {
  Variant v;
  V_VT(v.get()) = VT_ERROR;
  V_ERROR(v.get()) = DISP_E_PARAMNOTFOUND;
  return v;
}

bool ConvertInto(VARIANT& target, const VARIANT& value, VARTYPE type) {
  VariantClear(&target);
  Variant plain;
  if (FAILED(VariantCopyInd(plain.get(), const_cast<VARIANT*>(&value)))) return false;
  // Nothing and an unset variable both stand for "no object".
  if (type == VT_DISPATCH && (V_VT(plain.get()) == VT_EMPTY || V_VT(plain.get()) == VT_NULL)) {
    V_VT(&target) = VT_DISPATCH;
    V_DISPATCH(&target) = nullptr;
    return true;
  }
  return SUCCEEDED(VariantChangeType(&target, plain.get(), 0, type));
}

bool ToBoolean(const VARIANT& value, const char* source) {
  return V_BOOL(Converted(value, VT_BOOL, source).get()) != VARIANT_FALSE;
}

int16_t ToInteger(const VARIANT& value, const char* source) { return V_I2(Converted(value, VT_I2, source).get()); }

int32_t ToLong(const VARIANT& value, const char* source) { return V_I4(Converted(value, VT_I4, source).get()); }

std::string ToText(const VARIANT& value, const char* source) {
  return AnsiFromBstr(V_BSTR(Converted(value, VT_BSTR, source).get()));
}

IDispatch* ToObject(const VARIANT& value, const char* source) {
  Variant converted = Converted(value, VT_DISPATCH, source);
  IDispatch* object = V_DISPATCH(converted.get());
  if (object != nullptr) object->AddRef();
  return object;
}

bool StoreThroughReference(VARIANT& reference, const VARIANT& value) {
  if (!(V_VT(&reference) & VT_BYREF)) return true;
  const VARTYPE type = V_VT(&reference) & ~VT_BYREF;
  if (type == VT_VARIANT) return SUCCEEDED(VariantCopy(V_VARIANTREF(&reference), const_cast<VARIANT*>(&value)));
  Variant converted;
  if (!ConvertInto(*converted.get(), value, type)) return false;
  VARIANT* c = converted.get();
  switch (type) {
    case VT_UI1: *V_UI1REF(&reference) = V_UI1(c); return true;
    case VT_I2: *V_I2REF(&reference) = V_I2(c); return true;
    case VT_I4: *V_I4REF(&reference) = V_I4(c); return true;
    case VT_R4: *V_R4REF(&reference) = V_R4(c); return true;
    case VT_R8: *V_R8REF(&reference) = V_R8(c); return true;
    case VT_BOOL: *V_BOOLREF(&reference) = V_BOOL(c); return true;
    case VT_BSTR:
      SysFreeString(*V_BSTRREF(&reference));
      *V_BSTRREF(&reference) = V_BSTR(c);
      V_VT(c) = VT_EMPTY;
      return true;
    case VT_DISPATCH:
      if (*V_DISPATCHREF(&reference) != nullptr) (*V_DISPATCHREF(&reference))->Release();
      *V_DISPATCHREF(&reference) = V_DISPATCH(c);
      V_VT(c) = VT_EMPTY;
      return true;
    default:
      return false;
  }
}

}  // namespace kivocom::server
