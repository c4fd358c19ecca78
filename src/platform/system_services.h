// SPDX-License-Identifier: MIT
// The system's own message pump, message boxes and progress window: what a thread uses until its
// program installs others. Each system's platform folder defines them.
#pragma once

#include <memory>

#include "kivocom/clock.h"
#include "kivocom/progress_window.h"
#include "kivocom/user_messages.h"

namespace kivocom {

// Runs the thread's pending window messages (nothing to run on a system without them).
std::shared_ptr<MessagePump> CreateSystemMessagePump();
// Shows the library's message boxes as the system does.
std::shared_ptr<UserMessages> CreateSystemUserMessages();
// The progress window a download shows when its program installed no factory.
std::unique_ptr<ProgressWindow> CreateSystemProgressWindow();

}  // namespace kivocom
