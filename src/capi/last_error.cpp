// SPDX-License-Identifier: MIT
// The C interface's per-thread last-error record, its buffer release and the version.
#include <cstdlib>
#include <string>

#include "kivocom/kivocom_c.h"
#include "kivocom/version.h"

namespace {

struct LastError {
  int32_t number = 0;
  std::string source;
  std::string description;
};

thread_local LastError tLastError;

// Assigns a C text to `target`; never throws (an allocation failure leaves the text empty).
void Assign(std::string& target, const char* text, size_t length) noexcept {
  try {
    if (text == nullptr) target.clear();
    else if (length == KVC_NTS) target.assign(text);
    else target.assign(text, length);
  } catch (...) {
    target.clear();
  }
}

const char* Text(const std::string& text, size_t* length) {
  if (length != nullptr) *length = text.size();
  return text.c_str();
}

}  // namespace

extern "C" {

void kvc_free(void* buffer) { std::free(buffer); }

int32_t kvc_last_error_number(void) { return tLastError.number; }

const char* kvc_last_error_source(size_t* len) { return Text(tLastError.source, len); }

const char* kvc_last_error_description(size_t* len) { return Text(tLastError.description, len); }

int32_t kvc_set_last_error(int32_t number, const char* source, size_t source_len, const char* description,
                           size_t description_len) {
  tLastError.number = number;
  Assign(tLastError.source, number == 0 ? nullptr : source, source_len);
  Assign(tLastError.description, number == 0 ? nullptr : description, description_len);
  return number;
}

const char* kvc_version(void) { return kivocom::Version(); }

}  // extern "C"
