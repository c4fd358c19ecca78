// SPDX-License-Identifier: MIT
// How every function of the C interface runs its C++ body: exceptions caught and turned into a
// status and the thread's last-error record, arguments checked, texts converted both ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "kivocom/error.h"
#include "kivocom/kivocom_c.h"

namespace kivocom::capi {

// A fault in the arguments of a C call (a NULL or dead handle, a NULL out-pointer, a length no
// text can have), reported under the C function's own name.
struct ArgumentFault {
  int32_t number;
  std::string description;
};

// Throws ArgumentFault when `pointer` is NULL.
template <class T>
T& Required(T* pointer, const char* what) {
  if (pointer == nullptr) throw ArgumentFault{KVC_ERR_INVALID_ARGUMENT, std::string(what) + " must not be NULL."};
  return *pointer;
}

// Records `number`, `source` and `description` as the thread's last error; returns `number`.
inline int32_t Record(int32_t number, const std::string& source, const std::string& description) {
  return kvc_set_last_error(number, source.data(), source.size(), description.data(), description.size());
}

// Runs `body` for the C function `function`: 0 and a cleared record when it returns, else the
// error's number with its record. Nothing thrown passes the C boundary.
template <class Body>
int32_t Call(const char* function, Body&& body) noexcept {
  try {
    body();
    return kvc_set_last_error(0, nullptr, 0, nullptr, 0);
  } catch (const Error& e) {
    return Record(e.Number(), e.Source(), e.Description());
  } catch (const ArgumentFault& fault) {
    return Record(fault.number, function, fault.description);
  } catch (const std::bad_alloc&) {
    return Record(KVC_ERR_OUT_OF_MEMORY, function, "Out of memory.");
  } catch (const std::exception& e) {
    return Record(KVC_ERR_INTERNAL, function, e.what());
  } catch (...) {
    return Record(KVC_ERR_INTERNAL, function, "An unexpected failure inside the library.");
  }
}

// The text `data`/`length` (KVC_NTS: up to its NUL), or `fallback` when `data` is NULL. A length
// beyond the largest object a program can hold is a fault of the call (most often a negative
// number passed as a size), never an attempt to allocate it.
inline std::string TextIn(const char* data, size_t length, const char* fallback = "") {
  if (data == nullptr) return fallback;
  if (length == KVC_NTS) return std::string(data);
  if (length > static_cast<size_t>(PTRDIFF_MAX))
    throw ArgumentFault{KVC_ERR_INVALID_ARGUMENT, "A text length of " + std::to_string(length) +
                                                      " bytes is beyond any text; KVC_NTS reads up to the NUL."};
  return std::string(data, length);
}

// Hands `text` to the caller in a buffer of its own (freed with kvc_free), NUL-terminated.
inline void TextOut(const std::string& text, char** out, size_t* length) {
  Required(out, "the text out-pointer") = nullptr;
  char* buffer = static_cast<char*>(std::malloc(text.size() + 1));
  if (buffer == nullptr) throw std::bad_alloc();
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  *out = buffer;
  if (length != nullptr) *length = text.size();
}

// Runs `produce` as Call does and hands its text out; `*out` is NULL and `*length` 0 until then,
// so a failed call leaves no buffer to free.
template <class Produce>
int32_t TextCall(const char* function, char** out, size_t* length, Produce&& produce) noexcept {
  if (out != nullptr) *out = nullptr;
  if (length != nullptr) *length = 0;
  return Call(function, [&] {
    Required(out, "the text out-pointer");
    TextOut(produce(), out, length);
  });
}

// The C booleans the library hands out.
inline int BoolOut(bool value) { return value ? 1 : 0; }

}  // namespace kivocom::capi
