// SPDX-License-Identifier: MIT
// VARIANTs as the component's members take and give them: an owning wrapper, conversions to the
// library's types with automation's own coercion rules, and storing through a by-reference argument.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>

namespace kivocom::server {

// An owned VARIANT, cleared when it ends.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  // A Boolean (VT_BOOL, True as -1).
  static Variant Boolean(bool value);
  // A 16-bit integer (VT_I2).
  static Variant Integer(int16_t value);
  // A 32-bit integer (VT_I4).
  static Variant Long(int32_t value);
  // A text (VT_BSTR) from the library's ANSI bytes.
  static Variant Text(const std::string& value);
  // An object reference (VT_DISPATCH), with a reference of its own.
  static Variant Object(IDispatch* value);
  // The marker of an omitted optional argument.
  static Variant Missing();

  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }

 private:
  VARIANT value_;
};

// `value` (followed through by-reference wrappers) converted as automation converts it; raises
// kivocom::Error 13 "Type mismatch" with `source` when it cannot be.
bool ToBoolean(const VARIANT& value, const char* source);
int16_t ToInteger(const VARIANT& value, const char* source);
int32_t ToLong(const VARIANT& value, const char* source);
std::string ToText(const VARIANT& value, const char* source);
// The object `value` refers to, with a reference the caller releases; nullptr for Nothing.
IDispatch* ToObject(const VARIANT& value, const char* source);

// Converts `value` into `target` of type `type`, following by-reference wrappers; false when the
// value has no such form.
bool ConvertInto(VARIANT& target, const VARIANT& value, VARTYPE type);

// Stores `value` where the by-reference argument `reference` points, converted to the type it
// points at (a by-reference VARIANT takes the value as it is). Arguments passed by value are left
// alone; false when the value cannot take the referenced type.
bool StoreThroughReference(VARIANT& reference, const VARIANT& value);

}  // namespace kivocom::server
