// SPDX-License-Identifier: MIT
// What a network port's errors say: each description names the port and its address, keeps the
// server's own words and says what to do.
#pragma once

#include <cstdint>
#include <string>

#include "kivocom/error.h"

namespace kivocom {

// "the server closed the connection", with the text it sent last ("Port already in use") when
// it sent one.
std::string ServerClosedText(const std::string& lastText);

// True when a server's text says the port is held by another client.
bool SaysInUse(const std::string& reason);

// True when `firstBytes`, the first a plain TCP connection brought, begin with the line ser2net
// turns a client away with ("Port already in use"); a tcp:// line has no other way to tell it
// from the instrument's words.
bool IsServerRefusal(const std::string& firstBytes);

// True when `firstBytes`, the first a plain TCP connection brought, begin with a Telnet
// negotiation (IAC and WILL, WONT, DO, DONT or SB): the server speaks Telnet, and an instrument
// does not open with those bytes unasked.
bool OpensTelnetNegotiation(const std::string& firstBytes);

// The description of a tcp:// port whose server speaks Telnet: it is to be mapped as rfc2217://.
std::string TelnetOnPlainLineText(const std::string& port, const std::string& device);

// The description of a connection that ended: `reason` as ServerClosedText or the system gives it.
std::string LostConnectionText(const std::string& port, const std::string& reason);

// A port that cannot be opened, for `reason` (8012).
Error CannotOpenError(const std::string& port, const std::string& reason, const std::string& source);

// The server does not take the COM-port control option (8012).
Error RefusedOptionError(const std::string& port, const std::string& source);

// The server did not take up the COM-port control option within `timeoutMs` (8012): it answers
// nothing, or is no Telnet server at all.
Error UnnegotiatedError(const std::string& port, int64_t timeoutMs, const std::string& source);

// The server gave no answer to a request in time (8015).
Error UnansweredError(const std::string& port, const std::string& what, int64_t timeoutMs, const std::string& source);

// The server answered a request with another value: it refused it (8015).
Error RefusedSettingError(const std::string& port, const std::string& what, const std::string& answered,
                          const std::string& source);

}  // namespace kivocom
