// SPDX-License-Identifier: MIT
#include "platform/windows/system_text_windows.h"

namespace kivocom {

std::string AnsiFromWide(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int ansiSize = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(ansiSize), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), ansiSize, nullptr, nullptr);
  return ansi;
}

std::string SystemErrorText(DWORD code) {
  wchar_t buffer[512];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                 buffer, sizeof buffer / sizeof buffer[0], nullptr);
  std::string text = AnsiFromWide(std::wstring(buffer, n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace kivocom
