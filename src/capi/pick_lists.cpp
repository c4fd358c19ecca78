// SPDX-License-Identifier: MIT
// The C interface to the pick lists: the program's combo callbacks wrapped as the controls the
// port fills.
#include <deque>
#include <string>

#include "capi/c_call.h"
#include "capi/handles.h"
#include "kivocom/pick_list_controls.h"

using kivocom::capi::Call;
using kivocom::capi::Live;
using kivocom::capi::Required;

namespace {

// Raises a callback's nonzero result as the fill's error.
void Check(int32_t result, const char* source) {
  if (result != 0) throw kivocom::Error(result, source, "The program's control refused the change.");
}

// Throws ArgumentFault unless every callback is set.
template <class... Callbacks>
void RequireAll(Callbacks... callbacks) {
  if (((callbacks == nullptr) || ...))
    throw kivocom::capi::ArgumentFault{KVC_ERR_INVALID_ARGUMENT, "every callback of the control must not be NULL."};
}

class CallbackComboItem : public kivocom::ComboItem {
 public:
  CallbackComboItem(const kvc_image_combo& combo, int32_t index) : combo_(combo), index_(index) {}
  void Tag(const std::string& tag) override {
    Check(combo_.set_tag(combo_.user, index_, tag.data(), tag.size()), "kvc_image_combo - set_tag");
  }
  void Selected(bool selected) override {
    Check(combo_.set_selected(combo_.user, index_, selected ? 1 : 0), "kvc_image_combo - set_selected");
  }

 private:
  const kvc_image_combo& combo_;
  int32_t index_;
};

class CallbackComboItems : public kivocom::ComboItems, public kivocom::ImageCombo {
 public:
  explicit CallbackComboItems(const kvc_image_combo& combo) : combo_(combo) {
    RequireAll(combo.clear, combo.add, combo.set_tag, combo.set_selected);
  }
  kivocom::ComboItems& Items() override { return *this; }
  void Clear() override { Check(combo_.clear(combo_.user), "kvc_image_combo - clear"); }
  kivocom::ComboItem& Add(const std::string& key, const std::string& text, int32_t image) override {
    int32_t index = 0;
    Check(combo_.add(combo_.user, key.data(), key.size(), text.data(), text.size(), image, &index),
          "kvc_image_combo - add");
    return items_.emplace_back(combo_, index);
  }

 private:
  const kvc_image_combo& combo_;
  // A deque keeps every item handed out at its address while more are added.
  std::deque<CallbackComboItem> items_;
};

class CallbackListControl : public kivocom::ListControl {
 public:
  explicit CallbackListControl(const kvc_list_control& list) : list_(list) {
    RequireAll(list.clear, list.add_item, list.new_index, list.item_data);
  }
  void Clear() override { Check(list_.clear(list_.user), "kvc_list_control - clear"); }
  void AddItem(const std::string& text) override {
    Check(list_.add_item(list_.user, text.data(), text.size()), "kvc_list_control - add_item");
  }
  int32_t NewIndex() override {
    int32_t index = 0;
    Check(list_.new_index(list_.user, &index), "kvc_list_control - new_index");
    return index;
  }
  void ItemData(int32_t index, int32_t value) override {
    Check(list_.item_data(list_.user, index, value), "kvc_list_control - item_data");
  }

 private:
  const kvc_list_control& list_;
};

}  // namespace

extern "C" {

int32_t kvc_port_fill_com_ports_combo(kvc_port* port, const kvc_image_combo* combo, int16_t current_port) {
  return Call("kvc_port_fill_com_ports_combo", [&] {
    kivocom::CCOMPort& p = Live(port, "port").port;
    CallbackComboItems control(Required(combo, "combo"));
    p.FillCOMPortsCombo(control, current_port);
  });
}

int32_t kvc_port_fill_baud_rates_combo(kvc_port* port, const kvc_list_control* list) {
  return Call("kvc_port_fill_baud_rates_combo", [&] {
    kivocom::CCOMPort& p = Live(port, "port").port;
    CallbackListControl control(Required(list, "list"));
    p.FillBaudRatesCombo(control);
  });
}

}  // extern "C"
