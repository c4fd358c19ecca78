// SPDX-License-Identifier: MIT
// The client's pick-list controls reached by member name: an image combo (ComboItems, whose Clear
// and Add fill it, and each item's Tag and Selected) for the ports, and a combo or list box
// (Clear, AddItem, NewIndex, ItemData) for the baud rates.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <deque>
#include <memory>

#include "kivocom/pick_list_controls.h"

namespace kivocom::server {

// One reference to an automation object, released when it ends.
class ObjectReference {
 public:
  explicit ObjectReference(IDispatch* object) : object_(object) {}  // takes over the reference
  ~ObjectReference() {
    if (object_ != nullptr) object_->Release();
  }
  ObjectReference(const ObjectReference&) = delete;
  ObjectReference& operator=(const ObjectReference&) = delete;
  IDispatch* get() const { return object_; }

 private:
  IDispatch* object_;
};

class DispatchComboItem final : public ComboItem {
 public:
  explicit DispatchComboItem(IDispatch* item) : item_(item) {}
  void Tag(const std::string& tag) override;
  void Selected(bool selected) override;

 private:
  ObjectReference item_;
};

class DispatchComboItems final : public ComboItems {
 public:
  explicit DispatchComboItems(IDispatch* items) : items_(items) {}
  void Clear() override;
  ComboItem& Add(const std::string& key, const std::string& text, int32_t image) override;

 private:
  ObjectReference items_;
  std::deque<DispatchComboItem> added_;
};

class DispatchImageCombo final : public ImageCombo {
 public:
  // `combo` is borrowed for the length of the fill.
  explicit DispatchImageCombo(IDispatch* combo) : combo_(combo) {}
  ComboItems& Items() override;

 private:
  IDispatch* combo_;
  std::unique_ptr<DispatchComboItems> items_;
};

class DispatchListControl final : public ListControl {
 public:
  // `list` is borrowed for the length of the fill.
  explicit DispatchListControl(IDispatch* list) : list_(list) {}
  void Clear() override;
  void AddItem(const std::string& text) override;
  int32_t NewIndex() override;
  void ItemData(int32_t index, int32_t value) override;

 private:
  IDispatch* list_;
};

}  // namespace kivocom::server
