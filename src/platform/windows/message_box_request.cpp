// SPDX-License-Identifier: MIT
#include "platform/windows/message_box_request.h"

#include "kivocom/user_messages.h"
#include "platform/windows/ansi_text.h"

namespace kivocom {
namespace {

// A lone CR does not break a line in a message box; CR LF does. A CR LF already there stays one.
std::string WithBoxLineBreaks(const std::string& prompt) {
  std::string text;
  for (size_t i = 0; i < prompt.size(); ++i) {
    text += prompt[i];
    if (prompt[i] == '\r' && (i + 1 == prompt.size() || prompt[i + 1] != '\n')) text += '\n';
  }
  return text;
}

UINT BoxStyle(int32_t flags, bool hasOwner) {
  UINT style = MB_OK;
  if (flags & kBoxCritical) style |= MB_ICONSTOP;
  if (flags & kBoxInformation) style |= MB_ICONINFORMATION;
  if (flags & kBoxHelpButton) style |= MB_HELP;
  // Without an owner window the box still holds up the program's other windows, as a modal box should.
  if (!hasOwner) style |= MB_TASKMODAL;
  return style;
}

}  // namespace

MessageBoxRequest MakeMessageBoxRequest(const std::string& prompt, int32_t flags, const std::string& title,
                                        bool hasOwner) {
  return {WideFromAnsi(WithBoxLineBreaks(prompt)), WideFromAnsi(title), BoxStyle(flags, hasOwner)};
}

}  // namespace kivocom
