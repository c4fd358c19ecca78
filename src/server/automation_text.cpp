// SPDX-License-Identifier: MIT
#include "server/automation_text.h"

#include <new>

#include "platform/windows/ansi_text.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom::server {

std::string AnsiFromBstr(BSTR text) {
  if (text == nullptr) return {};
  return AnsiFromWide(std::wstring(text, SysStringLen(text)));
}

BSTR BstrFromAnsi(const std::string& text) {
  const std::wstring wide = WideFromAnsi(text);
  BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (result == nullptr) throw std::bad_alloc();
  return result;
}

}  // namespace kivocom::server
