// SPDX-License-Identifier: MIT
// The library's two message boxes.
#include "kivocom/support.h"
#include "kivocom/user_messages.h"

namespace kivocom {

void ShowInfoMessage(const std::string& prompt, const std::string& title, const std::string& helpFile,
                     int32_t helpContext) {
  UserMessages& ui = ThreadUserMessages();
  ui.SetPointer(MousePointer::Default);
  const int32_t flags = helpFile.empty() ? kBoxInformation : kBoxInformation + kBoxHelpButton;
  ui.ShowBox(prompt, flags, title, helpFile, helpContext);
}

void ShowErrorMessage(const std::string& what, const std::string& title, const std::string& helpFile,
                      int32_t helpContext, const ErrorRecord& pending) {
  // Built by appending: chains of + on temporaries draw a false -Wrestrict warning from g++ 12
  // when optimising.
  std::string prompt = LoadResString(101);
  prompt.append(" ").append(what).append(".\r");
  std::string boxHelpFile = helpFile;
  int32_t boxHelpContext = helpContext;
  if (pending.number != 0) {
    prompt.append("\r").append(LoadResString(102)).append(": ").append(std::to_string(pending.number));
    prompt.append(" - ").append(pending.description);
    if (!pending.source.empty()) prompt.append("\r(").append(pending.source).append(")");
    if (!pending.helpFile.empty() && helpFile.empty()) {
      boxHelpFile = pending.helpFile;
      boxHelpContext = pending.helpContext;
    }
  }
  UserMessages& ui = ThreadUserMessages();
  ui.SetPointer(MousePointer::Default);
  if (!boxHelpFile.empty())
    ui.ShowBox(prompt, kBoxCritical + kBoxHelpButton, title, boxHelpFile, boxHelpContext);
  else
    ui.ShowBox(prompt, kBoxCritical, title, "", 0);
}

}  // namespace kivocom
