// SPDX-License-Identifier: MIT
#include "server/dispatch_controls.h"

#include "server/late_call.h"

namespace kivocom::server {
namespace {

constexpr const char* kSource = "KivoCOMPortII";
constexpr WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace

void DispatchComboItem::Tag(const std::string& tag) {
  Variant text = Variant::Text(tag);
  CallMember(item_.get(), L"Tag", DISPATCH_PROPERTYPUT, {text.get()}, kSource);
}

void DispatchComboItem::Selected(bool selected) {
  Variant value = Variant::Boolean(selected);
  CallMember(item_.get(), L"Selected", DISPATCH_PROPERTYPUT, {value.get()}, kSource);
}

void DispatchComboItems::Clear() { CallMember(items_.get(), L"Clear", DISPATCH_METHOD, {}, kSource); }

// The insertion index is left out so that the item is appended.
ComboItem& DispatchComboItems::Add(const std::string& key, const std::string& text, int32_t image) {
  Variant index = Variant::Missing(), k = Variant::Text(key), t = Variant::Text(text),
          i = Variant::Integer(static_cast<int16_t>(image));
  Variant item = CallMember(items_.get(), L"Add", kCall, {index.get(), k.get(), t.get(), i.get()}, kSource);
  return added_.emplace_back(ToObject(*item.get(), kSource));
}

ComboItems& DispatchImageCombo::Items() {
  if (!items_) {
    Variant items = CallMember(combo_, L"ComboItems", DISPATCH_PROPERTYGET, {}, kSource);
    items_ = std::make_unique<DispatchComboItems>(ToObject(*items.get(), kSource));
  }
  return *items_;
}

void DispatchListControl::Clear() { CallMember(list_, L"Clear", DISPATCH_METHOD, {}, kSource); }

void DispatchListControl::AddItem(const std::string& text) {
  Variant t = Variant::Text(text);
  CallMember(list_, L"AddItem", DISPATCH_METHOD, {t.get()}, kSource);
}

int32_t DispatchListControl::NewIndex() {
  Variant index = CallMember(list_, L"NewIndex", DISPATCH_PROPERTYGET, {}, kSource);
  return ToLong(*index.get(), kSource);
}

void DispatchListControl::ItemData(int32_t index, int32_t value) {
  Variant i = Variant::Long(index), v = Variant::Long(value);
  CallMember(list_, L"ItemData", DISPATCH_PROPERTYPUT, {i.get(), v.get()}, kSource);
}

}  // namespace kivocom::server
