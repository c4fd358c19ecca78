// SPDX-License-Identifier: MIT
// The client's controls that the pick lists fill. A GUI program wraps its own widgets in these
// interfaces; members may raise kivocom::Error, which reaches the caller of the fill operation.
#pragma once

#include <cstdint>
#include <string>

namespace kivocom {

// One item of an image combo.
class ComboItem {
 public:
  virtual ~ComboItem() = default;
  // Sets the item's tag text.
  virtual void Tag(const std::string& tag) = 0;
  // Selects (true) the item in its combo.
  virtual void Selected(bool selected) = 0;
};

// The item collection of an image combo.
class ComboItems {
 public:
  virtual ~ComboItems() = default;
  // Removes every item.
  virtual void Clear() = 0;
  // Appends an item with a unique key, a text and an image number; returns the new item.
  virtual ComboItem& Add(const std::string& key, const std::string& text, int32_t image) = 0;
};

// A combo whose items show images: the port list.
class ImageCombo {
 public:
  virtual ~ImageCombo() = default;
  // The combo's items.
  virtual ComboItems& Items() = 0;
};

// A plain combo or list box whose items carry a number: the baud-rate list.
class ListControl {
 public:
  virtual ~ListControl() = default;
  // Removes every item.
  virtual void Clear() = 0;
  // Appends an item with the given text.
  virtual void AddItem(const std::string& text) = 0;
  // The index of the item added last.
  virtual int32_t NewIndex() = 0;
  // Sets the number carried by the item at `index`.
  virtual void ItemData(int32_t index, int32_t value) = 0;
};

}  // namespace kivocom
