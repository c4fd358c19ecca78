// SPDX-License-Identifier: MIT
// The enumerations shared by the whole library: port numbers, baud rates, line settings,
// controller styles, exchange results and smart switch models. All are 32-bit signed.
#pragma once

#include <cstdint>

namespace kivocom {

// A serial port number. The `port` property accepts any number, not only these names.
enum ECOMPort : int32_t {
  COM_NONE = -1,  // no port chosen
  COM_1 = 1,
  COM_2 = 2,
  COM_3 = 3,
  COM_4 = 4,
  COM_5 = 5,
  COM_6 = 6,
  COM_7 = 7,
  COM_8 = 8,
  COM_9 = 9,
};

// A baud rate, by index; `CCOMPort::BaudRateName` gives its text.
enum EBaudRate : int32_t {
  BAUD_NONE = -1,
  BAUD_150 = 0,
  BAUD_300 = 1,
  BAUD_600 = 2,
  BAUD_1200 = 3,
  BAUD_2400 = 4,
  BAUD_4800 = 5,
  BAUD_9600 = 6,
  BAUD_19200 = 7,
  BAUD_38400 = 8,
  BAUD_57600 = 9,
  BAUD_115200 = 10,
  BAUD_230400 = 11,
  BAUD_460800 = 12,
  BAUD_921600 = 13,
};

// Data bits per character.
enum EDataBits : int32_t {
  DATA_4BITS = 0,
  DATA_5BITS = 1,
  DATA_6BITS = 2,
  DATA_7BITS = 3,
  DATA_8BITS = 4,
};

// Stop bits per character.
enum EStopBits : int32_t {
  STOP_1BIT = 0,
  STOP_1_5BITS = 1,
  STOP_2BITS = 2,
};

// Parity of each character.
enum EParity : int32_t {
  PARITY_NONE = 0,
  PARITY_EVEN = 1,
  PARITY_ODD = 2,
  PARITY_MARK = 3,
  PARITY_SPACE = 4,
};

// The protocol family of the instrument: fixes the line settings and the framing of commands.
enum EControllerStyle : int32_t {
  CS_KIVO = 0,    // the maker's own controllers
  CS_OMEGA = 1,   // addressed poll and set frames with a block check
  CS_AZONIX = 2,
  CS_XSYS = 3,
};

// The result of an exchange, handed back through the `errorcode` argument.
enum ECOMError : int32_t {
  CE_NONE = 0,          // the exchange succeeded
  CE_TIMEOUT = 1,       // no complete reply within `TimeOut`, on the last attempt
  CE_INVALID_DATA = 2,  // the reply holds a character above 128 while `CheckNonAscii` is on
  CE_ABORTED = 3,       // no port chosen, or the user cancelled a download
};

// The model of a smart switch (RS-232 port multiplexer).
enum ESmartSwitchStyle : int32_t {
  SSS_BB4PORT = 0,  // 4 ports, named A to D
  SSS_BB8PORT = 1,  // 8 ports, named A to H
  SSS_BT528AP = 2,  // 8 ports, numbered 1 to 8
};

}  // namespace kivocom
