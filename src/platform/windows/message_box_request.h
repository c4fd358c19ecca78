// SPDX-License-Identifier: MIT
// What the library's message box asks of MessageBoxW: kept apart from showing the box, so the
// mapping can be checked without a modal box waiting for a click.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kivocom {

struct MessageBoxRequest {
  std::wstring text;   // the prompt, its CR line breaks as CR LF
  std::wstring title;
  UINT style;          // MB_OK, the icon, MB_HELP, and MB_TASKMODAL when the box has no owner
};

// The box for `prompt` (bytes of the ANSI code page, line breaks as single CR), the library's
// `flags` (kBoxInformation, kBoxCritical, kBoxHelpButton; other bits are ignored) and `title`.
MessageBoxRequest MakeMessageBoxRequest(const std::string& prompt, int32_t flags, const std::string& title,
                                        bool hasOwner);

}  // namespace kivocom
