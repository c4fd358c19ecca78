// SPDX-License-Identifier: MIT
// Support routines shared by the port and switch classes: the two message boxes, the "~" template
// filler, the timed wait that keeps the client's event loop running, and the string table.
#pragma once

#include <cstdint>
#include <string>

#include "kivocom/error.h"

namespace kivocom {

// The title of every message box the library shows.
inline constexpr const char* kMessageTitle = "Kivometrix";

// The library's text with number `id` (101 to 112); empty for an unknown number.
std::string LoadResString(int32_t id);

// Shows an information box with an OK button (and a Help button when `helpFile` is not empty).
void ShowInfoMessage(const std::string& prompt, const std::string& title,
                     const std::string& helpFile, int32_t helpContext);

// Shows a critical-stop box saying "An error occurred while <what>." followed by the number,
// description and source of `pending` when its number is not 0.
void ShowErrorMessage(const std::string& what, const std::string& title, const std::string& helpFile,
                      int32_t helpContext, const ErrorRecord& pending = {});

// Replaces each "~" of `templ`, left to right, by the next value of the "|"-separated `values`.
std::string FillTemplate(const std::string& templ, const std::string& values);

// Waits at least `milliseconds` on the thread's clock, running the thread's message pump
// throughout (at least once, even for 0 or less). A pump that raises does not cut the wait short:
// its first error is raised once the full time has passed.
void WaitMilliseconds(int32_t milliseconds);

}  // namespace kivocom
