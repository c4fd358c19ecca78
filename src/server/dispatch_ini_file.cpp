// SPDX-License-Identifier: MIT
#include "server/dispatch_ini_file.h"

#include "server/late_call.h"

namespace kivocom::server {
namespace {

constexpr const char* kSource = "KivoINIFile";

// Calls Read member `name` with the key and a variable holding `value`; returns whether the key was
// found and leaves in `value` what the object stored into the variable.
bool Read(IDispatch* object, const wchar_t* name, const std::string& key, Variant& value) {
  Variant keyText = Variant::Text(key);
  Variant reference;
  V_VT(reference.get()) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(reference.get()) = value.get();
  Variant found = CallMember(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {keyText.get(), reference.get()},
                             kSource);
  V_VT(reference.get()) = VT_EMPTY;
  return ToBoolean(*found.get(), kSource);
}

void Write(IDispatch* object, const wchar_t* name, std::vector<VARIANT*> arguments) {
  CallMember(object, name, DISPATCH_METHOD, std::move(arguments), kSource);
}

}  // namespace

std::shared_ptr<IniFile> ClientIniFile(IDispatch** reference) {
  if (reference == nullptr || *reference == nullptr) return nullptr;
  return std::make_shared<DispatchIniFile>(*reference);
}

DispatchIniFile::DispatchIniFile(IDispatch* object) : object_(object) { object_->AddRef(); }

DispatchIniFile::~DispatchIniFile() { object_->Release(); }

void DispatchIniFile::FileName(const std::string& fileName) {
  Variant text = Variant::Text(fileName);
  CallMember(object_, L"FileName", DISPATCH_PROPERTYPUT, {text.get()}, kSource);
}

void DispatchIniFile::Section(const std::string& section) {
  Variant text = Variant::Text(section);
  CallMember(object_, L"Section", DISPATCH_PROPERTYPUT, {text.get()}, kSource);
}

bool DispatchIniFile::ReadBoolean(const std::string& key, bool& value) {
  Variant held = Variant::Boolean(value);
  if (!Read(object_, L"ReadBoolean", key, held)) return false;
  value = ToBoolean(*held.get(), kSource);
  return true;
}

bool DispatchIniFile::ReadInteger(const std::string& key, int16_t& value) {
  Variant held = Variant::Integer(value);
  if (!Read(object_, L"ReadInteger", key, held)) return false;
  value = ToInteger(*held.get(), kSource);
  return true;
}

bool DispatchIniFile::ReadLong(const std::string& key, int32_t& value) {
  Variant held = Variant::Long(value);
  if (!Read(object_, L"ReadLong", key, held)) return false;
  value = ToLong(*held.get(), kSource);
  return true;
}

void DispatchIniFile::WriteBoolean(const std::string& key, bool value) {
  Variant k = Variant::Text(key), v = Variant::Boolean(value);
  Write(object_, L"WriteBoolean", {k.get(), v.get()});
}

void DispatchIniFile::WriteInteger(const std::string& key, int16_t value, const std::string& reserved) {
  Variant k = Variant::Text(key), v = Variant::Integer(value), r = Variant::Text(reserved);
  Write(object_, L"WriteInteger", {k.get(), v.get(), r.get()});
}

void DispatchIniFile::WriteLong(const std::string& key, int32_t value, const std::string& reserved) {
  Variant k = Variant::Text(key), v = Variant::Long(value), r = Variant::Text(reserved);
  Write(object_, L"WriteLong", {k.get(), v.get(), r.get()});
}

void DispatchIniFile::WriteString(const std::string& key, const std::string& value) {
  Variant k = Variant::Text(key), v = Variant::Text(value);
  Write(object_, L"WriteString", {k.get(), v.get()});
}

}  // namespace kivocom::server
