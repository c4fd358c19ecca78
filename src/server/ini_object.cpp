// SPDX-License-Identifier: MIT
#include "server/ini_object.h"

#include <new>

namespace kivocom::server {
namespace {

enum : DISPID {
  kFileName = 1,
  kSection,
  kReadBoolean,
  kReadInteger,
  kReadLong,
  kReadString,
  kWriteBoolean,
  kWriteInteger,
  kWriteLong,
  kWriteString,
};

constexpr NamedMember kMembers[] = {
    {L"FileName", kFileName},         {L"Section", kSection},           {L"ReadBoolean", kReadBoolean},
    {L"ReadInteger", kReadInteger},   {L"ReadLong", kReadLong},         {L"ReadString", kReadString},
    {L"WriteBoolean", kWriteBoolean}, {L"WriteInteger", kWriteInteger}, {L"WriteLong", kWriteLong},
    {L"WriteString", kWriteString},
};

void SetResult(VARIANT* result, Variant value) {
  if (result != nullptr) VariantCopy(result, value.get());
}

// A Read member: looks `key` up, stores what it found into the caller's value variable, and
// answers whether it was found.
template <class T, class Read, class Wrap>
void ReadInto(const CallArguments& arguments, VARIANT* result, Read read, Wrap wrap) {
  T value{};
  const bool found = read(arguments.Text(0), value);
  if (found) {
    Variant stored = wrap(value);
    arguments.Store(1, *stored.get());
  }
  SetResult(result, Variant::Boolean(found));
}

}  // namespace

HRESULT IniObject::Create(REFIID iid, void** object) {
  IniObject* created = new (std::nothrow) IniObject();
  if (created == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = created->QueryInterface(iid, object);
  created->Release();
  return hr;
}

const NamedMember* IniObject::Members(size_t& count) const {
  count = std::size(kMembers);
  return kMembers;
}

void IniObject::Call(DISPID id, bool put, const CallArguments& arguments, VARIANT* result) {
  const char* source = ObjectName();
  switch (id) {
    case kFileName:
      if (put) return file_.FileName(ToText(arguments.PutValue(), source));
      return SetResult(result, Variant::Text(file_.FileName()));
    case kSection:
      if (put) return file_.Section(ToText(arguments.PutValue(), source));
      return SetResult(result, Variant::Text(file_.Section()));
    case kReadBoolean:
      return ReadInto<bool>(arguments, result, [&](const std::string& k, bool& v) { return file_.ReadBoolean(k, v); },
                            Variant::Boolean);
    case kReadInteger:
      return ReadInto<int16_t>(arguments, result,
                               [&](const std::string& k, int16_t& v) { return file_.ReadInteger(k, v); },
                               Variant::Integer);
    case kReadLong:
      return ReadInto<int32_t>(arguments, result,
                               [&](const std::string& k, int32_t& v) { return file_.ReadLong(k, v); }, Variant::Long);
    case kReadString:
      return ReadInto<std::string>(arguments, result,
                                   [&](const std::string& k, std::string& v) { return file_.ReadString(k, v); },
                                   Variant::Text);
    case kWriteBoolean:
      return file_.WriteBoolean(arguments.Text(0), arguments.Boolean(1));
    case kWriteInteger:
      return file_.WriteInteger(arguments.Text(0), arguments.Integer(1),
                                arguments.Omitted(2) ? std::string() : arguments.Text(2));
    case kWriteLong:
      return file_.WriteLong(arguments.Text(0), arguments.Long(1),
                             arguments.Omitted(2) ? std::string() : arguments.Text(2));
    case kWriteString:
      return file_.WriteString(arguments.Text(0), arguments.Text(1));
  }
}

}  // namespace kivocom::server
