// SPDX-License-Identifier: MIT
// The program's line settings as its pseudo-terminal holds them, and their way onto the device:
// speed, data bits, parity (mark and space included), stop bits and RTS/CTS flow control.
#pragma once

#include <termios.h>

#include <string>

namespace kivotool {

// What of the program's line control a pseudo-terminal cannot pass on.
inline constexpr const char* kSpyUnfollowed =
    "DTR, RTS and break (a pseudo-terminal has no modem lines) and XON/XOFF flow control (those "
    "bytes are relayed as data)";

// `settings` as text: "9600,N,8,1", with ",RTS/CTS" when it uses hardware flow control.
std::string LineSettingsText(const termios& settings);
// Whether `a` and `b` differ in anything LineSettingsText shows.
bool SameLineSettings(const termios& a, const termios& b);
// `settings` made raw (no echo, no line editing, no translation, reads return what is there) at
// `baud`; false when this system has no such speed.
bool MakeRawAt(termios& settings, int baud);
// Puts the program's `chosen` settings on the device `fd` once its output has drained; returns
// why not when the device refuses them, else an empty text.
std::string FollowSettings(int fd, const termios& chosen);

}  // namespace kivotool
