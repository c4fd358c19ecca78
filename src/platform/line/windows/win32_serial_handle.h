// SPDX-License-Identifier: MIT
// An owned Win32 handle (a serial line or an event): closed when its owner ends, on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace kivocom {

class Win32Handle {
 public:
  Win32Handle() = default;
  // Takes `handle`; INVALID_HANDLE_VALUE and null both mean no handle.
  explicit Win32Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  Win32Handle(Win32Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Win32Handle& operator=(Win32Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Win32Handle(const Win32Handle&) = delete;
  Win32Handle& operator=(const Win32Handle&) = delete;
  ~Win32Handle() { Close(); }

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr; }

 private:
  void Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace kivocom
