// SPDX-License-Identifier: MIT
// The C interface to the port's and the switch's settings sections and to the port's trace line.
#include <memory>

#include "capi/c_call.h"
#include "capi/handles.h"

using kivocom::IniFile;
using kivocom::capi::BoolOut;
using kivocom::capi::Call;
using kivocom::capi::Live;
using kivocom::capi::Required;
using kivocom::capi::TextIn;

namespace {

// The settings component a call hands the classes: the program's object, or none, for which the
// class makes a settings file of its own for the call.
std::shared_ptr<IniFile> Component(kvc_ini* ini) {
  if (ini == nullptr) return nullptr;
  return Live(ini, "ini").file;
}

}  // namespace

extern "C" {

int32_t kvc_port_write_to_file(kvc_port* port, kvc_ini* ini, const char* fname, size_t fname_len,
                               const char* secname, size_t secname_len) {
  return Call("kvc_port_write_to_file", [&] {
    std::shared_ptr<IniFile> file = Component(ini);
    Live(port, "port").port.WriteToFile(file, TextIn(fname, fname_len), TextIn(secname, secname_len, "COMPort"));
  });
}

int32_t kvc_port_read_from_file(kvc_port* port, kvc_ini* ini, const char* fname, size_t fname_len,
                                const char* secname, size_t secname_len, int* complete) {
  if (complete != nullptr) *complete = 0;
  return Call("kvc_port_read_from_file", [&] {
    int& result = Required(complete, "complete");
    std::shared_ptr<IniFile> file = Component(ini);
    result = BoolOut(Live(port, "port").port.ReadFromFile(file, TextIn(fname, fname_len),
                                                               TextIn(secname, secname_len, "COMPort")));
  });
}

int32_t kvc_switch_write_to_file(kvc_switch* sw, kvc_ini* ini, const char* fname, size_t fname_len,
                                 const char* secname, size_t secname_len) {
  return Call("kvc_switch_write_to_file", [&] {
    std::shared_ptr<IniFile> file = Component(ini);
    Live(sw, "sw").sw.WriteToFile(file, TextIn(fname, fname_len), TextIn(secname, secname_len, "SmartSwitch"));
  });
}

int32_t kvc_switch_read_from_file(kvc_switch* sw, kvc_ini* ini, const char* fname, size_t fname_len,
                                  const char* secname, size_t secname_len, int* complete) {
  if (complete != nullptr) *complete = 0;
  return Call("kvc_switch_read_from_file", [&] {
    int& result = Required(complete, "complete");
    std::shared_ptr<IniFile> file = Component(ini);
    result = BoolOut(Live(sw, "sw").sw.ReadFromFile(file, TextIn(fname, fname_len),
                                                         TextIn(secname, secname_len, "SmartSwitch")));
  });
}

int32_t kvc_port_update_debug_file(kvc_port* port, const char* text, size_t text_len) {
  return Call("kvc_port_update_debug_file", [&] { Live(port, "port").port.UpdateDebugFile(TextIn(text, text_len)); });
}

}  // extern "C"
