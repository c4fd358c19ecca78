// SPDX-License-Identifier: MIT
// The C interface to a smart switch object.
#include "capi/c_call.h"
#include "capi/handles.h"

using kivocom::capi::Call;
using kivocom::capi::FreeHandle;
using kivocom::capi::MakeHandle;
using kivocom::capi::Live;
using kivocom::capi::Required;
using kivocom::capi::TextCall;

extern "C" {

int32_t kvc_switch_new(kvc_switch** sw) {
  if (sw != nullptr) *sw = nullptr;
  return Call("kvc_switch_new", [&] { MakeHandle(sw, "sw"); });
}

void kvc_switch_free(kvc_switch* sw) { FreeHandle("kvc_switch_free", sw); }

int32_t kvc_switch_get_current_port(const kvc_switch* sw, char** text, size_t* text_len) {
  return TextCall("kvc_switch_get_current_port", text, text_len, [&] { return Live(sw, "sw").sw.CurrentPort(); });
}

int32_t kvc_switch_get_style(const kvc_switch* sw, int32_t* value) {
  return Call("kvc_switch_get_style", [&] { Required(value, "value") = Live(sw, "sw").sw.Style(); });
}

int32_t kvc_switch_set_style(kvc_switch* sw, int32_t value) {
  return Call("kvc_switch_set_style",
              [&] { Live(sw, "sw").sw.Style(static_cast<kivocom::ESmartSwitchStyle>(value)); });
}

int32_t kvc_switch_get_num_ports(const kvc_switch* sw, int16_t* value) {
  return Call("kvc_switch_get_num_ports", [&] { Required(value, "value") = Live(sw, "sw").sw.NumPorts(); });
}

int32_t kvc_switch_set_parent(kvc_switch* sw, kvc_port* parent) {
  return Call("kvc_switch_set_parent", [&] {
    kvc_switch& s = Live(sw, "sw");
    s.sw.Parent(parent == nullptr ? nullptr : &Live(parent, "parent").port);
    s.parent = parent;
  });
}

int32_t kvc_switch_get_parent(const kvc_switch* sw, kvc_port** parent) {
  if (parent != nullptr) *parent = nullptr;
  return Call("kvc_switch_get_parent", [&] {
    const kvc_switch& s = Live(sw, "sw");
    // The switch forgets a port that has ended, so the handle is returned only while it lives.
    Required(parent, "parent") = s.sw.Parent() == nullptr ? nullptr : s.parent;
  });
}

}  // extern "C"
