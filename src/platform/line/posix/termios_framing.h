// SPDX-License-Identifier: MIT
// Line settings as terminal attributes: the raw line this library needs, the speed and the
// character format, and a check of what a device actually took.
#pragma once

#include <termios.h>

#include <string>

#include "platform/line/serial_settings_text.h"

namespace kivocom {

// A raw line: no echo, no canonical mode, no CR/LF translation, no software or hardware flow
// control, modem status ignored, receiver on; a read returns as soon as one byte is there.
void MakeRawLine(termios& attributes);

// Raises kivocom::Error 8015 with `source` when this system cannot use `settings` at all (4 data
// bits, 1.5 stop bits with more than 5 data bits, mark or space parity where it has none).
void CheckSystemCanUse(const LineSettings& settings, const std::string& text, const std::string& source);

// Sets the speed and character format of `settings` (`text` is its settings text, for the
// description). Raises kivocom::Error 8015 with `source` when this system cannot use them.
void SetLineFraming(termios& attributes, const LineSettings& settings, const std::string& text,
                    const std::string& source);

// What the device did not take of `asked`, in words ("the speed 921600"); empty when it took all.
// The character format is compared only when `checkCharacterFormat` is true.
std::string FramingDifference(const termios& asked, const termios& taken, bool checkCharacterFormat);

}  // namespace kivocom
