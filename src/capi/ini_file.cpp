// SPDX-License-Identifier: MIT
// The C interface to the settings-file component, for programs that keep their own settings in
// the same files as their ports.
#include <string>

#include "capi/c_call.h"
#include "capi/handles.h"

using kivocom::KivoINIFile;
using kivocom::capi::BoolOut;
using kivocom::capi::Call;
using kivocom::capi::FreeHandle;
using kivocom::capi::MakeHandle;
using kivocom::capi::Live;
using kivocom::capi::Required;
using kivocom::capi::TextCall;
using kivocom::capi::TextIn;
using kivocom::capi::TextOut;

namespace {

KivoINIFile& File(kvc_ini* ini) { return *Live(ini, "ini").file; }
const KivoINIFile& File(const kvc_ini* ini) { return *Live(ini, "ini").file; }

// Reads `key` into `*value` through `read`, with `*found` telling whether it was there.
template <class T, class Read>
int32_t ReadValue(const char* function, kvc_ini* ini, const char* key, size_t key_len, T* value, int* found,
                  Read&& read) noexcept {
  if (found != nullptr) *found = 0;
  return Call(function, [&] {
    KivoINIFile& file = File(ini);
    int& foundOut = Required(found, "found");
    T& valueOut = Required(value, "value");
    foundOut = BoolOut(read(file, TextIn(key, key_len), valueOut));
  });
}

}  // namespace

extern "C" {

int32_t kvc_ini_new(kvc_ini** ini) {
  if (ini != nullptr) *ini = nullptr;
  return Call("kvc_ini_new", [&] { MakeHandle(ini, "ini"); });
}

void kvc_ini_free(kvc_ini* ini) { FreeHandle("kvc_ini_free", ini); }

int32_t kvc_ini_set_file_name(kvc_ini* ini, const char* name, size_t name_len) {
  return Call("kvc_ini_set_file_name", [&] { File(ini).FileName(TextIn(name, name_len)); });
}

int32_t kvc_ini_get_file_name(const kvc_ini* ini, char** text, size_t* text_len) {
  return TextCall("kvc_ini_get_file_name", text, text_len, [&] { return File(ini).FileName(); });
}

int32_t kvc_ini_set_section(kvc_ini* ini, const char* section, size_t section_len) {
  return Call("kvc_ini_set_section", [&] { File(ini).Section(TextIn(section, section_len)); });
}

int32_t kvc_ini_get_section(const kvc_ini* ini, char** text, size_t* text_len) {
  return TextCall("kvc_ini_get_section", text, text_len, [&] { return File(ini).Section(); });
}

int32_t kvc_ini_read_boolean(kvc_ini* ini, const char* key, size_t key_len, int* value, int* found) {
  return ReadValue("kvc_ini_read_boolean", ini, key, key_len, value, found,
                   [](KivoINIFile& file, const std::string& k, int& out) {
                     bool read = false;
                     if (!file.ReadBoolean(k, read)) return false;
                     out = BoolOut(read);
                     return true;
                   });
}

int32_t kvc_ini_read_integer(kvc_ini* ini, const char* key, size_t key_len, int16_t* value, int* found) {
  return ReadValue("kvc_ini_read_integer", ini, key, key_len, value, found,
                   [](KivoINIFile& file, const std::string& k, int16_t& out) { return file.ReadInteger(k, out); });
}

int32_t kvc_ini_read_long(kvc_ini* ini, const char* key, size_t key_len, int32_t* value, int* found) {
  return ReadValue("kvc_ini_read_long", ini, key, key_len, value, found,
                   [](KivoINIFile& file, const std::string& k, int32_t& out) { return file.ReadLong(k, out); });
}

int32_t kvc_ini_read_string(kvc_ini* ini, const char* key, size_t key_len, char** text, size_t* text_len,
                            int* found) {
  if (found != nullptr) *found = 0;
  if (text != nullptr) *text = nullptr;
  if (text_len != nullptr) *text_len = 0;
  return Call("kvc_ini_read_string", [&] {
    KivoINIFile& file = File(ini);
    int& foundOut = Required(found, "found");
    Required(text, "text");
    std::string value;
    if (!file.ReadString(TextIn(key, key_len), value)) return;
    TextOut(value, text, text_len);
    foundOut = 1;
  });
}

int32_t kvc_ini_write_boolean(kvc_ini* ini, const char* key, size_t key_len, int value) {
  return Call("kvc_ini_write_boolean", [&] { File(ini).WriteBoolean(TextIn(key, key_len), value != 0); });
}

int32_t kvc_ini_write_integer(kvc_ini* ini, const char* key, size_t key_len, int16_t value) {
  return Call("kvc_ini_write_integer", [&] { File(ini).WriteInteger(TextIn(key, key_len), value, ""); });
}

int32_t kvc_ini_write_long(kvc_ini* ini, const char* key, size_t key_len, int32_t value) {
  return Call("kvc_ini_write_long", [&] { File(ini).WriteLong(TextIn(key, key_len), value, ""); });
}

int32_t kvc_ini_write_string(kvc_ini* ini, const char* key, size_t key_len, const char* value, size_t value_len) {
  return Call("kvc_ini_write_string", [&] { File(ini).WriteString(TextIn(key, key_len), TextIn(value, value_len)); });
}

}  // extern "C"
