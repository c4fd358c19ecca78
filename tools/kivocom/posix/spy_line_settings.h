// SPDX-License-Identifier: MIT
// The program's line settings as its pseudo-terminal holds them, and their way onto the device:
// speed, data bits, parity (mark and space included), stop bits and RTS/CTS flow control.
#pragma once

#include <termios.h>

#include <string>

#include "../spy_relay.h"

namespace kivotool {

// What of the program's line control a pseudo-terminal cannot pass on.
inline constexpr const char* kSpyUnfollowed =
    "DTR, RTS and break (a pseudo-terminal has no modem lines) and XON/XOFF flow control (those "
    "bytes are relayed as data)";
// Said besides where the system's pseudo-terminals drop a program's data bits and parity.
inline constexpr const char* kSpyFramingUnfollowed =
    "; nor data bits and parity: this system's pseudo-terminals keep 8 bits without parity whatever the "
    "program sets, so give the device's with --data-bits and --parity when they differ";

// `settings` as text: "9600,N,8,1", with ",RTS/CTS" when it uses hardware flow control.
std::string LineSettingsText(const termios& settings);
// Whether `a` and `b` differ in anything LineSettingsText shows.
bool SameLineSettings(const termios& a, const termios& b);
// `settings` made raw (no echo, no line editing, no translation, reads return what is there) at
// `baud`; false when this system has no such speed.
bool MakeRawAt(termios& settings, int baud);
// `settings` with the data bits and parity `line` fixes, if any.
termios WithFixedFraming(termios settings, const SpyLine& line);
// Whether a pseudo-terminal whose end `fd` is keeps the data bits and parity a program sets.
bool KeepsFraming(int fd);
// Puts `settings` on the device `fd` once its output has drained; returns why not when the
// device refuses them, else an empty text.
std::string FollowSettings(int fd, const termios& settings);

}  // namespace kivotool
