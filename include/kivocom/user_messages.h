// SPDX-License-Identifier: MIT
// The library's messages to the user: a modal message box and the application's mouse pointer.
// A program may install its own handler. The default on Windows shows real message boxes (title,
// OK button, icon) and sets the mouse pointer; elsewhere it writes boxes to standard error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kivocom {

// Message box flags (they combine by addition).
inline constexpr int32_t kBoxOkOnly = 0;         // an OK button alone
inline constexpr int32_t kBoxCritical = 0x10;    // the critical-stop icon
inline constexpr int32_t kBoxInformation = 0x40;  // the information icon
inline constexpr int32_t kBoxHelpButton = 0x4000;  // a Help button that opens the help file

// Shapes of the mouse pointer.
enum class MousePointer : int32_t {
  Default = 0,    // the ordinary arrow
  Hourglass = 11,  // busy
};

// Shows message boxes and sets the pointer for the library.
class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Shows a modal box; line breaks in `prompt` are single CR characters. Returns when closed.
  virtual void ShowBox(const std::string& prompt, int32_t flags, const std::string& title,
                       const std::string& helpFile, int32_t helpContext) = 0;
  // Sets the application's mouse pointer.
  virtual void SetPointer(MousePointer shape) = 0;
};

// Writes the title and each prompt line to standard error and returns at once (the default handler
// except on Windows).
class StderrUserMessages : public UserMessages {
 public:
  void ShowBox(const std::string& prompt, int32_t flags, const std::string& title,
               const std::string& helpFile, int32_t helpContext) override;
  void SetPointer(MousePointer) override {}
};

// The calling thread's handler.
UserMessages& ThreadUserMessages();
// Installs `handler` for the calling thread; nullptr returns to the system's default handler.
void InstallThreadUserMessages(std::shared_ptr<UserMessages> handler);

}  // namespace kivocom
