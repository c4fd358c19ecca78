// SPDX-License-Identifier: MIT
// Line settings as a device control block (DCB): the raw line this library needs, the speed and
// character format, and the modem lines' resting state.
#pragma once

#include <windows.h>

#include <string>

#include "platform/line/serial_settings_text.h"

namespace kivocom {

// A raw line: binary mode, no software or hardware flow control, no DSR sensitivity, no error
// character or null stripping, and errors that do not stop reads and writes.
void MakeRawLine(DCB& dcb);

// Raises kivocom::Error 8015 with `source` when this system cannot use `settings` at all (4 data
// bits, 1.5 stop bits with more than 5 data bits).
void CheckSystemCanUse(const LineSettings& settings, const std::string& text, const std::string& source);

// Sets the speed and character format of `settings` (`text` is its settings text, for the
// description). Raises kivocom::Error 8015 with `source` when this system cannot use them.
void SetLineFraming(DCB& dcb, const LineSettings& settings, const std::string& text, const std::string& source);

// Takes the character format (data bits, parity, stop bits) of `held`, the block a line reports,
// and keeps everything else of `dcb`: for a virtual line, whose driver keeps a format of its own.
void KeepCharacterFormat(DCB& dcb, const DCB& held);

// Holds DTR and RTS raised or dropped, so that applying the block keeps the lines as last set.
void SetModemLineControl(DCB& dcb, bool dtrRaised, bool rtsRaised);

}  // namespace kivocom
