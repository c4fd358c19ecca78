// SPDX-License-Identifier: MIT
// The standard-error message handler and the thread's handler.
#include "kivocom/user_messages.h"

#include <cstdio>

#include "platform/system_services.h"

namespace kivocom {

void StderrUserMessages::ShowBox(const std::string& prompt, int32_t, const std::string& title,
                                 const std::string&, int32_t) {
  std::string text = title + ": ";
  for (char c : prompt) text += (c == '\r') ? '\n' : c;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  text += '\n';
  std::fputs(text.c_str(), stderr);
}

namespace {
thread_local std::shared_ptr<UserMessages> tMessages;
}  // namespace

UserMessages& ThreadUserMessages() {
  if (!tMessages) tMessages = CreateSystemUserMessages();
  return *tMessages;
}

void InstallThreadUserMessages(std::shared_ptr<UserMessages> handler) {
  tMessages = std::move(handler);
}

}  // namespace kivocom
